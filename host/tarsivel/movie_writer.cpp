#include "host/tarsivel/movie_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/tarsivel/exit_error.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarsivel::cli {

#if defined(_WIN32)

std::string FindFfmpeg() {
    return "";
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
    if (mov) {
        for (const char* a : {"-c:v", "prores_ks", "-profile:v", "4444", "-pix_fmt", "yuva444p10le",
                              "-alpha_bits", "16", "-f", "mov"}) {
            args.emplace_back(a);
        }
    } else {
        for (const char* a : {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2:0:0:black", "-c:v", "libx264",
                              "-pix_fmt", "yuv420p", "-crf", "18", "-f", "mp4"}) {
            args.emplace_back(a);
        }
    }
    args.push_back(file);
    return args;
}

// The last line ffmpeg wrote to `log`, for messages.
std::string Tail(int log) {
    std::string text;
#if !defined(_WIN32)
    char chunk[4096];
    off_t at = 0;
    for (ssize_t n; log >= 0 && (n = ::pread(log, chunk, sizeof chunk, at)) > 0; at += n) {
        text.append(chunk, std::size_t(n));
    }
#else
    static_cast<void>(log);
#endif
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const std::size_t start = text.find_last_of('\n');
    text = start == std::string::npos ? text : text.substr(start + 1);
    return text.empty() ? "" : ": " + text;
}

}  // namespace

std::string FindFfmpeg() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (fs::path(folder.empty() ? "." : folder) / "ffmpeg").string();
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) {
            return candidate;
        }
    }
    return "";
}

MovieWriter::MovieWriter(const std::string& path, const MovieSettings& settings)
    : path_(path), settings_(settings), output_(path), next_(settings.first) {
    const std::string ffmpeg = FindFfmpeg();
    if (ffmpeg.empty()) {
        throw ExitError(kExitUsage, "writing " + path +
                                        " needs ffmpeg, which is not on PATH; install it "
                                        "(Debian: apt-get install ffmpeg) or write frames (.png, "
                                        ".exr, .raw)");
    }
    const std::vector<std::string> args =
        FfmpegArguments(ffmpeg, settings, output_.TemporaryPath());
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw ExitError(kExitUsage, std::string("cannot start ffmpeg: ") + std::strerror(errno));
    }
    // ffmpeg's messages go to a file that has no name, so nothing is left behind.
    const std::string logName = output_.TemporaryPath() + ".log";
    const int log = ::open(logName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::unlink(logName.c_str());
    log_ = log;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[0], 0);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(log >= 0 ? log : null, 2);
        // Ctrl-C reaches this process, which stops ffmpeg and removes its file.
        ::setpgid(0, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    if (pid < 0) {
        ::close(fds[1]);
        throw ExitError(kExitUsage, std::string("cannot start ffmpeg: ") + std::strerror(errno));
    }
    pid_ = pid;
    pipe_ = fds[1];
    StopOnInterrupt(pid_);
}

MovieWriter::~MovieWriter() {
    if (pid_ > 0) {
        ::kill(pid_t(pid_), SIGKILL);
        StopFfmpeg();
    }
    if (log_ >= 0) {
        ::close(log_);
    }
}

int MovieWriter::StopFfmpeg() {
    if (pipe_ >= 0) {
        ::close(pipe_);
        pipe_ = -1;
    }
    int status = 0;
    while (::waitpid(pid_t(pid_), &status, 0) < 0 && errno == EINTR) {
    }
    StopOnInterrupt(-1);
    pid_ = -1;
    return status;
}

void MovieWriter::FailLocked(const std::string& what) {
    abandoned_ = true;
    turn_.notify_all();
    if (pid_ > 0) {
        ::kill(pid_t(pid_), SIGKILL);
        StopFfmpeg();
    }
    throw ExitError(kExitUsage, "ffmpeg " + what + " writing " + path_ + Tail(log_));
}

bool MovieWriter::WaitForTurn(int frame) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return abandoned_ || frame - next_ < settings_.window; });
    return !abandoned_;
}

void MovieWriter::PipeLocked(int frame, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(pipe_, bytes.data() + done, bytes.size() - done);
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
    if (abandoned_ || pid_ < 0) {
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

void MovieWriter::Finish() {
    std::lock_guard lock(mutex_);
    const int status = StopFfmpeg();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw ExitError(kExitUsage,
                        "ffmpeg failed (" +
                            (WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                               : std::string("killed")) +
                            ") writing " + path_ + Tail(log_));
    }
    output_.Commit();
}

#endif

}  // namespace tarsivel::cli
