#include "host/scenes/plate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"
#include "host/protocol/channel_conversions.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
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

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (fs::path(folder.empty() ? "." : folder) / name).string();
        std::error_code error;
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate, error)) {
            return candidate;
        }
    }
    return "";
}

// A file with no name for a child's messages, closed in other children.
int AnonymousLog() {
    std::string name = (fs::temp_directory_path() / "tarsivel-plate-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(name.c_str());
    }
    return fd;
}

// The last line written to `log`, for messages.
std::string LastLine(int log) {
    std::string text;
    char chunk[4096];
    off_t at = 0;
    for (ssize_t n; log >= 0 && (n = ::pread(log, chunk, sizeof chunk, at)) > 0; at += n) {
        text.append(chunk, std::size_t(n));
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const std::size_t start = text.find_last_of('\n');
    text = start == std::string::npos ? text : text.substr(start + 1);
    return text.empty() ? "" : ": " + text;
}

// Starts `args` with its output on a pipe, whose reading end is returned in
// `out`, and its messages in `log`; the process id, or -1.
long Spawn(const std::vector<std::string>& args, int log, int& out) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only what is safe between fork and exec in a process with threads.
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(fds[1], 1);
        ::dup2(log >= 0 ? log : null, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return -1;
    }
    out = fds[0];
    return pid;
}

int Wait(long pid) {
    int status = 0;
    while (::waitpid(pid_t(pid), &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reads up to `size` bytes; fewer only at the end of the pipe.
std::size_t ReadFully(int fd, void* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += std::size_t(n);
    }
    return done;
}

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
    const std::string ffprobe = FindProgram("ffprobe");
    if (ffprobe.empty()) {
        Fail(scene, MissingFfmpegAdvice(movie, "ffprobe"));
    }
    if (FindProgram("ffmpeg").empty()) {
        Fail(scene, MissingFfmpegAdvice(movie, "ffmpeg"));
    }
    // Counting packets reads the file without decoding it.
    const std::vector<std::string> args = {
        ffprobe,
        "-v",
        "error",
        "-select_streams",
        "v:0",
        "-count_packets",
        "-show_entries",
        "stream=width,height,pix_fmt,avg_frame_rate,r_frame_rate,nb_read_packets",
        "-of",
        "json",
        movie};
    const int log = AnonymousLog();
    int out = -1;
    const long pid = Spawn(args, log, out);
    const int startError = errno;
    std::string text;
    char chunk[4096];
    for (std::size_t n; pid > 0 && (n = ReadFully(out, chunk, sizeof chunk)) > 0;) {
        text.append(chunk, n);
    }
    const int status = pid > 0 ? Wait(pid) : 0;
    const std::string said = LastLine(log);
    for (const int fd : {out, log}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (pid < 0) {
        Fail(scene, std::string("cannot start ffprobe: ") + std::strerror(startError));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail(scene, "ffprobe cannot read " + movie + said);
    }
    const nlohmann::json probed = nlohmann::json::parse(text, nullptr, false);
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
    if (pid_ > 0) {
        ::kill(pid_t(pid_), SIGKILL);
        ::close(pipe_);
        Wait(pid_);
    }
    pid_ = -1;
    pipe_ = -1;
}

void MoviePlate::FailLocked(const std::string& problem) {
    StopLocked();
    Fail(scene_, problem + LastLine(log_));
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
        FindProgram("ffmpeg"), "-hide_banner", "-nostdin", "-v",   "error",
        "-noautorotate",       "-i",           movie,      "-map", "0:v:0"};
    if (from > 0) {
        args.insert(args.end(), {"-vf", "select=gte(n\\," + std::to_string(from) + ")"});
    }
    args.insert(args.end(), {"-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt",
                             wide_ ? "rgba64le" : "rgba", "pipe:1"});
    pid_ = Spawn(args, log_, pipe_);
    if (pid_ < 0) {
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
    if (pid_ < 0 || frame < next_ || std::size_t(frame - next_) > keep_) {
        StartLocked(frame);
    }
    for (;;) {
        std::vector<uint8_t> samples(frameBytes_);
        if (ReadFully(pipe_, samples.data(), samples.size()) != samples.size()) {
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
