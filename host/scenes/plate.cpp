#include "host/scenes/plate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"
#include "host/protocol/channel_conversions.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarsivel::host {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const Scene& scene, const std::string& problem) {
    throw SceneError(scene.path + ": " + scene.background.Key() + ": " + problem);
}

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " × " + std::to_string(height);
}

void RequireLayerSize(const Scene& scene, const std::string& path, int64_t width, int64_t height) {
    if (width != scene.width || height != scene.height) {
        Fail(scene, path + " is " + SizeText(width, height) + ", the layer is " +
                        SizeText(scene.width, scene.height));
    }
}

bool HasExrExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".exr";
}

// The pattern's run of # is the last one: the scene's folder, put before it, may have its own.
std::string FileOfNumber(const std::string& pattern, int64_t number) {
    const std::size_t end = pattern.rfind('#') + 1;
    const std::size_t start = pattern.find_last_not_of('#', end - 1) + 1;
    std::string digits = std::to_string(number);
    if (digits.size() < end - start) {
        digits.insert(0, end - start - digits.size(), '0');
    }
    return pattern.substr(0, start) + digits + pattern.substr(end);
}

bool Missing(const std::string& path) {
    std::error_code error;
    return fs::status(path, error).type() == fs::file_type::not_found;
}

}  // namespace

std::unique_ptr<ImageWorld> ReadLayerImage(const Scene& scene, const std::string& path) {
    try {
        return HasExrExtension(path)
                   ? ReadExrOfSize(path, PixelDepth::k32, scene.width, scene.height)
                   : ReadPngOfSize(path, PixelDepth::k32, scene.width, scene.height);
    } catch (const ImageSizeError& e) {
        RequireLayerSize(scene, path, e.Width(), e.Height());
        throw;
    } catch (const std::bad_alloc&) {
        throw;  // told with the memory estimate and what to try
    } catch (const std::exception& e) {
        Fail(scene, e.what());
    }
}

std::string SequenceFile(const Scene& scene, int32_t frame) {
    const SceneBackground& bg = scene.background;
    const std::string wanted = FileOfNumber(bg.platePath, frame + bg.fileOffset);
    if (!Missing(wanted)) {
        return wanted;
    }
    if (!bg.holdMissing) {
        Fail(scene, "frame " + std::to_string(frame) + " shows " + wanted +
                        ", which does not exist; add it, or give \"missing\": \"hold\" to show "
                        "the nearest earlier frame's file instead");
    }
    for (int32_t earlier = frame - 1; earlier >= 0; --earlier) {
        const std::string held = FileOfNumber(bg.platePath, earlier + bg.fileOffset);
        if (!Missing(held)) {
            return held;
        }
    }
    Fail(scene, "frame " + std::to_string(frame) + " shows " + wanted +
                    ", which does not exist, and no earlier frame has a file to hold; add it");
}

uint64_t PlateBytesPerFrame(const Scene& scene, int depth, bool gpu) {
    const auto kind = scene.background.kind;
    if (kind != SceneBackground::Kind::Sequence && kind != SceneBackground::Kind::Movie) {
        return 0;
    }
    const uint64_t layer = uint64_t(scene.width) * uint64_t(scene.height);
    const uint64_t output = uint64_t(scene.OutputWidth()) * uint64_t(scene.OutputHeight());
    // The float image, the decoder's 16-bit samples, the frame's background.
    return layer * (16 + 8) + output * (gpu ? 16 : uint64_t(depth / 2));
}

namespace {

constexpr uint64_t kMovieStoreBytes = uint64_t(512) << 20;

std::size_t MovieStoreFrames(const Scene& scene) {
    const uint64_t frameBytes = uint64_t(scene.width) * uint64_t(scene.height) * 8;
    return std::size_t(std::clamp<uint64_t>(kMovieStoreBytes / frameBytes, 2, 32));
}

}  // namespace

uint64_t PlateSharedBytes(const Scene& scene) {
    if (scene.background.kind != SceneBackground::Kind::Movie) {
        return 0;
    }
    return uint64_t(MovieStoreFrames(scene)) * uint64_t(scene.width) * uint64_t(scene.height) * 8;
}

#if defined(_WIN32)

MoviePlate::MoviePlate(const Scene& scene, const std::function<void(const std::string&)>&)
    : scene_(scene), frameBytes_(0), keep_(0) {
    Fail(scene, scene.background.platePath + ": movie plates need the Linux build");
}
MoviePlate::~MoviePlate() = default;
std::unique_ptr<ImageWorld> MoviePlate::Frame(int32_t) {
    return nullptr;
}

#else

namespace {

struct Rate {
    int64_t num = 0;
    int64_t den = 0;
};

// "24/1", "30000/1001"; 0/0 when ffprobe does not know.
Rate ParseRate(const std::string& text) {
    Rate rate;
    std::istringstream in(text);
    char slash = 0;
    if (!(in >> rate.num >> slash >> rate.den) || slash != '/' || rate.num <= 0 || rate.den <= 0 ||
        rate.num > INT32_MAX || rate.den > INT32_MAX) {
        return {};
    }
    return rate;
}

std::string RateText(double fps) {
    std::ostringstream text;
    text.precision(6);
    text << fps;
    return text.str();
}

std::string JsonText(const nlohmann::json& stream, const char* key) {
    return stream.contains(key) && stream[key].is_string() ? stream[key].get<std::string>() : "";
}

std::string MissingFfmpegAdvice(const std::string& movie, const char* program) {
    return "reading " + movie + " needs " + program +
           ", which is not on PATH; install ffmpeg (Debian: apt-get install ffmpeg) or give the "
           "plate as an image sequence";
}

}  // namespace

MoviePlate::MoviePlate(const Scene& scene, const std::function<void(const std::string&)>& warn)
    : scene_(scene), frameBytes_(0), keep_(MovieStoreFrames(scene)) {
    const std::string& movie = scene.background.platePath;
    if (std::ifstream probe(movie, std::ios::binary); !probe) {
        Fail(scene, "cannot open " + movie + ": " + std::strerror(errno));
    }
    const std::string ffprobe = FindOnPath("ffprobe");
    if (ffprobe.empty()) {
        Fail(scene, MissingFfmpegAdvice(movie, "ffprobe"));
    }
    if (FindOnPath("ffmpeg").empty()) {
        Fail(scene, MissingFfmpegAdvice(movie, "ffmpeg"));
    }
    // Counting packets reads the file without decoding it.
    const ProgramRun probe = RunProgram(
        {ffprobe, "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=width,height,pix_fmt,avg_frame_rate,r_frame_rate,nb_read_packets", "-of", "json",
         movie});
    if (probe.startError != 0) {
        Fail(scene, std::string("cannot start ffprobe: ") + std::strerror(probe.startError));
    }
    if (!WIFEXITED(probe.status) || WEXITSTATUS(probe.status) != 0) {
        Fail(scene,
             "ffprobe cannot read " + movie + (probe.message.empty() ? "" : ": " + probe.message));
    }
    const nlohmann::json probed = nlohmann::json::parse(probe.output, nullptr, false);
    if (!probed.is_object() || !probed.contains("streams") || !probed["streams"].is_array() ||
        probed["streams"].empty() || !probed["streams"][0].is_object()) {
        Fail(scene, movie + " has no video stream");
    }
    const nlohmann::json& stream = probed["streams"][0];
    const auto number = [&stream](const char* key) -> int64_t {
        return stream.contains(key) && stream[key].is_number_integer() ? stream[key].get<int64_t>()
                                                                       : -1;
    };
    RequireLayerSize(scene, movie, number("width"), number("height"));
    // Formats of more than 8 bits a sample name their byte order (yuv420p10le, rgb48be);
    // 8-bit ones come as 8 bits, as an 8-bit PNG would, since ffmpeg's widening
    // to 16 bits does not give 255 as full.
    const std::string format = JsonText(stream, "pix_fmt");
    wide_ = format.size() > 2 && (format.ends_with("le") || format.ends_with("be"));
    frameBytes_ = std::size_t(scene.width) * std::size_t(scene.height) * (wide_ ? 8 : 4);
    const std::string packets = JsonText(stream, "nb_read_packets");
    if (!packets.empty() && packets.find_first_not_of("0123456789") == std::string::npos &&
        packets.size() < 12 && std::stoll(packets) < scene.frames) {
        Fail(scene, movie + " has " + packets + " frames, the scene " +
                        std::to_string(scene.frames) +
                        " (time.frames); give a longer movie or fewer frames");
    }
    Rate rate = ParseRate(JsonText(stream, "avg_frame_rate"));
    if (rate.num == 0) {
        rate = ParseRate(JsonText(stream, "r_frame_rate"));
    }
    if (rate.num != 0 && rate.num * scene.timeStep != rate.den * int64_t(scene.timeScale)) {
        warn(scene.path + ": " + scene.background.Key() + ": " + movie + " runs at " +
             RateText(double(rate.num) / double(rate.den)) + " frames a second, the scene at " +
             RateText(double(scene.timeScale) / scene.timeStep) +
             "; frame n of the scene shows the movie's frame n, so the plate plays at another "
             "speed than it was shot");
    }
}

MoviePlate::~MoviePlate() {
    std::lock_guard lock(mutex_);
    StopLocked();
    if (log_ >= 0) {
        ::close(log_);
    }
}

void MoviePlate::StopLocked() {
    EndChild(decoder_, true);
}

void MoviePlate::FailLocked(const std::string& problem) {
    StopLocked();
    Fail(scene_, problem + LastLine(log_, ": "));
}

void MoviePlate::StartLocked(int32_t from) {
    StopLocked();
    if (log_ < 0) {
        log_ = AnonymousLog();
    } else if (::ftruncate(log_, 0) != 0) {
        ::close(log_);
        log_ = AnonymousLog();
    }
    const std::string& movie = scene_.background.platePath;
    // Every decoded frame as it comes, none repeated or dropped for a rate;
    // pixels as stored, not turned by rotation metadata, so the size is the probed one.
    std::vector<std::string> args = {
        FindOnPath("ffmpeg"), "-hide_banner", "-nostdin", "-v",   "error",
        "-noautorotate",      "-i",           movie,      "-map", "0:v:0"};
    if (from > 0) {
        args.insert(args.end(), {"-vf", "select=gte(n\\," + std::to_string(from) + ")"});
    }
    args.insert(args.end(), {"-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt",
                             wide_ ? "rgba64le" : "rgba", "pipe:1"});
    decoder_ = StartChild(args, ChildPipe::kOutput, log_);
    if (decoder_.pid < 0) {
        Fail(scene_,
             std::string("cannot start ffmpeg to read ") + movie + ": " + std::strerror(errno));
    }
    next_ = from;
}

std::vector<uint8_t> MoviePlate::DecodedLocked(int32_t frame) {
    const auto held = ahead_.find(frame);
    if (held != ahead_.end()) {
        std::vector<uint8_t> samples = std::move(held->second);
        ahead_.erase(held);
        return samples;
    }
    // Behind the pipe, or so far ahead that ffmpeg had better skip the frames
    // between (it still decodes them, but pipes none).
    if (decoder_.pid < 0 || frame < next_ || std::size_t(frame - next_) > keep_) {
        StartLocked(frame);
    }
    for (;;) {
        std::vector<uint8_t> samples(frameBytes_);
        if (ReadFully(decoder_.pipe, samples.data(), samples.size()) != samples.size()) {
            FailLocked(scene_.background.platePath + " ends before its frame " +
                       std::to_string(next_) + ", which frame " + std::to_string(frame) + " needs");
        }
        if (next_++ == frame) {
            return samples;
        }
        // Another frame being rendered at once will ask for this one soon.
        ahead_.emplace(next_ - 1, std::move(samples));
        if (ahead_.size() > keep_) {
            ahead_.erase(ahead_.begin());
        }
    }
}

std::unique_ptr<ImageWorld> MoviePlate::Frame(int32_t frame) {
    std::vector<uint8_t> bytes;
    {
        std::lock_guard lock(mutex_);
        bytes = DecodedLocked(frame);
    }
    // R, G, B, A; rgba64le samples are read as a 16-bit PNG's are, rgba as an 8-bit PNG's.
    const auto channel = [this, &bytes](std::size_t sample) {
        return wide_ ? Png16ToChannelFloat(uint16_t(bytes[2 * sample] | bytes[2 * sample + 1] << 8))
                     : ToChannelFloat(bytes[sample]);
    };
    auto image = std::make_unique<ImageWorld>(scene_.width, scene_.height, PixelDepth::k32);
    std::size_t i = 0;
    for (int32_t y = 0; y < scene_.height; ++y) {
        for (int32_t x = 0; x < scene_.width; ++x, i += 4) {
            image->WriteFloat(x, y, {channel(i + 3), channel(i), channel(i + 1), channel(i + 2)});
        }
    }
    return image;
}

#endif

}  // namespace tarsivel::host
