#include "host/tarsivel/output_files.h"

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
struct Slot {
    std::atomic<bool> used{false};
    char path[kPathLength];
};
std::array<Slot, kSlots> slots;

int Claim(const std::string& path) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (path.size() < kPathLength &&
            slots[i].used.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            return int(i);
        }
    }
    return -1;
}

void Release(int slot) {
    if (slot >= 0) {
        slots[std::size_t(slot)].used.store(false, std::memory_order_release);
    }
}

extern "C" void RemoveTemporaryFilesAndExit(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) {
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
void Replace(const std::string& path, const std::string& target,
             const std::vector<uint8_t>& bytes) {
    CreateFolders(path, target);
    const std::string temporary = TemporaryName(target);
    const int slot = Claim(temporary);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    std::error_code error;
    if (out) {
        fs::rename(temporary, target, error);
    }
    if (!out || error) {
        std::remove(temporary.c_str());
        Release(slot);
        CannotWrite(path, out ? error.message() : std::string("the file could not be written"));
    }
    Release(slot);
}

}  // namespace

void WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    Replace(path, path, bytes);
}

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

void WriteAll(int fd, const std::vector<uint8_t>& bytes, const std::string& path) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
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

void WriteThrough(const std::string& path, const std::string& target,
                  const std::vector<uint8_t>& bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        CannotWrite(path, Reason());
    }
    WriteAll(fd, bytes, path);
}

void Replace(const std::string& path, const std::string& target, const struct stat* existing,
             const std::vector<uint8_t>& bytes) {
    CreateFolders(path, target);
    const std::string temporary = TemporaryName(target);
    const int slot = Claim(temporary);
    try {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            CannotWrite(path, Reason());
        }
        if (existing != nullptr) {
            // The replaced file's mode (and, where allowed, its owner) carries over.
            if (::geteuid() == 0) {
                static_cast<void>(::fchown(fd, existing->st_uid, existing->st_gid));
            }
            if (::fchmod(fd, existing->st_mode & 07777) != 0) {
                const std::string why = Reason();
                ::close(fd);
                CannotWrite(path, why);
            }
        }
        WriteAll(fd, bytes, path);
        if (std::rename(temporary.c_str(), target.c_str()) != 0) {
            CannotWrite(path, Reason());
        }
    } catch (...) {
        std::remove(temporary.c_str());
        Release(slot);
        throw;
    }
    Release(slot);
}

}  // namespace

void WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string target = FollowLinks(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        Replace(path, target, nullptr, bytes);
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        CannotWrite(path, "it is a folder");
    }
    if (!S_ISREG(info.st_mode)) {
        WriteThrough(path, target, bytes);
        return;
    }
    if (!MayReplace(info, target)) {
        throw ExitError(kExitUsage, path +
                                        ": the file exists and this user may not write it; make "
                                        "it writable, remove it, or use --skip-existing");
    }
    Replace(path, target, &info, bytes);
}

bool OutputExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool IsDeviceOrPipe(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

#endif

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

std::string ExpandPattern(const std::string& pattern, int frame) {
    const std::size_t start = pattern.find('#');
    if (start == std::string::npos) {
        return pattern;
    }
    std::size_t end = start;
    while (end < pattern.size() && pattern[end] == '#') {
        ++end;
    }
    std::string number = std::to_string(frame);
    const std::size_t width = end - start;
    if (number.size() < width) {
        number.insert(0, width - number.size(), '0');
    }
    return pattern.substr(0, start) + number + pattern.substr(end);
}

void InstallInterruptCleanup() {
    std::signal(SIGINT, RemoveTemporaryFilesAndExit);
    std::signal(SIGTERM, RemoveTemporaryFilesAndExit);
#if !defined(_WIN32)
    // A pipe whose reader has gone is a write error to report, not a reason to die silently.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace tarsivel::cli
