// PNG and EXR in a build without libpng and OpenEXR (the Windows cross build):
// every request fails with a message that points to raw pixel files.
#include <stdexcept>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"

namespace tarsivel::host {
namespace {

[[noreturn]] void Unavailable(const std::string& path, const char* format) {
    throw std::runtime_error(path + ": " + format +
                             " files are not available in this build; write .raw frames instead");
}

}  // namespace

std::unique_ptr<ImageWorld> ReadPng(const std::string& path, PixelDepth, int32_t) {
    Unavailable(path, "PNG");
}

std::unique_ptr<ImageWorld> ReadPngOfSize(const std::string& path, PixelDepth, int32_t, int32_t) {
    Unavailable(path, "PNG");
}

std::vector<uint8_t> EncodePng(const ImageWorld&, int) {
    Unavailable("an image", "PNG");
}

void WritePng(const ImageWorld&, const std::string& path, int) {
    Unavailable(path, "PNG");
}

std::vector<uint8_t> EncodeExr(const ImageWorld&, ExrChannels, std::optional<ExrFrameRate>) {
    Unavailable("an image", "EXR");
}

void WriteExr(const ImageWorld&, const std::string& path, ExrChannels,
              std::optional<ExrFrameRate>) {
    Unavailable(path, "EXR");
}

std::unique_ptr<ImageWorld> ReadExr(const std::string& path, PixelDepth, int32_t) {
    Unavailable(path, "EXR");
}

}  // namespace tarsivel::host
