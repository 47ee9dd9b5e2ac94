#include "host/scenes/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tarsivel::host {

namespace fs = std::filesystem;

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (fs::path(folder.empty() ? "." : folder) / program).string();
        std::error_code error;
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate, error)) {
            return candidate;
        }
    }
    return "";
}

int AnonymousLog(const std::string& folder) {
    std::error_code error;
    const fs::path in = folder.empty() ? fs::temp_directory_path(error) : fs::path(folder);
    std::string name = ((error ? fs::path("/tmp") : in) / "tarsivel-log-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(name.c_str());
    }
    return fd;
}

std::string LastLine(int log, const std::string& before) {
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
    return text.empty() ? "" : before + text;
}

Child StartChild(const std::vector<std::string>& args, ChildPipe pipe, int log, bool ownGroup) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    // The child's end and this process's.
    const bool input = pipe == ChildPipe::kInput;
    const int theirs = input ? fds[0] : fds[1];
    const int ours = input ? fds[1] : fds[0];
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only what is safe between fork and exec in a process with threads.
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(input ? theirs : null, 0);
        ::dup2(input ? null : theirs, 1);
        ::dup2(log >= 0 ? log : null, 2);
        if (ownGroup) {
            ::setpgid(0, 0);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(theirs);
    if (pid < 0) {
        ::close(ours);
        errno = forkError;
        return {};
    }
    return {pid, ours};
}

int EndChild(Child& child, bool kill) {
    if (kill && child.pid > 0) {
        ::kill(pid_t(child.pid), SIGKILL);
    }
    if (child.pipe >= 0) {
        ::close(child.pipe);
    }
    int status = 0;
    while (child.pid > 0 && ::waitpid(pid_t(child.pid), &status, 0) < 0 && errno == EINTR) {
    }
    child = {};
    return status;
}

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

ProgramRun RunProgram(const std::vector<std::string>& args,
                      const std::function<void(long)>& watch) {
    const int log = AnonymousLog();
    Child child = StartChild(args, ChildPipe::kOutput, log);
    ProgramRun run;
    if (child.pid < 0) {
        run.startError = errno;
    } else {
        if (watch) {
            watch(child.pid);
        }
        // Kept up to a bound, and read to the end so that the program never blocks on a full pipe.
        constexpr std::size_t kKept = std::size_t(1) << 20;
        char chunk[4096];
        for (std::size_t n; (n = ReadFully(child.pipe, chunk, sizeof chunk)) > 0;) {
            run.output.append(chunk, std::min(n, kKept - std::min(kKept, run.output.size())));
        }
        run.status = EndChild(child, false);
        if (watch) {
            watch(-1);
        }
        run.message = LastLine(log);
    }
    if (log >= 0) {
        ::close(log);
    }
    return run;
}

}  // namespace tarsivel::host
