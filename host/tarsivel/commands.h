// The verbs of the `tarsivel` command. Each returns the process's exit code or
// throws ExitError.
#ifndef TARSIVEL_HOST_TARSIVEL_COMMANDS_H
#define TARSIVEL_HOST_TARSIVEL_COMMANDS_H

#include <optional>
#include <string>

#include "host/tarsivel/output_files.h"

namespace tarsivel::cli {

struct RenderOptions {
    std::string scene;
    std::string plugin;
    // Pattern; empty: out/<scene name>_####.png (.exr at 32 bits; .raw on Windows).
    std::string output;
    // Set instead of `output` where the program makes the name (the demo's,
    // in the user's folder), so that no '#' in it is taken for the number.
    std::optional<FramePattern> framePattern;
    std::optional<int> first;
    std::optional<int> last;
    std::optional<std::string> renderer;
    std::optional<int> depth;
    std::optional<int> downsample;
    int jobs = 1;
    std::string contactSheet;
    bool skipExisting = false;  // frames whose file exists are not rendered
    std::string movie;          // also a movie of the frames (.mov or .mp4), for the demo
    std::optional<int> crf;     // .mp4: H.264's constant rate factor (default 18)
};

struct DumpOptions {
    std::string scene;
    std::string plugin;
    int frame = 0;
    std::optional<int> downsample;
    bool pretty = false;  // a key a line, a line per piece or node
};

int RunRender(const RenderOptions& options);
int RunDump(const DumpOptions& options);
// `gpu`: also offer the plug-in each GPU device and say what it answers.
int RunInfo(const std::string& plugin, bool gpu);
int RunDemo(const std::string& plugin, const std::string& outputFolder);
// The command's version and the plug-in's name, version and API version.
int RunVersion(const std::string& plugin);

}  // namespace tarsivel::cli

#endif
