#include "host/tarsivel/output_files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "host/tarsivel/exit_error.h"

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarsivel::cli {
namespace {

namespace fs = std::filesystem;

// Slots for the temporary files being written, readable from a signal handler
// (fixed storage, no allocation, no locks).
constexpr std::size_t kSlots = 64;
constexpr std::size_t kPathLength = 4096;
// A slot is reserved while its path is being copied in and ready once the handler may read it,
// so the handler never sees half a path.
enum SlotState : int { kFree, kReserved, kReady };
struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathLength];
};
std::array<Slot, kSlots> slots;

// Claimed before the file is created, so that no moment exists in which an interruption could
// leave the file behind unnamed.
int Claim(const std::string& path) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (path.size() < kPathLength && slots[i].state.compare_exchange_strong(
                                             expected, kReserved, std::memory_order_acquire)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(kReady, std::memory_order_release);
            return int(i);
        }
    }
    return -1;
}

void Release(int slot) {
    if (slot >= 0) {
        slots[std::size_t(slot)].state.store(kFree, std::memory_order_release);
    }
}

// A child process writing an output (ffmpeg), stopped with the temporary files.
std::atomic<long> child{-1};

extern "C" void RemoveTemporaryFilesAndExit(int signal) {
#if !defined(_WIN32)
    const long pid = child.load();
    if (pid > 0) {
        ::kill(pid_t(pid), SIGKILL);
    }
#endif
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == kReady) {
            std::remove(slot.path);
        }
    }
    std::_Exit(128 + signal);
}

[[noreturn]] void CannotWrite(const std::string& path, const std::string& why) {
    throw ExitError(kExitUsage, "cannot write " + path + ": " + why);
}

// A hidden name beside `final`, unique within this process and among processes.
std::string TemporaryName(const fs::path& final) {
    static std::atomic<unsigned> counter{0};
    return (final.parent_path() /
            ("." + final.stem().string() + ".tmp-" + std::to_string(getpid()) + "-" +
             std::to_string(counter++) + final.extension().string()))
        .string();
}

void CreateFolders(const std::string& path, const fs::path& final) {
    if (final.has_parent_path()) {
        std::error_code error;
        fs::create_directories(final.parent_path(), error);
        if (error) {
            CannotWrite(path, error.message());
        }
    }
}

#if defined(_WIN32)

// Windows has neither the devices nor the links of the cases above that
// matter to users; the temporary file and the rename are kept.
struct Destination {
    std::string target;
    bool special = false;
};

Destination Resolve(const std::string& path) {
    return {path, false};
}

void Commit(const std::string& path, const Destination& destination, const std::string& temporary) {
    std::error_code error;
    fs::rename(temporary, destination.target, error);
    if (error) {
        CannotWrite(path, error.message());
    }
}

void WriteTemporary(const std::string& path, const std::string& file,
                    const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        CannotWrite(path, "the file could not be written");
    }
}

std::string NameTemporary(const std::string& path, const Destination& destination) {
    CreateFolders(path, destination.target);
    return TemporaryName(destination.target);
}

void CreateTemporary(const std::string& path, const std::string& temporary) {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        CannotWrite(path, "the file could not be created");
    }
}

}  // namespace

bool OutputExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool IsDeviceOrPipe(const std::string&) {
    return false;
}

#else

std::string Reason() {
    return std::strerror(errno);
}

// Writes all of `bytes` to `fd` and closes it.
void WriteAll(int fd, const uint8_t* bytes, std::size_t size, const std::string& path) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string why = n < 0 ? Reason() : "nothing was written";
            ::close(fd);
            CannotWrite(path, why);
        }
        done += std::size_t(n);
    }
    if (::close(fd) != 0) {
        CannotWrite(path, Reason());
    }
}

// The file that `path` finally names once symbolic links are followed (a
// link to nowhere names where its target would be).
std::string FollowLinks(const std::string& path) {
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current.string();
        }
        std::error_code error;
        const fs::path target = fs::read_symlink(current, error);
        if (error) {
            CannotWrite(path, error.message());
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    CannotWrite(path, "too many levels of symbolic links");
}

// Judged by mode and owner rather than access(), which always says yes to
// root: root replaces only files whose owner may write them.
bool MayReplace(const struct stat& info, const std::string& file) {
    if (::geteuid() == 0) {
        return (info.st_mode & S_IWUSR) != 0;
    }
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

// Where the output of `path` goes, checked before anything is written.
struct Destination {
    std::string target;    // after links
    bool exists = false;   // a regular file is there
    bool special = false;  // a device or a pipe: written through
    struct stat info {};
};

// The next folder up from `folder` ("a/b" → "a" → "."; "/a" → "/").
fs::path FolderAbove(const fs::path& folder) {
    const fs::path above = folder.parent_path();
    return above.empty() ? fs::path(".") : above;
}

// The folder of the file must be one this user may make files in, or be made
// inside one. Folders are made only along the path the user named: where a
// symbolic link (the output itself or a folder on its way) points to a
// missing folder, nothing is made where it points.
void CheckFolder(const std::string& path, const Destination& destination) {
    const fs::path target = destination.target;
    const fs::path folder = FolderAbove(target);
    for (fs::path at = folder;; at = FolderAbove(at)) {
        struct stat info {};
        if (::stat(at.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) {
                CannotWrite(path, at.string() + " is not a folder");
            }
            if (::faccessat(AT_FDCWD, at.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
                CannotWrite(
                    path, Reason() + ": this user may not make files in the folder " + at.string());
            }
            return;
        }
        if (errno != ENOENT || at == FolderAbove(at)) {
            CannotWrite(path, at.string() + ": " + Reason());
        }
        if (destination.target != path) {
            CannotWrite(path, "it is a symbolic link to " + target.string() + ", whose folder " +
                                  folder.string() +
                                  " does not exist; no folder is made where a link points: "
                                  "make the folder, or name another output");
        }
        if (::lstat(at.c_str(), &info) == 0) {
            CannotWrite(path, at.string() +
                                  " is a symbolic link to a folder that does not exist; no folder "
                                  "is made where a link points: make the folder, or name another "
                                  "output");
        }
    }
}

Destination Resolve(const std::string& path) {
    Destination destination;
    destination.target = FollowLinks(path);
    if (::stat(destination.target.c_str(), &destination.info) != 0) {
        CheckFolder(path, destination);
        return destination;
    }
    if (S_ISDIR(destination.info.st_mode)) {
        CannotWrite(path, "it is a folder");
    }
    destination.special = !S_ISREG(destination.info.st_mode);
    destination.exists = !destination.special;
    if (destination.exists && !MayReplace(destination.info, destination.target)) {
        throw ExitError(kExitUsage, path +
                                        ": the file exists and this user may not write it; make "
                                        "it writable, remove it, or use --skip-existing");
    }
    if (destination.exists) {
        CheckFolder(path, destination);  // the temporary file is made beside it
    }
    return destination;
}

int OpenForWriting(const std::string& path, const std::string& file, int flags) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        CannotWrite(path, Reason());
    }
    return fd;
}

// The temporary file of `path`: beside the target, so that the rename is
// atomic, or in the temporary folder when the target is a device or a pipe.
std::string NameTemporary(const std::string& path, const Destination& destination) {
    fs::path near = destination.target;
    if (destination.special) {
        std::error_code error;
        near = fs::temp_directory_path(error) / near.filename();
    } else {
        CreateFolders(path, near);
    }
    return TemporaryName(near);
}

void CreateTemporary(const std::string& path, const std::string& temporary) {
    ::close(OpenForWriting(path, temporary, O_CREAT | O_EXCL));
}

void WriteTemporary(const std::string& path, const std::string& file,
                    const std::vector<uint8_t>& bytes) {
    WriteAll(OpenForWriting(path, file, O_TRUNC), bytes.data(), bytes.size(), path);
}

void CopyInto(const std::string& path, const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    const int fd = OpenForWriting(path, to, 0);
    std::vector<char> chunk(1 << 20);
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        const auto n = std::size_t(in.gcount());
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(fd, chunk.data() + done, n - done);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                const std::string why = w < 0 ? Reason() : "nothing was written";
                ::close(fd);
                CannotWrite(path, why);
            }
            done += std::size_t(w);
        }
    }
    // A temporary that cannot be read to its end must not pass for the frame.
    if (!in.is_open() || in.bad()) {
        ::close(fd);
        CannotWrite(path, "the finished file could not be read back to copy it there");
    }
    if (::close(fd) != 0) {
        CannotWrite(path, Reason());
    }
}

void Commit(const std::string& path, const Destination& destination, const std::string& temporary) {
    if (destination.special) {
        CopyInto(path, temporary, destination.target);
        std::remove(temporary.c_str());
        return;
    }
    if (destination.exists) {
        // The replaced file's mode (and, where allowed, its owner) carries over.
        if (::geteuid() == 0) {
            static_cast<void>(
                ::chown(temporary.c_str(), destination.info.st_uid, destination.info.st_gid));
        }
        if (::chmod(temporary.c_str(), destination.info.st_mode & 07777) != 0) {
            CannotWrite(path, Reason());
        }
    }
    if (std::rename(temporary.c_str(), destination.target.c_str()) != 0) {
        CannotWrite(path, Reason());
    }
}

}  // namespace

bool OutputExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool IsDeviceOrPipe(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

#endif

struct PendingOutput::State {
    Destination destination;
};

PendingOutput::PendingOutput(const std::string& path)
    : path_(path), state_(std::make_unique<State>()) {
    state_->destination = Resolve(path);
    temporary_ = NameTemporary(path, state_->destination);
    slot_ = Claim(temporary_);
    try {
        CreateTemporary(path, temporary_);
    } catch (...) {
        Release(slot_);
        throw;
    }
}

PendingOutput::~PendingOutput() {
    if (!committed_) {
        std::remove(temporary_.c_str());
    }
    Release(slot_);
}

void PendingOutput::Commit() {
    tarsivel::cli::Commit(path_, state_->destination, temporary_);
    committed_ = true;
}

void CheckOutput(const std::string& path) {
    Resolve(path);
}

void WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    PendingOutput output(path);
    WriteTemporary(path, output.TemporaryPath(), bytes);
    output.Commit();
}

std::string FileKey(const std::string& path) {
    std::string target = path;
#if !defined(_WIN32)
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            return "";
        }
        return "file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    }
    try {
        target = FollowLinks(path);
    } catch (const ExitError&) {
        // A loop of links: the name itself is all there is to compare.
    }
#endif
    std::error_code error;
    const fs::path absolute = fs::absolute(target, error);
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return "path " + (error ? absolute.lexically_normal() : resolved).string();
}

bool HasFrameNumber(const std::string& pattern) {
    return pattern.find('#') != std::string::npos;
}

void CheckPattern(const std::string& pattern) {
    const std::size_t first = pattern.find('#');
    if (first == std::string::npos) {
        return;
    }
    const std::size_t end = pattern.find_first_not_of('#', first);
    if (end != std::string::npos && pattern.find('#', end) != std::string::npos) {
        throw ExitError(kExitUsage, "the output pattern \"" + pattern +
                                        "\" has more than one run of #; give the frame number "
                                        "one run");
    }
}

// The pattern around its first run of '#'.
static FramePattern AtFirstRun(const std::string& pattern) {
    const std::size_t start = pattern.find('#');
    if (start == std::string::npos) {
        return FramePattern(pattern, 0, "");
    }
    const std::size_t end = std::min(pattern.size(), pattern.find_first_not_of('#', start));
    return FramePattern(pattern.substr(0, start), end - start, pattern.substr(end));
}

std::string ExpandPattern(const std::string& pattern, int frame) {
    return AtFirstRun(pattern).File(frame);
}

FramePattern::FramePattern(std::string before, std::size_t width, std::string after)
    : before_(std::move(before)),
      width_(width),
      after_(std::move(after)),
      text_(before_ + std::string(width_, '#') + after_) {}

FramePattern FramePattern::Parse(const std::string& pattern) {
    CheckPattern(pattern);
    return AtFirstRun(pattern);
}

std::string FramePattern::File(int frame) const {
    if (width_ == 0) {
        return before_;
    }
    std::string number = std::to_string(frame);
    if (number.size() < width_) {
        number.insert(0, width_ - number.size(), '0');
    }
    return before_ + number + after_;
}

void StopOnInterrupt(long pid) {
    child.store(pid);
}

void InstallInterruptCleanup() {
    std::signal(SIGINT, RemoveTemporaryFilesAndExit);
    std::signal(SIGTERM, RemoveTemporaryFilesAndExit);
#if !defined(_WIN32)
    // A closed terminal or a quit key ends the run as an interrupt does, with nothing left behind.
    std::signal(SIGHUP, RemoveTemporaryFilesAndExit);
    std::signal(SIGQUIT, RemoveTemporaryFilesAndExit);
    // A pipe whose reader has gone is a write error to report, not a reason to die silently.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace tarsivel::cli
