// OpenEXR output of image worlds: 32-bit float R, G, B, A channels with
// straight alpha, each channel as ImageWorld::ReadFloat gives it.
#ifndef TARSIVEL_HOST_EXR_IO_H
#define TARSIVEL_HOST_EXR_IO_H

#include <string>

#include "host/image_world.h"

namespace tarsivel::host {

// Throws std::runtime_error, naming the file, when it cannot be written.
void WriteExr(const ImageWorld& world, const std::string& path);

}  // namespace tarsivel::host

#endif
