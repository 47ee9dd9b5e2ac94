#include "host/tarsivel/render_plan.h"

#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/render_files.h"

namespace tarsivel::cli {
namespace {

// out/<scene>_####.png, the scene's name as it is: a '#' in it is part of the
// name, not the frame number. Without image libraries (the Windows build)
// frames are raw pixel files.
FramePattern DefaultPattern(const host::Scene& scene, int depth) {
    return FramePattern("out/" + scene.name + "_", 4, ExtensionOf(DefaultFormat(depth)));
}

}  // namespace

RenderPlan PlanRender(const RenderOptions& options, const host::Scene& scene) {
    const FramePattern frames = options.framePattern     ? *options.framePattern
                                : options.output.empty() ? DefaultPattern(scene, scene.depth)
                                                         : FramePattern::Parse(options.output);
    RenderPlan plan{options.first.value_or(0), options.last.value_or(scene.frames - 1), frames,
                    frames.Text(), OutputFormat::kRaw};
    plan.format = FormatOfPath(plan.pattern, scene.depth);
    if (!options.contactSheet.empty() && IsMovie(FormatOfPath(options.contactSheet, 8))) {
        throw ExitError(kExitUsage, options.contactSheet +
                                        ": a contact sheet is one image: .png, .exr or .raw");
    }
    if (IsMovie(plan.format) && plan.frames.HasFrameNumber()) {
        throw ExitError(kExitUsage, plan.pattern + ": a movie is one file; its name takes no #");
    }
    if (options.crf && plan.format != OutputFormat::kMp4) {
        throw ExitError(kExitUsage, "--crf sets the quality of a .mp4 movie, and " + plan.pattern +
                                        " is not one; name the output .mp4 or leave --crf out");
    }
    if (IsMovie(plan.format) && options.skipExisting) {
        throw ExitError(kExitUsage, "--skip-existing applies to frame files, not to movies");
    }
    if (plan.first < 0 || plan.last >= scene.frames || plan.first > plan.last) {
        throw ExitError(kExitUsage, "frames " + std::to_string(plan.first) + " … " +
                                        std::to_string(plan.last) + " are not within 0 … " +
                                        std::to_string(scene.frames - 1) +
                                        " with the first not after the last");
    }
    if (!plan.frames.HasFrameNumber() && !IsMovie(plan.format) && plan.first != plan.last) {
        throw ExitError(kExitUsage, "the output pattern \"" + plan.pattern +
                                        "\" has no # for the frame number, but " +
                                        std::to_string(plan.last - plan.first + 1) +
                                        " frames are rendered");
    }
    return plan;
}

void CheckRenderFiles(const RenderOptions& options, const host::Scene& scene,
                      const RenderPlan& plan) {
    std::vector<RenderFile> files{{options.scene, "the scene file", false}};
    if (scene.background.kind == host::SceneBackground::Kind::Image) {
        files.push_back({scene.background.imagePath,
                         "the scene's background image, layer.background.image", false});
    }
    const std::size_t firstFrame = files.size();
    if (IsMovie(plan.format)) {
        files.push_back({plan.pattern, "the movie, -o", true});
    } else {
        for (int frame = plan.first; frame <= plan.last; ++frame) {
            files.push_back({plan.frames.File(frame),
                             "frame " + std::to_string(frame) + " of -o " + plan.pattern, true});
        }
    }
    const std::size_t afterFrames = IsMovie(plan.format) ? firstFrame : files.size();
    if (!options.movie.empty()) {
        files.push_back({options.movie, "the movie", true});
    }
    if (!options.contactSheet.empty()) {
        files.push_back({options.contactSheet, "the contact sheet, --contact-sheet", true});
    }
    RefuseClashes(files);
    for (std::size_t i = firstFrame; i < files.size(); ++i) {
        // Frames that --skip-existing leaves alone are never written.
        const bool frame = i < afterFrames;
        if (!(frame && options.skipExisting && OutputExists(files[i].path))) {
            CheckOutput(files[i].path);
        }
    }
}

FramesToRender SplitFrames(const RenderPlan& plan, bool skipExisting) {
    FramesToRender split;
    for (int frame = plan.first; frame <= plan.last; ++frame) {
        if (skipExisting && OutputExists(plan.frames.File(frame))) {
            ++split.skipped;
        } else {
            split.frames.push_back(frame);
        }
    }
    return split;
}

}  // namespace tarsivel::cli
