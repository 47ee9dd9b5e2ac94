#include "host/scenes/frame_renderer.h"

#include <chrono>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "host/protocol/gpu_suites.h"
#include "host/protocol/smart_render_session.h"
#include "host/scenes/plate.h"

namespace tarsivel::host {
namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each output pixel averages, in float, the block of source pixels it
// covers; edge blocks average what they cover.
void Reduce(const ImageWorld& source, int32_t n, ImageWorld& target) {
    for (int32_t y = 0; y < target.Height(); ++y) {
        for (int32_t x = 0; x < target.Width(); ++x) {
            float sum[4] = {0, 0, 0, 0};
            int count = 0;
            for (int32_t sy = y * n; sy < std::min(source.Height(), (y + 1) * n); ++sy) {
                for (int32_t sx = x * n; sx < std::min(source.Width(), (x + 1) * n); ++sx) {
                    const PF_PixelFloat p = source.ReadFloat(sx, sy);
                    sum[0] += p.alpha;
                    sum[1] += p.red;
                    sum[2] += p.green;
                    sum[3] += p.blue;
                    ++count;
                }
            }
            const float covered = float(count);
            target.WriteFloat(
                x, y, {sum[0] / covered, sum[1] / covered, sum[2] / covered, sum[3] / covered});
        }
    }
}

}  // namespace

CommandSettings FrameSettings(const Scene& scene, int32_t frame, int32_t downsample) {
    CommandSettings settings;
    settings.currentTime = scene.FrameTime(frame);
    settings.timeStep = scene.timeStep;
    settings.localTimeStep = scene.localTimeStep;
    settings.timeScale = scene.timeScale;
    settings.totalTime = A_long(int64_t(scene.frames) * scene.timeStep);
    settings.downsampleX = {1, A_u_long(downsample)};
    settings.downsampleY = {1, A_u_long(downsample)};
    return settings;
}

namespace {

std::unique_ptr<ImageWorld> OutputWorld(const Scene& scene, int32_t downsample, PixelDepth depth) {
    const int32_t w = (scene.width + downsample - 1) / downsample;
    const int32_t h = (scene.height + downsample - 1) / downsample;
    return std::make_unique<ImageWorld>(w, h, depth);
}

// A layer-size image at the output size and depth, as every background file is given.
std::unique_ptr<ImageWorld> Reduced(const Scene& scene, const ImageWorld& image, int32_t downsample,
                                    PixelDepth depth) {
    auto world = OutputWorld(scene, downsample, depth);
    Reduce(image, downsample, *world);
    return world;
}

}  // namespace

std::unique_ptr<ImageWorld> MakeBackground(const Scene& scene, int32_t downsample,
                                           PixelDepth depth) {
    const SceneBackground& bg = scene.background;
    if (bg.kind == SceneBackground::Kind::Image) {
        return Reduced(scene, *ReadLayerImage(scene, bg.imagePath), downsample, depth);
    }
    if (bg.kind == SceneBackground::Kind::Sequence || bg.kind == SceneBackground::Kind::Movie) {
        throw std::logic_error("a plate's frames are made by the frame renderer");
    }
    auto world = OutputWorld(scene, downsample, depth);
    if (bg.kind == SceneBackground::Kind::Colour) {
        world->Fill(
            {bg.rgba[3] / 255.0f, bg.rgba[0] / 255.0f, bg.rgba[1] / 255.0f, bg.rgba[2] / 255.0f});
    }
    return world;
}

FrameRenderer::FrameRenderer(EffectInstance& instance, const Scene& scene, int depth,
                             int32_t downsample, GpuDevice* gpu, A_u_long deviceIndex,
                             const void* gpuData)
    : instance_(instance),
      scene_(scene),
      depth_(PixelDepth(depth)),
      downsample_(downsample),
      gpu_(gpu),
      deviceIndex_(deviceIndex),
      gpuData_(gpuData),
      warn_([](const std::string& warning) { std::cerr << "warning: " << warning << "\n"; }) {}

const ImageWorld& FrameRenderer::Background() {
    // A failure (a background image that cannot be read) leaves the flag unset and reaches the
    // caller; call_once also makes concurrent first frames wait for the one painter.
    std::call_once(backgroundMade_, [this] {
        // GPU worlds are always 32-bit float; the file is converted afterwards.
        background_ = MakeBackground(scene_, downsample_, gpu_ ? PixelDepth::k32 : depth_);
    });
    return *background_;
}

std::unique_ptr<ImageWorld> FrameRenderer::PlateBackground(int32_t frame) {
    const SceneBackground& bg = scene_.background;
    std::unique_ptr<ImageWorld> image;
    if (bg.kind == SceneBackground::Kind::Sequence) {
        image = ReadLayerImage(scene_, SequenceFile(scene_, frame));
    } else if (bg.kind == SceneBackground::Kind::Movie) {
        // Probed by the first frame, as the still background is painted by it.
        std::call_once(movieOpened_,
                       [this] { movie_ = std::make_unique<MoviePlate>(scene_, warn_); });
        image = movie_->Frame(frame);
    } else {
        return nullptr;
    }
    return Reduced(scene_, *image, downsample_, gpu_ ? PixelDepth::k32 : depth_);
}

bool FrameRenderer::Settle(const CommandResult& result, const char* command,
                           FrameOutcome& outcome) const {
    if (!result.Balanced()) {
        outcome.contractProblems = result.BalanceReport();
        outcome.command = command;
        return false;
    }
    if (result.err != PF_Err_NONE) {
        outcome.err = result.err;
        outcome.message = result.out.return_msg;
        outcome.command = command;
        return false;
    }
    return true;
}

FrameOutcome FrameRenderer::PreRender(int32_t frame, std::unique_ptr<PreRenderSession>& session) {
    FrameOutcome outcome;
    const CommandSettings settings = FrameSettings(scene_, frame, downsample_);
    session = std::make_unique<PreRenderSession>(instance_, settings);
    const auto start = std::chrono::steady_clock::now();
    const CommandResult result = session->Run(instance_, settings);
    outcome.preRenderSeconds = SecondsSince(start);
    Settle(result, "smart pre-render", outcome);
    return outcome;
}

FrameOutcome FrameRenderer::Render(int32_t frame) {
    // Before the pre-render, so that a bad background is reported before a long replay.
    // A plate's frame is this frame's alone; a still background is shared.
    const std::unique_ptr<ImageWorld> plate = PlateBackground(frame);
    const ImageWorld& background = plate ? *plate : Background();
    std::unique_ptr<PreRenderSession> session;
    FrameOutcome outcome = PreRender(frame, session);
    if (outcome.err != PF_Err_NONE || !outcome.contractProblems.empty()) {
        return outcome;
    }
    const CommandSettings settings = FrameSettings(scene_, frame, downsample_);
    void* record = const_cast<void*>(session->Record());
    if (inspectRecord_ && record != nullptr) {
        inspectRecord_(frame, record);
    }
    const auto start = std::chrono::steady_clock::now();
    if (gpu_ != nullptr) {
        SmartRenderOnDevice(settings, background, record, outcome);
    } else {
        SmartRenderInHostMemory(settings, background, record, outcome);
    }
    outcome.renderSeconds = SecondsSince(start);
    if (outcome.contractProblems.empty() && !session->DeleteRecord()) {
        outcome.contractProblems = "smart pre-render handed over no record with a deleter\n";
        outcome.command = "smart pre-render";
    }
    return outcome;
}

void FrameRenderer::SmartRenderInHostMemory(const CommandSettings& settings,
                                            const ImageWorld& background, void* record,
                                            FrameOutcome& outcome) {
    auto output = std::make_unique<ImageWorld>(background.Width(), background.Height(), depth_);
    SmartRenderSession session(const_cast<PF_EffectWorld*>(background.World()), output->World(),
                               record);
    if (Settle(session.Run(instance_, settings, false), "smart render", outcome)) {
        outcome.image = std::move(output);
    }
}

void FrameRenderer::SmartRenderOnDevice(const CommandSettings& settings,
                                        const ImageWorld& background, void* record,
                                        FrameOutcome& outcome) {
    std::unique_ptr<GpuWorld> input = gpu_->NewWorld(background.Width(), background.Height());
    std::unique_ptr<GpuWorld> output = gpu_->NewWorld(background.Width(), background.Height());
    input->Upload(background);
    SmartRenderSession session(input->World(), output->World(), record);
    session.UseGpu(gpu_->Framework(), deviceIndex_, gpuData_);
    const bool ok = Settle(session.Run(instance_, settings, true), "GPU smart render", outcome);
    gpu_->Finish();
    if (!ok) {
        return;
    }
    ImageWorld downloaded(background.Width(), background.Height(), PixelDepth::k32);
    output->Download(downloaded);
    outcome.image = std::make_unique<ImageWorld>(background.Width(), background.Height(), depth_);
    outcome.image->CopyFrom(downloaded);
}

}  // namespace tarsivel::host
