#include "windows/wine_process.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tarsivel::testing {
namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    std::erase(s, '\r');
    return s;
}

ProcessRun Run(const std::string& command, const std::filesystem::path& scratch) {
    std::filesystem::create_directories(scratch);
    const std::filesystem::path out = scratch / "stdout.txt";
    const std::filesystem::path err = scratch / "stderr.txt";
    const std::string line =
        command + " >" + Quoted(out.string()) + " 2>" + Quoted(err.string()) + " </dev/null";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

}  // namespace

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string WindowsPath(const std::filesystem::path& path) {
    return "Z:" + std::filesystem::absolute(path).string();
}

ProcessRun RunLinuxTarsivel(const std::string& arguments, const std::filesystem::path& scratch) {
    return Run(Quoted(TARSIVEL_CLI_PATH) + " " + arguments, scratch);
}

ProcessRun RunWindowsTarsivel(const std::string& arguments, const std::filesystem::path& scratch) {
    // No debug channels, no Mono or Gecko installer prompts, this build's prefix.
    const std::string env = "env WINEPREFIX=" + Quoted(TARSIVEL_WINEPREFIX) +
                            " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ";
    return Run(
        env + Quoted(TARSIVEL_WINE) + " " + Quoted(TARSIVEL_WINDOWS_CLI_PATH) + " " + arguments,
        scratch);
}

}  // namespace tarsivel::testing
