// tarsivel: renders rope scenes through the plug-in, as a compositing host does.
#include <CLI/CLI.hpp>
#include <iostream>
#include <new>

#include "host/scenes/scene.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/movie_writer.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/plugin_session.h"

namespace {

using namespace tarsivel::cli;

// An empty path (an unset variable in a script) would otherwise mean the
// default, or with a folder added, the root folder: refused wherever a path
// is taken.
const CLI::Validator kPath(
    [](std::string& value) {
        return value.empty() ? std::string("an empty path names no file; give a path") : "";
    },
    "");

void AddPluginOption(CLI::App& app, std::string& plugin) {
    app.add_option("--plugin", plugin,
                   "The plug-in library (default: the one built beside this program)")
        ->check(kPath);
}

// What to try when memory runs out, for the command that ran out: only the
// options it has.
std::string MemoryAdvice(bool render, bool demo) {
    if (render) {
        return "; try -j 1, --downsample 2 or a lower --depth";
    }
    if (demo) {
        return "; render the demo scene with `tarsivel render`, -j 1 and --downsample 2";
    }
    return "; free some memory and try again";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarsivel: renders rope scenes through the Tarsivel plug-in, driving it as a "
        "compositing host does"};
    app.require_subcommand(1);

    RenderOptions render;
    CLI::App* renderCmd = app.add_subcommand("render", "Render frames of a scene to image files");
    renderCmd->add_option("scene", render.scene, "Scene file (JSON)")->required()->check(kPath);
    renderCmd
        ->add_option(
            "-o,--output", render.output,
            "File name pattern; a run of # is the frame number. The extension decides the "
            "format: .png, .exr or .raw frames, or one .mov (ProRes 4444 with alpha) or .mp4 "
            "(H.264) movie through ffmpeg (the Windows build: .raw). Existing files are replaced "
            "unless --skip-existing is given")
        ->check(kPath);
    renderCmd->add_option("-s,--start", render.first, "First frame (default 0)");
    renderCmd->add_option("-e,--end", render.last, "Last frame (default: the scene's last)");
    renderCmd->add_option("--renderer", render.renderer, "cpu, opencl or cuda")
        ->check(CLI::IsMember({"cpu", "opencl", "cuda"}));
    renderCmd->add_option("--depth", render.depth, "Bits per channel: 8, 16 or 32")
        ->check(CLI::IsMember({8, 16, 32}));
    renderCmd->add_option("--downsample", render.downsample, "Render at 1/N resolution")
        ->check(CLI::Range(1, 16384));
    renderCmd->add_option("-j,--jobs", render.jobs, "Frames rendered at once")
        ->check(CLI::Range(1, 256));
    renderCmd
        ->add_option("--contact-sheet", render.contactSheet,
                     "Also write an image with a grid of evenly spaced frames")
        ->check(kPath);
    renderCmd
        ->add_option("--crf", render.crf,
                     "Quality of a .mp4 movie: H.264's constant rate factor, from 0 (lossless, "
                     "largest) to 51 (smallest); 18 (default) looks like the frames, each 6 more "
                     "about halves the size")
        ->check(CLI::Range(0, kMaxCrf));
    renderCmd->add_flag("--skip-existing", render.skipExisting,
                        "Do not render frames whose file already exists (to resume an "
                        "interrupted or shared render); their contact sheet cells stay empty");
    AddPluginOption(*renderCmd, render.plugin);

    DumpOptions dump;
    CLI::App* dumpCmd = app.add_subcommand("dump", "Print a frame's pre-render record as JSON");
    dumpCmd->add_option("scene", dump.scene, "Scene file (JSON)")->required()->check(kPath);
    dumpCmd->add_option("--frame", dump.frame, "Frame number")->required();
    dumpCmd->add_option("--downsample", dump.downsample, "Render at 1/N resolution")
        ->check(CLI::Range(1, 16384));
    dumpCmd->add_flag("--pretty", dump.pretty,
                      "Indent: a key a line, and a line per piece or node of each list");
    AddPluginOption(*dumpCmd, dump.plugin);

    std::string infoPlugin;
    CLI::App* infoCmd = app.add_subcommand(
        "info", "Print what the host learns of the plug-in: registration, PiPL, flags, parameters");
    AddPluginOption(*infoCmd, infoPlugin);
    bool infoGpu = false;
    infoCmd->add_flag("--gpu", infoGpu,
                      "Also offer the plug-in this machine's OpenCL and CUDA devices and show "
                      "what it answers");

    std::string demoPlugin;
    std::string demoOut = "out/demo";
    CLI::App* demoCmd = app.add_subcommand(
        "demo", "Render the built-in demo scene with a contact sheet and a movie");
    demoCmd->add_option("-o,--output-folder", demoOut, "Where the frames go (default out/demo)")
        ->check(kPath);
    AddPluginOption(*demoCmd, demoPlugin);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }

    InstallInterruptCleanup();
    try {
        if (*renderCmd) {
            return RunRender(render);
        }
        if (*dumpCmd) {
            return RunDump(dump);
        }
        if (*infoCmd) {
            return RunInfo(infoPlugin, infoGpu);
        }
        return RunDemo(demoPlugin, demoOut);
    } catch (const ExitError& e) {
        std::cerr << "tarsivel: " << e.what() << "\n";
        return e.Code();
    } catch (const tarsivel::host::SceneError& e) {
        std::cerr << "tarsivel: " << e.what() << "\n";
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        std::cerr << "tarsivel: out of memory" << MemoryAdvice(bool(*renderCmd), bool(*demoCmd))
                  << "\n";
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "tarsivel: " << e.what() << "\n";
        return kExitUsage;
    }
}
