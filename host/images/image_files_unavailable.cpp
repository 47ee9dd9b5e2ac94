// EXR in a build without OpenEXR (the Windows cross build):
// every request fails: a write points to raw pixel files, a read to the
// Linux build.
#include <stdexcept>

#include "host/images/exr_io.h"

namespace tarsivel::host {
namespace {

[[noreturn]] void Unavailable(const std::string& path, const char* format,
                              const char* advice = "write .png or .raw frames instead") {
    throw std::runtime_error(path + ": " + format + " files are not available in this build; " +
                             advice);
}

[[noreturn]] void Unreadable(const std::string& path, const char* format) {
    Unavailable(path, format, "read them with the Linux build");
}

}  // namespace

std::vector<uint8_t> EncodeExr(const ImageWorld&, ExrChannels, std::optional<ExrFrameRate>) {
    Unavailable("an image", "EXR");
}

void WriteExr(const ImageWorld&, const std::string& path, ExrChannels,
              std::optional<ExrFrameRate>) {
    Unavailable(path, "EXR");
}

std::unique_ptr<ImageWorld> ReadExr(const std::string& path, PixelDepth, int32_t) {
    Unreadable(path, "EXR");
}

std::unique_ptr<ImageWorld> ReadExrOfSize(const std::string& path, PixelDepth, int32_t, int32_t) {
    Unreadable(path, "EXR");
}

}  // namespace tarsivel::host
