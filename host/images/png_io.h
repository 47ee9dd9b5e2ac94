// PNG files in and out of image worlds, for the tests and the command-line
// tools. Files hold straight alpha like the worlds; grey, palette and
// alpha-less files are expanded to RGBA with full alpha on reading.
#ifndef TARSIVEL_HOST_IMAGES_PNG_IO_H
#define TARSIVEL_HOST_IMAGES_PNG_IO_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/images/image_size_error.h"
#include "host/protocol/image_world.h"

namespace tarsivel::host {

// Reads an 8- or 16-bit PNG into a new world of `depth`. Throws
// std::runtime_error, naming the file, when it cannot be read.
std::unique_ptr<ImageWorld> ReadPng(const std::string& path, PixelDepth depth,
                                    int32_t rowPaddingBytes = 16);

// A PNG file whose size is not the one required.
class PngSizeError : public ImageSizeError {
  public:
    using ImageSizeError::ImageSizeError;
};

// As ReadPng, for a file that must be `width` × `height` pixels: one of
// another size is refused with PngSizeError from the size its first chunk
// gives, before libpng reads it (a damaged file that claims a huge size is
// refused for its size, not for the damage), before any pixel is decoded or
// any memory is set aside for them.
std::unique_ptr<ImageWorld> ReadPngOfSize(const std::string& path, PixelDepth depth, int32_t width,
                                          int32_t height);

// The world as an RGBA PNG of 8 or 16 bits a channel. Throws
// std::invalid_argument for another bit count.
std::vector<uint8_t> EncodePng(const ImageWorld& world, int bitsPerChannel);

// Writes EncodePng's bytes to `path`; also throws std::runtime_error, naming
// the file, when it cannot be written.
void WritePng(const ImageWorld& world, const std::string& path, int bitsPerChannel);

}  // namespace tarsivel::host

#endif
