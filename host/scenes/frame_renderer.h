// Renders frames of a scene through a loaded effect exactly as a compositing
// host does: smart pre-render, then smart render on the CPU or a GPU device,
// with the balance check after each command. Safe to call from several
// threads at once for different frames.
#ifndef TARSIVEL_HOST_SCENES_FRAME_RENDERER_H
#define TARSIVEL_HOST_SCENES_FRAME_RENDERER_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_device.h"
#include "host/protocol/image_world.h"
#include "host/protocol/pre_render_session.h"
#include "host/scenes/plate.h"
#include "host/scenes/scene.h"

namespace tarsivel::host {

struct FrameOutcome {
    PF_Err err = PF_Err_NONE;
    std::string message;           // the plug-in's return_msg, when it wrote one
    std::string contractProblems;  // non-empty: the plug-in broke the host contract
    std::string command;           // the command that failed
    double preRenderSeconds = 0;
    double renderSeconds = 0;
    std::unique_ptr<ImageWorld> image;  // at the requested depth
};

// The command settings of frame f of a scene at downsample N.
CommandSettings FrameSettings(const Scene& scene, int32_t frame, int32_t downsample);

// The scene's still layer at the output size and depth: transparent, a
// colour, or the image reduced by averaging N × N blocks. Throws SceneError.
// A plate's frames (sequence, movie) are reduced the same way, frame by frame,
// by the renderer.
std::unique_ptr<ImageWorld> MakeBackground(const Scene& scene, int32_t downsample,
                                           PixelDepth depth);

class FrameRenderer {
  public:
    // `gpu` null renders on the CPU; otherwise `gpuData` is what device set-up
    // returned for device `deviceIndex`.
    FrameRenderer(EffectInstance& instance, const Scene& scene, int depth, int32_t downsample,
                  GpuDevice* gpu = nullptr, A_u_long deviceIndex = 0,
                  const void* gpuData = nullptr);

    FrameOutcome Render(int32_t frame);

    // Pre-render alone, leaving the record in the session for reading.
    FrameOutcome PreRender(int32_t frame, std::unique_ptr<PreRenderSession>& session);

    // Called by Render with every record pre-render hands over, before it is
    // rendered; may be called from several threads at once.
    void InspectRecords(std::function<void(int32_t frame, const void* record)> inspect) {
        inspectRecord_ = std::move(inspect);
    }

    // Where warnings found while rendering go (a movie plate's rate); by default
    // to the standard error. Set before the first frame.
    void OnWarning(std::function<void(const std::string&)> warn) { warn_ = std::move(warn); }

  private:
    // This frame's background when the scene's is a plate, else null.
    std::unique_ptr<ImageWorld> PlateBackground(int32_t frame);
    bool Settle(const CommandResult& result, const char* command, FrameOutcome& outcome) const;
    // The layer every frame is drawn over, made by the first render: pre-render alone (`dump`)
    // never needs it, and a 4K background is not cheap to paint.
    const ImageWorld& Background();
    void SmartRenderInHostMemory(const CommandSettings& settings, const ImageWorld& background,
                                 void* record, FrameOutcome& outcome);
    void SmartRenderOnDevice(const CommandSettings& settings, const ImageWorld& background,
                             void* record, FrameOutcome& outcome);

    EffectInstance& instance_;
    const Scene& scene_;
    PixelDepth depth_;
    int32_t downsample_;
    GpuDevice* gpu_;
    A_u_long deviceIndex_;
    const void* gpuData_;
    std::once_flag backgroundMade_;
    std::unique_ptr<ImageWorld> background_;  // read-only once made, shared by all frames
    std::function<void(int32_t, const void*)> inspectRecord_;
    std::function<void(const std::string&)> warn_;
    std::once_flag movieOpened_;
    std::unique_ptr<MoviePlate> movie_;  // thread-safe once made
};

}  // namespace tarsivel::host

#endif
