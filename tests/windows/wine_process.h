// Running the Linux and the Windows `tarsivel` as processes: the Windows one
// under wine64 with a prefix of its own inside the build tree, quiet and
// non-interactive.
#ifndef TARSIVEL_TESTS_WINDOWS_WINE_PROCESS_H
#define TARSIVEL_TESTS_WINDOWS_WINE_PROCESS_H

#include <filesystem>
#include <string>

namespace tarsivel::testing {

struct ProcessRun {
    int code = -1;    // the exit status; -1 when the process did not exit normally
    std::string out;  // with Windows line ends turned into '\n'
    std::string err;
};

// Runs `arguments` with the Linux command, or with tarsivel.exe under Wine.
ProcessRun RunLinuxTarsivel(const std::string& arguments, const std::filesystem::path& scratch);
ProcessRun RunWindowsTarsivel(const std::string& arguments, const std::filesystem::path& scratch);

// How the Windows program names a file of this machine (Wine's drive Z:).
std::string WindowsPath(const std::filesystem::path& path);

std::string Quoted(const std::string& text);

}  // namespace tarsivel::testing

#endif
