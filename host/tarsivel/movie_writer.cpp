#include "host/tarsivel/movie_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "host/tarsivel/exit_error.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarsivel::cli {

#if defined(_WIN32)

std::string WhyNoMovies() {
    return "movies need the Linux build";
}

MovieWriter::MovieWriter(const std::string& path, const MovieSettings& settings)
    : path_(path), settings_(settings), output_(path), next_(settings.first) {
    throw ExitError(kExitUsage, path + ": movies need the Linux build");
}
MovieWriter::~MovieWriter() = default;
bool MovieWriter::WaitForTurn(int) {
    return false;
}
void MovieWriter::Add(int, const host::ImageWorld&) {}
void MovieWriter::Abandon() {}
void MovieWriter::Finish() {}

#else

std::string WhyNoMovies() {
    for (const char* program : {"ffmpeg", "ffprobe"}) {
        if (host::FindOnPath(program).empty()) {
            return std::string("a movie needs ") + program + ", which is not on PATH";
        }
    }
    return "";
}

namespace {

namespace fs = std::filesystem;

uint8_t To8(float c) {
    return uint8_t(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
}

void Put16(std::vector<uint8_t>& bytes, std::size_t at, float c) {
    const auto v = uint16_t(std::lround(std::clamp(c, 0.0f, 1.0f) * 65535.0f));
    bytes[at] = uint8_t(v & 0xFF);
    bytes[at + 1] = uint8_t(v >> 8);
}

// .mov: straight RGBA, 16 bits a channel, little-endian (ffmpeg's rgba64le).
// .mp4: RGB composited over black, 8 bits a channel (rgb24).
std::vector<uint8_t> Pixels(const host::ImageWorld& image, OutputFormat format) {
    const std::size_t count = std::size_t(image.Width()) * std::size_t(image.Height());
    const bool alpha = format == OutputFormat::kMov;
    std::vector<uint8_t> bytes(count * (alpha ? 8 : 3));
    std::size_t at = 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const PF_PixelFloat p = image.ReadFloat(x, y);
            if (alpha) {
                Put16(bytes, at, p.red);
                Put16(bytes, at + 2, p.green);
                Put16(bytes, at + 4, p.blue);
                Put16(bytes, at + 6, p.alpha);
                at += 8;
            } else {
                const float a = std::clamp(p.alpha, 0.0f, 1.0f);
                bytes[at] = To8(p.red * a);
                bytes[at + 1] = To8(p.green * a);
                bytes[at + 2] = To8(p.blue * a);
                at += 3;
            }
        }
    }
    return bytes;
}

std::vector<std::string> FfmpegArguments(const std::string& ffmpeg, const MovieSettings& s,
                                         const std::string& file) {
    const bool mov = s.format == OutputFormat::kMov;
    std::vector<std::string> args = {
        ffmpeg,       "-hide_banner",
        "-nostats",   "-loglevel",
        "error",      "-y",
        "-f",         "rawvideo",
        "-pix_fmt",   mov ? "rgba64le" : "rgb24",
        "-s",         std::to_string(s.width) + "x" + std::to_string(s.height),
        "-framerate", std::to_string(s.timeScale) + "/" + std::to_string(s.timeStep),
        "-i",         "pipe:0"};
    // The conversion to YUV is made here, with the BT.709 matrix into limited
    // range, and the frames are tagged with what they then hold; the same tags
    // go to the encoder for the stream's own colour description.
    const std::string pixelFormat = mov ? "yuva444p10le" : "yuv420p";
    const std::string convert = "scale=out_color_matrix=bt709:out_range=tv,format=" + pixelFormat +
                                ",setparams=range=tv:color_primaries=bt709:color_trc=iec61966-2-"
                                "1:colorspace=bt709";
    args.insert(args.end(),
                {"-vf", mov ? convert : "pad=ceil(iw/2)*2:ceil(ih/2)*2:0:0:black," + convert});
    if (mov) {
        args.insert(args.end(), {"-c:v", "prores_ks", "-profile:v", "4444", "-alpha_bits", "16"});
    } else {
        args.insert(args.end(), {"-c:v", "libx264", "-crf", std::to_string(s.crf)});
    }
    args.insert(args.end(),
                {"-pix_fmt", pixelFormat, "-color_primaries", "bt709", "-color_trc", "iec61966-2-1",
                 "-colorspace", "bt709", "-color_range", "tv", "-f", mov ? "mov" : "mp4", file});
    return args;
}

}  // namespace

MovieWriter::MovieWriter(const std::string& path, const MovieSettings& settings)
    : path_(path), settings_(settings), output_(path), next_(settings.first) {
    const std::string ffmpeg = host::FindOnPath("ffmpeg");
    ffprobe_ = host::FindOnPath("ffprobe");
    if (ffmpeg.empty() || ffprobe_.empty()) {
        throw ExitError(kExitUsage, "writing " + path + " needs " +
                                        (ffmpeg.empty() ? "ffmpeg" : "ffprobe") +
                                        ", which is not on PATH; install it (Debian: apt-get "
                                        "install ffmpeg, which brings ffmpeg and ffprobe) or "
                                        "write frames (.png, .exr, .raw)");
    }
    // ffmpeg's messages go to a file that has no name, so nothing is left behind.
    log_ = host::AnonymousLog(fs::path(output_.TemporaryPath()).parent_path().string());
    // Ctrl-C reaches this process only, which stops ffmpeg and removes its file.
    ffmpeg_ = host::StartChild(FfmpegArguments(ffmpeg, settings, output_.TemporaryPath()),
                               host::ChildPipe::kInput, log_, true);
    if (ffmpeg_.pid < 0) {
        throw ExitError(kExitUsage, std::string("cannot start ffmpeg: ") + std::strerror(errno));
    }
    StopOnInterrupt(ffmpeg_.pid);
}

MovieWriter::~MovieWriter() {
    if (ffmpeg_.pid > 0) {
        StopFfmpeg(true);
    }
    if (log_ >= 0) {
        ::close(log_);
    }
}

int MovieWriter::StopFfmpeg(bool kill) {
    const int status = host::EndChild(ffmpeg_, kill);
    StopOnInterrupt(-1);
    return status;
}

void MovieWriter::FailLocked(const std::string& what) {
    abandoned_ = true;
    turn_.notify_all();
    if (ffmpeg_.pid > 0) {
        StopFfmpeg(true);
    }
    throw ExitError(kExitUsage,
                    "ffmpeg " + what + " writing " + path_ + host::LastLine(log_, ": "));
}

bool MovieWriter::WaitForTurn(int frame) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return abandoned_ || frame - next_ < settings_.window; });
    return !abandoned_;
}

void MovieWriter::PipeLocked(int frame, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(ffmpeg_.pipe, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            FailLocked("stopped taking frames at frame " + std::to_string(frame));
        }
        done += std::size_t(n);
    }
}

void MovieWriter::Add(int frame, const host::ImageWorld& image) {
    std::vector<uint8_t> bytes = Pixels(image, settings_.format);
    std::lock_guard lock(mutex_);
    if (abandoned_ || ffmpeg_.pid < 0) {
        return;
    }
    waiting_.emplace(frame, std::move(bytes));
    while (!waiting_.empty() && waiting_.begin()->first == next_) {
        PipeLocked(next_, waiting_.begin()->second);
        waiting_.erase(waiting_.begin());
        ++next_;
    }
    turn_.notify_all();
}

void MovieWriter::Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    turn_.notify_all();
}

void MovieWriter::CheckWhole(int frames) {
    const std::string& file = output_.TemporaryPath();
    const bool mov = settings_.format == OutputFormat::kMov;
    const int32_t width = mov ? settings_.width : (settings_.width + 1) / 2 * 2;
    const int32_t height = mov ? settings_.height : (settings_.height + 1) / 2 * 2;
    std::string why;
    std::error_code error;
    if (fs::file_size(file, error) == 0 || error) {
        why = "it is empty";
    } else {
        // Counting packets reads the whole file through its index, without decoding.
        const host::ProgramRun probe = host::RunProgram(
            {ffprobe_, "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
             "stream=width,height,nb_read_packets", "-of", "default=noprint_wrappers=1", file},
            StopOnInterrupt);
        if (probe.startError != 0) {
            throw ExitError(kExitUsage, "cannot start " + ffprobe_ + ": " +
                                            std::string(std::strerror(probe.startError)));
        }
        std::map<std::string, std::string> found;
        std::istringstream lines(probe.output);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t equals = line.find('=');
            const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
            if (key == "width" || key == "height" || key == "nb_read_packets") {
                found[key] = line.substr(equals + 1);
            }
        }
        std::string message = probe.message;
        // ffprobe names the file it read, which is the temporary one.
        if (message.rfind(file + ": ", 0) == 0) {
            message.erase(0, file.size() + 2);
        }
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        if (!WIFEXITED(probe.status) || WEXITSTATUS(probe.status) != 0 ||
            found.count("nb_read_packets") == 0) {
            why = "ffprobe cannot read it" + (message.empty() ? "" : " (" + message + ")");
        } else if (found["width"] + "x" + found["height"] != size) {
            why = "it is " + found["width"] + "x" + found["height"] + ", not " + size;
        } else if (found["nb_read_packets"] != std::to_string(frames)) {
            why = "it holds " + found["nb_read_packets"] + " of the " + std::to_string(frames) +
                  " frames";
        }
    }
    if (!why.empty()) {
        const std::string kept =
            OutputExists(path_) ? "the existing " + path_ + " is kept" : "no movie was written";
        throw ExitError(kExitUsage, "ffmpeg reported success writing " + path_ +
                                        ", but the movie is not whole: " + why + "; " + kept +
                                        host::LastLine(log_, "; ffmpeg's last message: "));
    }
}

void MovieWriter::Finish() {
    std::lock_guard lock(mutex_);
    const int status = StopFfmpeg(false);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw ExitError(kExitUsage,
                        "ffmpeg failed (" +
                            (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                               : std::string("killed")) +
                            ") writing " + path_ + host::LastLine(log_, ": "));
    }
    CheckWhole(next_ - settings_.first);
    output_.Commit();
}

#endif

}  // namespace tarsivel::cli
