// Raw pixel files: a frame exactly as the host's world holds it, for builds
// without image libraries and for bit-exact comparison between platforms.
// Layout, all little-endian: the magic "TRAW", then width, height, bits per
// channel (8, 16 or 32) and the pixel format (PF_PixelFormat_ARGB32, _ARGB64
// or _ARGB128) as 32-bit numbers, then the rows top to bottom without
// padding, each pixel's channels in the world's order (alpha, red, green,
// blue) at the world's depth.
#ifndef TARSIVEL_HOST_IMAGES_RAW_FRAME_H
#define TARSIVEL_HOST_IMAGES_RAW_FRAME_H

#include <memory>
#include <string>
#include <vector>

#include "host/protocol/image_world.h"

namespace tarsivel::host {

// The world as a raw pixel file.
std::vector<uint8_t> EncodeRawFrame(const ImageWorld& world);

// Throws std::runtime_error, naming the file, when it cannot be written.
void WriteRawFrame(const ImageWorld& world, const std::string& path);

// Throws std::runtime_error, naming the file and the fault, when the file
// cannot be read or its header, format or size do not agree.
std::unique_ptr<ImageWorld> ReadRawFrame(const std::string& path);

// Whether a file name asks for a raw pixel file (the extension ".raw").
bool IsRawFramePath(const std::string& path);

}  // namespace tarsivel::host

#endif
