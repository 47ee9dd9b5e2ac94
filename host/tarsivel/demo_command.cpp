#include <algorithm>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host/tarsivel/commands.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/movie_writer.h"
#include "host/tarsivel/plugin_session.h"

namespace tarsivel::cli {
namespace {

// The demo scene, which the build copies beside this program.
std::string DemoScenePath() {
    const std::filesystem::path path = ProgramFolder() / "examples" / "demo.json";
    if (!std::filesystem::is_regular_file(path)) {
        throw ExitError(kExitUsage, "the demo scene is missing: it was looked for at " +
                                        path.string() + ", beside this program");
    }
    return path.string();
}

}  // namespace

int RunDemo(const std::string& plugin, const std::string& outputFolder) {
    RenderOptions options;
    options.scene = DemoScenePath();
    options.plugin = plugin;
    // The folder is the user's name, taken as it is: a '#' in it is no frame number.
    options.framePattern = FramePattern(outputFolder + "/demo_", 4, ".png");
    options.contactSheet = outputFolder + "/contact_sheet.png";
    // A movie only where one can be made: the frames and the sheet need nothing more.
    const std::string whyNoMovie = WhyNoMovies();
    if (whyNoMovie.empty()) {
        options.movie = outputFolder + "/demo.mp4";
    }
    options.jobs = int(std::max(1u, std::min(4u, std::thread::hardware_concurrency())));
    const int code = RunRender(options);
    if (whyNoMovie.empty()) {
        std::cerr << "tarsivel: the demo's frames, contact sheet and movie are in " << outputFolder
                  << "/\n";
    } else {
        std::cerr << "tarsivel: the demo's frames and contact sheet are in " << outputFolder
                  << "/; no movie: " << whyNoMovie << "\n";
    }
    return code;
}

}  // namespace tarsivel::cli
