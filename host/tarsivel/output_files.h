// Where frames go: file name patterns with a run of '#' for the frame number,
// and files written under a temporary name and renamed once complete, so an
// interrupted run never leaves a truncated frame under its final name.
#ifndef TARSIVEL_HOST_TARSIVEL_OUTPUT_FILES_H
#define TARSIVEL_HOST_TARSIVEL_OUTPUT_FILES_H

#include <functional>
#include <string>

namespace tarsivel::cli {

// The file of `frame`: the run of '#' becomes the zero-padded number, widened
// when the number needs more digits. A pattern without '#' is used as it is.
std::string ExpandPattern(const std::string& pattern, int frame);
bool HasFrameNumber(const std::string& pattern);

// Removes every temporary file still open when SIGINT or SIGTERM arrives,
// then ends the process.
void InstallInterruptCleanup();

// Calls write(temporaryPath), then renames the file to `path`; the temporary
// file is removed on every failure (the exception propagates).
void WriteAtomically(const std::string& path, const std::function<void(const std::string&)>& write);

}  // namespace tarsivel::cli

#endif
