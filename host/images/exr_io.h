// OpenEXR output of image worlds: R, G, B, A channels with straight alpha,
// each channel as ImageWorld::ReadFloat gives it, in 16-bit half or 32-bit
// float.
#ifndef TARSIVEL_HOST_IMAGES_EXR_IO_H
#define TARSIVEL_HOST_IMAGES_EXR_IO_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/protocol/image_world.h"

namespace tarsivel::host {

enum class ExrChannels { kHalf, kFloat };

// The world as an OpenEXR file. Throws std::runtime_error when it cannot be
// encoded.
std::vector<uint8_t> EncodeExr(const ImageWorld& world, ExrChannels channels);

// Writes EncodeExr's bytes to `path`. Throws std::runtime_error, naming the
// file, when it cannot be written.
void WriteExr(const ImageWorld& world, const std::string& path,
              ExrChannels channels = ExrChannels::kFloat);

}  // namespace tarsivel::host

#endif
