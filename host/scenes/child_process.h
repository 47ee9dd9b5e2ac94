// The helper programs movies are read and written through (ffmpeg, ffprobe):
// found on PATH, started with one pipe to this process, their messages kept
// in a file that has no name, so that the last of them can be told and
// nothing is left behind. POSIX only: the Windows build reads and writes no
// movies.
#ifndef TARSIVEL_HOST_SCENES_CHILD_PROCESS_H
#define TARSIVEL_HOST_SCENES_CHILD_PROCESS_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarsivel::host {

// Where `program` is on PATH (an executable file, not a folder), or "".
std::string FindOnPath(const std::string& program);

// A file without a name in `folder` (by default the temporary folder) for a
// child's messages, closed in other children; -1 when none can be made (the
// messages are then dropped).
int AnonymousLog(const std::string& folder = "");

// The last line written to `log` after `before`, or "" when there is none.
std::string LastLine(int log, const std::string& before = "");

// Which standard stream of the child is a pipe to this process.
enum class ChildPipe { kInput, kOutput };

// A started program and this process's end of its pipe; both -1 for none.
struct Child {
    long pid = -1;
    int pipe = -1;
};

// Starts the program at `args[0]` (a path, as FindOnPath gives it) with
// `args`. Its `pipe` stream is a pipe to this process, the other is
// /dev/null, and its messages go to `log` (nowhere when -1). With
// `ownGroup`, in a process group of its own, so that Ctrl-C at the terminal
// reaches this process only, which then ends it. pid -1, with errno set, when
// it cannot start.
Child StartChild(const std::vector<std::string>& args, ChildPipe pipe, int log,
                 bool ownGroup = false);

// Closes this process's end of the pipe and waits for the child, first
// killing it when `kill`; its wait status (0 when none ran). `child` is left
// empty.
int EndChild(Child& child, bool kill);

// Reads up to `size` bytes; fewer only at the end of the pipe.
std::size_t ReadFully(int fd, void* data, std::size_t size);

struct ProgramRun {
    int startError = 0;   // errno when it could not start
    int status = 0;       // as waitpid gives it
    std::string output;   // its standard output, the first MiB
    std::string message;  // the last line of its messages
};

// Runs `args` to its end without input, its messages in an AnonymousLog. `watch` is told the
// child's id while it runs and -1 once it has ended, so that an interrupt can stop it.
ProgramRun RunProgram(const std::vector<std::string>& args,
                      const std::function<void(long)>& watch = nullptr);

}  // namespace tarsivel::host

#endif
