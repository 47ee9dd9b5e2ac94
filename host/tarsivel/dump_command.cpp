#include <iostream>

#include "host/scenes/frame_renderer.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/plugin_session.h"
#include "host/tarsivel/record_json.h"

namespace tarsivel::cli {

int RunDump(const DumpOptions& options) {
    host::Scene scene = host::ReadScene(options.scene);
    if (options.downsample) {
        scene.downsample = *options.downsample;
    }
    if (options.frame < 0 || options.frame >= scene.frames) {
        throw ExitError(kExitUsage, "--frame " + std::to_string(options.frame) +
                                        " is not within 0 … " + std::to_string(scene.frames - 1));
    }
    std::unique_ptr<PluginSession> session = StartScene(scene, options.plugin);
    host::FrameRenderer renderer(session->Instance(), scene, 8, scene.downsample);
    std::unique_ptr<host::PreRenderSession> preRender;
    const host::FrameOutcome outcome = renderer.PreRender(options.frame, preRender);
    if (!outcome.contractProblems.empty()) {
        throw ExitError(kExitContractBroken,
                        "the plug-in broke the host contract in smart pre-render:\n" +
                            outcome.contractProblems);
    }
    if (outcome.err != PF_Err_NONE) {
        throw ExitError(kExitPluginError,
                        "smart pre-render returned error " + std::to_string(outcome.err));
    }
    // The record stays the plug-in's: read as lists, deleted by its deleter.
    const void* record = preRender->Record();
    if (record == nullptr) {
        throw ExitError(kExitContractBroken, "smart pre-render handed over no record");
    }
    int nonFinite = 0;
    std::cout << RecordJson(ReadRecord(record), options.frame, scene.FrameTime(options.frame),
                            scene.timeScale, nonFinite, options.pretty);
    if (nonFinite > 0) {
        std::cerr << "tarsivel: warning: " << NonFiniteWarning(nonFinite) << "; written as null\n";
    }
    if (!preRender->DeleteRecord()) {
        throw ExitError(kExitContractBroken, "the record has no deleter");
    }
    return kExitSuccess;
}

}  // namespace tarsivel::cli
