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

std::string FindOnPath(const std::string&) {
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

struct ProgramRun {
    int status;          // as waitpid gives it
    std::string output;  // stdout and stderr together, the last 64 KiB
};

// `args` as execv takes them, valid while `args` lives.
std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// A pipe to or from the program `args` starts; throws naming it.
void OpenPipe(int fds[2], const std::vector<std::string>& args) {
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw ExitError(kExitUsage,
                        "cannot start " + args[0] + ": " + std::string(std::strerror(errno)));
    }
}

// Runs `args` to its end, without input. Ctrl-C stops it with this process.
ProgramRun RunProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv = Argv(args);
    int fds[2];
    OpenPipe(fds, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        throw ExitError(kExitUsage,
                        "cannot start " + args[0] + ": " + std::string(std::strerror(errno)));
    }
    StopOnInterrupt(pid);
    ProgramRun run{0, ""};
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        run.output.append(chunk, std::size_t(n));
        constexpr std::size_t kKept = 64 * 1024;
        if (run.output.size() > 2 * kKept) {
            run.output.erase(0, run.output.size() - kKept);
        }
    }
    ::close(fds[0]);
    while (::waitpid(pid, &run.status, 0) < 0 && errno == EINTR) {
    }
    StopOnInterrupt(-1);
    return run;
}

}  // namespace

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (fs::path(folder.empty() ? "." : folder) / program).string();
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) {
            return candidate;
        }
    }
    return "";
}

MovieWriter::MovieWriter(const std::string& path, const MovieSettings& settings)
    : path_(path), settings_(settings), output_(path), next_(settings.first) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    ffprobe_ = FindOnPath("ffprobe");
    if (ffmpeg.empty() || ffprobe_.empty()) {
        throw ExitError(kExitUsage, "writing " + path + " needs " +
                                        (ffmpeg.empty() ? "ffmpeg" : "ffprobe") +
                                        ", which is not on PATH; install it (Debian: apt-get "
                                        "install ffmpeg, which brings ffmpeg and ffprobe) or "
                                        "write frames (.png, .exr, .raw)");
    }
    const std::vector<std::string> args =
        FfmpegArguments(ffmpeg, settings, output_.TemporaryPath());
    std::vector<char*> argv = Argv(args);
    int fds[2];
    OpenPipe(fds, args);
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
        const ProgramRun probe = RunProgram(
            {ffprobe_, "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
             "stream=width,height,nb_read_packets", "-of", "default=noprint_wrappers=1", file});
        std::map<std::string, std::string> found;
        std::string message;
        std::istringstream lines(probe.output);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t equals = line.find('=');
            const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
            if (key == "width" || key == "height" || key == "nb_read_packets") {
                found[key] = line.substr(equals + 1);
            } else if (!line.empty()) {
                message = line;
            }
        }
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
        const std::string said = Tail(log_);
        throw ExitError(kExitUsage, "ffmpeg reported success writing " + path_ +
                                        ", but the movie is not whole: " + why + "; " + kept +
                                        (said.empty() ? "" : "; ffmpeg's last message" + said));
    }
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
    CheckWhole(next_ - settings_.first);
    output_.Commit();
}

#endif

}  // namespace tarsivel::cli
