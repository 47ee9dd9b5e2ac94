// What a render is to do, worked out and checked before the plug-in is
// loaded: the frames, where they go and in what format, and every file it
// reads and writes.
#ifndef TARSIVEL_HOST_TARSIVEL_RENDER_PLAN_H
#define TARSIVEL_HOST_TARSIVEL_RENDER_PLAN_H

#include <string>
#include <vector>

#include "host/scenes/scene.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/output_format.h"

namespace tarsivel::cli {

struct RenderPlan {
    int first;
    int last;
    FramePattern frames;
    std::string pattern;  // as written, for messages and the movie's name
    OutputFormat format;
};

// The frames and the output of `options` for `scene`; throws ExitError
// (usage) for a range outside the scene, a movie named with a frame number,
// several frames to one file without one, or options the output cannot take.
RenderPlan PlanRender(const RenderOptions& options, const host::Scene& scene);

// Every file the render reads and writes, checked before any work (which may
// take hours): no output may be an input or another output, and each output
// must be one this user may write, the contact sheet written last included.
void CheckRenderFiles(const RenderOptions& options, const host::Scene& scene,
                      const RenderPlan& plan);

// The plan's frames to render, in order. With --skip-existing the frames
// whose files are there are left out before the first frame, so that the
// progress counts the frames to render.
struct FramesToRender {
    std::vector<int> frames;
    int skipped = 0;
};
FramesToRender SplitFrames(const RenderPlan& plan, bool skipExisting);

}  // namespace tarsivel::cli

#endif
