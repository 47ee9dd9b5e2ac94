// Where frames go: file name patterns with a run of '#' for the frame number,
// and output files written so that nothing is destroyed on the way: a regular
// file is written under a temporary name and renamed once complete (an
// interrupted run never leaves a truncated frame under its final name), a
// symbolic link's target is written and the link kept, and devices and pipes
// are written through.
#ifndef TARSIVEL_HOST_TARSIVEL_OUTPUT_FILES_H
#define TARSIVEL_HOST_TARSIVEL_OUTPUT_FILES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarsivel::cli {

// A frame file name pattern taken apart: the text before and after the frame
// number, and the number's least width (0: a name without a number).
class FramePattern {
  public:
    FramePattern() = default;
    // The text around the number is taken as it is, any '#' in it included:
    // for names made from a scene's or a folder's name.
    FramePattern(std::string before, std::size_t width, std::string after);
    // A pattern as the user writes it: a run of '#' is the frame number.
    // Throws ExitError as CheckPattern does.
    static FramePattern Parse(const std::string& pattern);

    std::string File(int frame) const;
    bool HasFrameNumber() const { return width_ > 0; }
    // The pattern as written, for messages.
    const std::string& Text() const { return text_; }

  private:
    std::string before_;
    std::size_t width_ = 0;
    std::string after_;
    std::string text_;
};

// The file of `frame`: the run of '#' becomes the zero-padded number, widened
// when the number needs more digits. A pattern without '#' is used as it is.
std::string ExpandPattern(const std::string& pattern, int frame);
bool HasFrameNumber(const std::string& pattern);
// Throws ExitError when the pattern has more than one run of '#' (which one
// is the frame number would be a guess).
void CheckPattern(const std::string& pattern);

// Removes every temporary file still open when SIGINT, SIGTERM, SIGHUP or
// SIGQUIT arrives, then ends the process.
void InstallInterruptCleanup();
// The child process (ffmpeg) to kill first when that happens; -1 for none.
void StopOnInterrupt(long pid);

// An output file being written under a temporary name, put in place by
// Commit() as WriteOutput describes. The checks (links, folders, files the
// user may not write) are made when it is created, before any work; the
// temporary file is removed if it is never committed, or when one of the
// signals above arrives. Throws ExitError naming `path` and the reason.
class PendingOutput {
  public:
    explicit PendingOutput(const std::string& path);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // The file to write; it exists, empty.
    const std::string& TemporaryPath() const { return temporary_; }
    void Commit();

  private:
    struct State;
    std::string path_;
    std::unique_ptr<State> state_;
    std::string temporary_;
    int slot_ = -1;
    bool committed_ = false;
};

// Writes `bytes` as the output file `path`:
// - a new file, or an existing regular file, through a temporary file beside
//   it that is renamed over it once complete; an existing file keeps its
//   mode, and one the running user may not write is refused (by its mode and
//   owner: root may replace a file only when its owner-write bit is set);
// - a symbolic link: its target, as above; the link stays;
// - anything else (a device, a pipe): the bytes are copied into it.
// Throws ExitError naming `path` and the reason; no temporary file remains.
void WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes);

// Makes WriteOutput's checks of `path` before the work of making its
// contents: it is no folder, an existing file is one the user may write, and
// its folder is one the user may make files in, or can be made inside one.
// Folders are made only along the path the user named, never where a
// symbolic link points. Throws as WriteOutput does.
void CheckOutput(const std::string& path);

// What `path` names once links are followed, the same for two paths to one
// file: its device and inode where it exists, else its absolute path with
// the links of its folders resolved. "" for a device, a pipe or a socket,
// which are written through rather than replaced.
std::string FileKey(const std::string& path);

// Whether `path` (after links) is something other than a file or a folder:
// a device, a pipe or a socket.
bool IsDeviceOrPipe(const std::string& path);

// Whether `path` (after links) already exists, for --skip-existing.
bool OutputExists(const std::string& path);

}  // namespace tarsivel::cli

#endif
