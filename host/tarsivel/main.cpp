// tarsivel: renders rope scenes through the plug-in, as a compositing host does.
#include <CLI/CLI.hpp>
#include <algorithm>
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

// The command word of `argv` that names no command, or "" (the top level
// takes no option with a value, so the first word that is not an option is
// the command).
std::string UnknownCommand(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") {
            return "";
        }
        if (!word.empty() && word[0] == '-') {
            continue;
        }
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() == word) {
                return "";
            }
        }
        return word.empty() ? "\"\"" : word;
    }
    return "";
}

// "  render  Render frames ...", a line a command.
std::string CommandList(const CLI::App& app) {
    std::string list;
    for (const CLI::App* command : app.get_subcommands({})) {
        std::string name = command->get_name();
        name.resize(std::max<std::size_t>(name.size() + 2, 8), ' ');
        list += "  " + name + command->get_description() + "\n";
    }
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarsivel: renders rope scenes through the Tarsivel plug-in, driving it as a "
        "compositing host does"};
    // At most one command; none only with --version (checked after parsing).
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version,
                 "Print this command's version and the plug-in's (name, version, API version)");

    RenderOptions render;
    CLI::App* renderCmd = app.add_subcommand("render", "Render frames of a scene to image files");
    renderCmd->add_option("scene", render.scene, "Scene file (JSON)")->required()->check(kPath);
    renderCmd
        ->add_option(
            "-o,--output", render.output,
            "File name pattern; a run of # is the frame number. The extension decides the "
            "format: .png, .exr or .raw frames, or one .mov (ProRes 4444 with alpha) or .mp4 "
            "(H.264) movie through ffmpeg (the Windows build: .raw). Default: "
            "out/<scene>_####.png, <scene> being the scene file's name without its extension "
            "(.exr at --depth 32; .raw on Windows). Existing files are replaced unless "
            "--skip-existing is given")
        ->check(kPath);
    renderCmd->add_option("-s,--start", render.first, "First frame (default 0)");
    renderCmd->add_option("-e,--end", render.last, "Last frame (default: the scene's last)");
    renderCmd
        ->add_option("--renderer", render.renderer,
                     "cpu, opencl or cuda (default: the scene's render.renderer, else cpu)")
        ->check(CLI::IsMember({"cpu", "opencl", "cuda"}));
    renderCmd
        ->add_option("--depth", render.depth,
                     "Bits per channel: 8, 16 or 32 (default: the scene's render.depth, else 8)")
        ->check(CLI::IsMember({8, 16, 32}));
    renderCmd
        ->add_option("--downsample", render.downsample,
                     "Render at 1/N resolution (default: the scene's render.downsample, else 1)")
        ->check(CLI::Range(1, 16384));
    renderCmd->add_option("-j,--jobs", render.jobs, "Frames rendered at once (default 1)")
        ->check(CLI::Range(1, 256));
    renderCmd
        ->add_option("--contact-sheet", render.contactSheet,
                     "Also write an image with a grid of up to 12 evenly spaced frames, each "
                     "labelled with its number (default: none)")
        ->check(kPath);
    renderCmd
        ->add_option("--crf", render.crf,
                     "Quality of a .mp4 movie: H.264's constant rate factor, from 0 (lossless, "
                     "largest) to 51 (smallest); 18 (default) looks like the frames, each 6 more "
                     "about halves the size")
        ->check(CLI::Range(0, kMaxCrf));
    renderCmd->add_flag("--skip-existing", render.skipExisting,
                        "Do not render frames whose file already exists (to resume an "
                        "interrupted or shared render); their contact sheet cells stay empty "
                        "(default: every frame is rendered)");
    AddPluginOption(*renderCmd, render.plugin);

    DumpOptions dump;
    CLI::App* dumpCmd = app.add_subcommand("dump", "Print a frame's pre-render record as JSON");
    dumpCmd->add_option("scene", dump.scene, "Scene file (JSON)")->required()->check(kPath);
    dumpCmd->add_option("--frame", dump.frame, "Frame number")->required();
    dumpCmd
        ->add_option("--downsample", dump.downsample,
                     "Render at 1/N resolution (default: the scene's render.downsample, else 1)")
        ->check(CLI::Range(1, 16384));
    dumpCmd->add_flag("--pretty", dump.pretty,
                      "Indent: a key a line, and a line per piece or node of each list "
                      "(default: the record on one line)");
    AddPluginOption(*dumpCmd, dump.plugin);

    std::string infoPlugin;
    CLI::App* infoCmd = app.add_subcommand(
        "info", "Print what the host learns of the plug-in: registration, PiPL, flags, parameters");
    AddPluginOption(*infoCmd, infoPlugin);
    bool infoGpu = false;
    infoCmd->add_flag("--gpu", infoGpu,
                      "Also offer the plug-in this machine's OpenCL and CUDA devices and show "
                      "what it answers (default: the CPU's part alone)");

    std::string demoPlugin;
    std::string demoOut = "out/demo";
    CLI::App* demoCmd = app.add_subcommand(
        "demo",
        "Render the built-in demo scene: its frames demo_####.png, contact_sheet.png and, where "
        "ffmpeg is found, the movie demo.mp4 in the output folder, 4 frames at once (fewer on a "
        "machine with fewer processors)");
    demoCmd
        ->add_option("-o,--output-folder", demoOut,
                     "Where the frames, the contact sheet and the movie go (default out/demo)")
        ->check(kPath);
    AddPluginOption(*demoCmd, demoPlugin);

    const std::string unknown = UnknownCommand(app, argc, argv);
    if (!unknown.empty()) {
        std::cerr << "tarsivel: unknown command " << unknown << "; the commands are:\n"
                  << CommandList(app) << "(tarsivel COMMAND --help tells more of each)\n";
        return kExitUsage;
    }
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

    if (!version && app.get_subcommands().empty()) {
        std::cerr << "tarsivel: give a command; the commands are:\n"
                  << CommandList(app) << "(tarsivel --help tells more)\n";
        return kExitUsage;
    }

    InstallInterruptCleanup();
    try {
        if (version) {
            return RunVersion("");
        }
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
