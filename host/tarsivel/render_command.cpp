#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/gpu/cuda_device.h"
#include "host/gpu/opencl_device.h"
#include "host/scenes/frame_renderer.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/contact_sheet.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/frame_failures.h"
#include "host/tarsivel/memory_estimate.h"
#include "host/tarsivel/movie_writer.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/output_format.h"
#include "host/tarsivel/plugin_session.h"
#include "host/tarsivel/progress.h"
#include "host/tarsivel/record_json.h"
#include "host/tarsivel/render_plan.h"
#include "host/tarsivel/worker_pool.h"

namespace tarsivel::cli {
namespace {

constexpr int kSheetCells = 12;

// The scene file, with the command line's choices over its own.
host::Scene ReadRenderScene(const RenderOptions& options) {
    host::Scene scene = host::ReadScene(options.scene);
    if (options.depth)
        scene.depth = *options.depth;
    if (options.downsample)
        scene.downsample = *options.downsample;
    if (options.renderer)
        scene.renderer = *options.renderer;
    return scene;
}

std::unique_ptr<host::GpuDevice> OpenDevice(const std::string& renderer) {
    if (renderer == "opencl") {
        std::unique_ptr<host::GpuDevice> device = host::OpenCLDevice::Open();
        if (!device) {
            throw ExitError(kExitUsage, "no OpenCL device is available on this machine");
        }
        return device;
    }
    if (renderer == "cuda") {
        std::string why;
        std::unique_ptr<host::GpuDevice> device = host::CudaDevice::Open(0, why);
        if (!device) {
            throw ExitError(kExitUsage, why);
        }
        return device;
    }
    return nullptr;
}

// The plug-in set up on the renderer's GPU device; its GPU data, or null on
// the CPU.
const void* SetUpRenderer(PluginSession& session, const std::string& renderer) {
    std::unique_ptr<host::GpuDevice> device = OpenDevice(renderer);
    return device ? session.SetUpGpu(std::move(device)) : nullptr;
}

// Frames at once: one unless the plug-in declares threaded rendering.
int JobsFor(const PluginSession& session, int jobs) {
    if (jobs > 1 && !session.DeclaresThreadedRendering()) {
        std::cerr << "tarsivel: the plug-in does not declare threaded rendering; one frame at "
                     "a time\n";
        return 1;
    }
    return jobs;
}

void TellPrecisionNote(OutputFormat format, int depth) {
    const std::string note = PrecisionNote(format, depth);
    if (!note.empty()) {
        std::cerr << "tarsivel: note: " << note << "\n";
    }
}

// What the frames go into besides their own files.
struct SharedOutputs {
    std::map<int, int> sheetCell;  // a frame's cell on the sheet
    std::unique_ptr<ContactSheet> sheet;
    // A movie, as the output or beside the frames (the demo's preview).
    std::unique_ptr<MovieWriter> movie;
};

SharedOutputs OpenSharedOutputs(const RenderOptions& options, const host::Scene& scene,
                                const RenderPlan& plan, int jobs) {
    SharedOutputs outputs;
    if (!options.contactSheet.empty()) {
        const std::vector<int> frames = SheetFrames(plan.first, plan.last, kSheetCells);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            outputs.sheetCell[frames[i]] = int(i);
        }
        outputs.sheet =
            std::make_unique<ContactSheet>(frames, scene.OutputWidth(), scene.OutputHeight());
    }
    const std::string moviePath = IsMovie(plan.format) ? plan.pattern : options.movie;
    if (!moviePath.empty()) {
        outputs.movie = std::make_unique<MovieWriter>(
            moviePath, MovieSettings{FormatOfPath(moviePath, scene.depth), scene.OutputWidth(),
                                     scene.OutputHeight(), scene.timeScale, scene.timeStep,
                                     plan.first, 2 * jobs, options.crf.value_or(kDefaultCrf)});
    }
    return outputs;
}

// The renderer's warnings, and records that are not all numbers, told as
// they come.
void TellRendererWarnings(host::FrameRenderer& renderer, Progress& progress) {
    renderer.OnWarning(
        [&progress](const std::string& warning) { progress.Say("tarsivel: warning: " + warning); });
    renderer.InspectRecords([&progress](int32_t frame, const void* record) {
        // The plug-in's record, read as lists as `dump` reads it.
        const int nonFinite = CountNonFinite(ReadRecord(record));
        if (nonFinite > 0) {
            progress.Say("tarsivel: warning: frame " + std::to_string(frame) + ": " +
                         NonFiniteWarning(nonFinite));
        }
    });
}

// Everything a frame's work reads and writes, shared by the workers.
struct FrameWork {
    const RenderOptions& options;
    const host::Scene& scene;
    const RenderPlan& plan;
    host::FrameRenderer& renderer;
    SharedOutputs& outputs;
    Progress& progress;
    FrameFailures& failures;
    const MemoryNeed& memory;
    int jobs;
};

// One frame rendered and written to its file, the movie and the sheet; false
// when it failed (recorded) or the movie was abandoned, and the worker stops.
bool RenderFrame(const FrameWork& work, int frame) {
    MovieWriter* movie = work.outputs.movie.get();
    try {
        const std::string path = work.plan.frames.File(frame);
        // Another machine sharing the range may have rendered it since.
        if (work.options.skipExisting && OutputExists(path)) {
            work.progress.FrameSkipped(frame);
            return true;
        }
        if (!IsMovie(work.plan.format)) {
            CheckOutput(path);  // before the frame's work, which may take minutes
        }
        if (movie && !movie->WaitForTurn(frame)) {
            return false;
        }
        work.progress.FrameStarted(frame);
        host::FrameOutcome outcome = work.renderer.Render(frame);
        if (!outcome.image) {
            work.failures.Record(frame, outcome);
            if (movie) {
                movie->Abandon();
            }
            return false;
        }
        if (!IsMovie(work.plan.format)) {
            WriteOutput(path,
                        EncodeFrame(*outcome.image, work.plan.format,
                                    host::ExrFrameRate{work.scene.timeScale, work.scene.timeStep}));
        }
        if (movie) {
            movie->Add(frame, *outcome.image);
        }
        if (work.outputs.sheet && work.outputs.sheetCell.count(frame)) {
            work.outputs.sheet->Place(work.outputs.sheetCell.at(frame), *outcome.image);
        }
        work.progress.FrameDone(frame, outcome.preRenderSeconds, outcome.renderSeconds, path);
        return true;
    } catch (...) {
        work.failures.RecordCurrentException(frame, work.memory, work.jobs);
        if (movie) {
            movie->Abandon();
        }
        return false;
    }
}

// Tells how the render went; the movie and the sheet are finished only when
// every frame was. The exit code.
int FinishRender(const RenderOptions& options, SharedOutputs& outputs, Progress& progress,
                 const FrameFailures& failures, int skippedBefore) {
    progress.Finish();
    const int skipped = skippedBefore + progress.Skipped();
    if (skipped > 0) {
        std::cerr << "tarsivel: skipped " << skipped
                  << (skipped == 1 ? " frame whose file exists" : " frames whose files exist")
                  << "\n";
    }
    if (failures.Any()) {
        std::cerr << "tarsivel: " << progress.Summary() << "; failed: " << failures.List() << "\n";
        return failures.Code();
    }
    if (outputs.movie) {
        outputs.movie->Finish();
    }
    if (outputs.sheet) {
        WriteOutput(options.contactSheet,
                    EncodeFrame(outputs.sheet->Image(), FormatOfPath(options.contactSheet, 8)));
    }
    std::cerr << "tarsivel: " << progress.Summary() << "\n";
    return kExitSuccess;
}

}  // namespace

int RunRender(const RenderOptions& options) {
    const host::Scene scene = ReadRenderScene(options);
    const RenderPlan plan = PlanRender(options, scene);
    CheckRenderFiles(options, scene, plan);
    const std::unique_ptr<PluginSession> session = StartScene(scene, options.plugin);
    const void* gpuData = SetUpRenderer(*session, scene.renderer);
    const int jobs = JobsFor(*session, options.jobs);
    const MemoryNeed memory = EstimateMemory(scene, scene.depth, session->Gpu() != nullptr, jobs);
    CheckMemory(memory, jobs);
    TellPrecisionNote(plan.format, scene.depth);

    host::FrameRenderer renderer(session->Instance(), scene, scene.depth, scene.downsample,
                                 session->Gpu(), 0, gpuData);
    SharedOutputs outputs = OpenSharedOutputs(options, scene, plan, jobs);
    const FramesToRender toRender = SplitFrames(plan, options.skipExisting);
    Progress progress(int(toRender.frames.size()));
    FrameFailures failures(progress);
    TellRendererWarnings(renderer, progress);
    const FrameWork work{options, scene, plan, renderer, outputs, progress, failures, memory, jobs};
    RunWorkers(
        toRender.frames, jobs, [&failures] { return failures.Any(); },
        [&work](int frame) { return RenderFrame(work, frame); });
    return FinishRender(options, outputs, progress, failures, toRender.skipped);
}

}  // namespace tarsivel::cli
