// OpenEXR files in and out of image worlds. The format's alpha is associated
// (colour already multiplied by alpha) while the worlds hold straight alpha,
// so colour is multiplied by alpha on writing and divided by it on reading.
// The values are otherwise the layer's own, as ImageWorld::ReadFloat gives
// them (no linearisation): the file is tagged with BT.709 primaries and a D65
// white, and, for frames of a sequence, their frame rate.
#ifndef TARSIVEL_HOST_IMAGES_EXR_IO_H
#define TARSIVEL_HOST_IMAGES_EXR_IO_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/images/image_size_error.h"
#include "host/protocol/image_world.h"

namespace tarsivel::host {

enum class ExrChannels { kHalf, kFloat };

// Frames a second as the host counts time: timeScale / timeStep.
struct ExrFrameRate {
    uint32_t timeScale;
    int32_t timeStep;
};

// The world as an OpenEXR file: R, G, B, A channels in 16-bit half or 32-bit
// float, colour premultiplied. Throws std::runtime_error when it cannot be
// encoded.
std::vector<uint8_t> EncodeExr(const ImageWorld& world, ExrChannels channels,
                               std::optional<ExrFrameRate> rate = std::nullopt);

// Writes EncodeExr's bytes to `path`. Throws std::runtime_error, naming the
// file, when it cannot be written.
void WriteExr(const ImageWorld& world, const std::string& path,
              ExrChannels channels = ExrChannels::kFloat,
              std::optional<ExrFrameRate> rate = std::nullopt);

// Reads an OpenEXR file's display window into a new world of `depth`, with
// straight alpha: colour is divided by alpha where alpha is not 0 (where it
// is 0 the stored colour is kept). A file without A is opaque; one with only
// Y (luminance) is grey. Pixels outside the data window are transparent.
// The windows are read from the header before the file is opened for its
// pixels. Throws std::runtime_error, naming the file, when it cannot be read,
// is a deep or multi-part file, or is larger than `maxSide` pixels across or
// down (its data window: 4 × `maxSide`).
std::unique_ptr<ImageWorld> ReadExr(const std::string& path, PixelDepth depth,
                                    int32_t maxSide = 16384);

// As ReadExr, for a file whose display window must be `width` × `height`:
// one of another size is refused with ImageSizeError, and one whose data
// window reaches outside its display window with std::runtime_error, both
// before the file is opened for its pixels.
std::unique_ptr<ImageWorld> ReadExrOfSize(const std::string& path, PixelDepth depth, int32_t width,
                                          int32_t height);

}  // namespace tarsivel::host

#endif
