#include "host/tarsivel/output_format.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"
#include "host/images/raw_frame.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/output_files.h"

namespace tarsivel::cli {

OutputFormat DefaultFormat(int depth) {
#if defined(_WIN32)
    // No OpenEXR here: float frames keep their floats in raw pixel files.
    return depth == 32 ? OutputFormat::kRaw : OutputFormat::kPng;
#else
    return depth == 32 ? OutputFormat::kExr : OutputFormat::kPng;
#endif
}

bool IsMovie(OutputFormat format) {
    return format == OutputFormat::kMov || format == OutputFormat::kMp4;
}

const char* ExtensionOf(OutputFormat format) {
    switch (format) {
        case OutputFormat::kPng:
            return ".png";
        case OutputFormat::kExr:
            return ".exr";
        case OutputFormat::kMov:
            return ".mov";
        case OutputFormat::kMp4:
            return ".mp4";
        case OutputFormat::kRaw:
            break;
    }
    return ".raw";
}

OutputFormat FormatOfPath(const std::string& path, int depth) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension.empty() && IsDeviceOrPipe(path)) {
        return DefaultFormat(depth);
    }
#if defined(_WIN32)
    if (extension == ".png") {
        return OutputFormat::kPng;
    }
    if (extension == ".raw") {
        return OutputFormat::kRaw;
    }
    throw ExitError(kExitUsage, path +
                                    ": this build writes .png and .raw frames; name the output "
                                    "one of them (OpenEXR frames and movies need the Linux build)");
#else
    if (extension == ".png") {
        return OutputFormat::kPng;
    }
    if (extension == ".exr") {
        return OutputFormat::kExr;
    }
    if (extension == ".raw") {
        return OutputFormat::kRaw;
    }
    if (extension == ".mov") {
        return OutputFormat::kMov;
    }
    if (extension == ".mp4") {
        return OutputFormat::kMp4;
    }
    throw ExitError(kExitUsage, path +
                                    ": the extension decides the format: .png, .exr or .raw "
                                    "frames, or a .mov (ProRes 4444 with alpha) or .mp4 (H.264) "
                                    "movie");
#endif
}

std::vector<uint8_t> EncodeFrame(const host::ImageWorld& image, OutputFormat format,
                                 std::optional<host::ExrFrameRate> rate) {
    const bool eight = image.Depth() == host::PixelDepth::k8;
    switch (format) {
        case OutputFormat::kPng:
            return host::EncodePng(image, eight ? 8 : 16);
        case OutputFormat::kExr:
            return host::EncodeExr(image,
                                   image.Depth() == host::PixelDepth::k32
                                       ? host::ExrChannels::kFloat
                                       : host::ExrChannels::kHalf,
                                   rate);
        case OutputFormat::kMov:
        case OutputFormat::kMp4:
            throw std::logic_error("movies are written by MovieWriter");
        case OutputFormat::kRaw:
            break;
    }
    return host::EncodeRawFrame(image);
}

std::string PrecisionNote(OutputFormat format, int depth) {
    if (format == OutputFormat::kPng && depth == 32) {
#if defined(_WIN32)
        return "32-bit frames are written as 16-bit PNG, clamped to 0 … 1; .raw keeps the floats";
#else
        return "32-bit frames are written as 16-bit PNG, clamped to 0 … 1; .exr keeps the floats";
#endif
    }
    return "";
}

}  // namespace tarsivel::cli
