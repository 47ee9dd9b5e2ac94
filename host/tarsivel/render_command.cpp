#include <algorithm>
#include <atomic>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/exr_io.h"
#include "host/frame_renderer.h"
#include "host/opencl_device.h"
#include "host/png_io.h"
#include "host/raw_frame.h"
#include "host/scene_setup.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/contact_sheet.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/plugin_session.h"
#include "host/tarsivel/progress.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarsivel::cli {
namespace {

constexpr int kSheetCells = 12;

void PrintWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) {
        std::cerr << "tarsivel: warning: " << w << "\n";
    }
}

// What the operating system can still give, in bytes; 0 when unknown.
#if defined(_WIN32)
uint64_t AvailableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t{status.ullAvailPhys} : 0;
}
#else
uint64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") {
            return kib * 1024;
        }
    }
    return 0;
}
#endif

// The worlds and the coverage map of one frame, times the frames at once.
void CheckMemory(const host::Scene& scene, int depth, bool gpu, int jobs) {
    const uint64_t pixels = uint64_t(scene.OutputWidth()) * uint64_t(scene.OutputHeight());
    const uint64_t bytesPerPixel = uint64_t(depth / 2);  // four channels of depth bits
    uint64_t perFrame = pixels * (bytesPerPixel + 4);
    if (gpu) {
        perFrame += pixels * (16 * 3);  // two device worlds and the download
    }
    const uint64_t needed = perFrame * uint64_t(jobs) + pixels * 16;
    const uint64_t available = AvailableMemory();
    if (available != 0 && needed > available) {
        throw ExitError(kExitUsage, "rendering needs about " + std::to_string(needed >> 20) +
                                        " MiB but only " + std::to_string(available >> 20) +
                                        " MiB are available; use fewer jobs or --downsample");
    }
}

void WriteFrame(const host::ImageWorld& image, int depth, const std::string& path) {
    WriteAtomically(path, [&](const std::string& temporary) {
        if (host::IsRawFramePath(path)) {
            host::WriteRawFrame(image, temporary);
        } else if (depth == 32) {
            host::WriteExr(image, temporary);
        } else {
            host::WritePng(image, temporary, depth);
        }
    });
}

// Without image libraries (the Windows build) frames are raw pixel files.
std::string DefaultPattern(const host::Scene& scene, int depth) {
#if defined(_WIN32)
    static_cast<void>(depth);
    return "out/" + scene.name + "_####.raw";
#else
    return "out/" + scene.name + "_####" + (depth == 32 ? ".exr" : ".png");
#endif
}

struct RenderPlan {
    int first;
    int last;
    std::string pattern;
};

RenderPlan Plan(const RenderOptions& options, const host::Scene& scene) {
    RenderPlan plan{options.first.value_or(0), options.last.value_or(scene.frames - 1),
                    options.output.empty() ? DefaultPattern(scene, scene.depth) : options.output};
    if (plan.first < 0 || plan.last >= scene.frames || plan.first > plan.last) {
        throw ExitError(kExitUsage, "frames " + std::to_string(plan.first) + " … " +
                                        std::to_string(plan.last) + " are not within 0 … " +
                                        std::to_string(scene.frames - 1) +
                                        " with the first not after the last");
    }
    if (!HasFrameNumber(plan.pattern) && plan.first != plan.last) {
        throw ExitError(kExitUsage, "the output pattern \"" + plan.pattern +
                                        "\" has no # for the frame number, but " +
                                        std::to_string(plan.last - plan.first + 1) +
                                        " frames are rendered");
    }
    return plan;
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
        throw ExitError(kExitUsage, "no CUDA device is available to this host on this machine");
    }
    return nullptr;
}

class FrameFailure {
  public:
    void Record(int frame, const host::FrameOutcome& outcome) {
        std::lock_guard lock(mutex_);
        if (failed_) {
            return;
        }
        failed_ = true;
        if (!outcome.contractProblems.empty()) {
            error_ = std::make_unique<ExitError>(
                kExitContractBroken, "frame " + std::to_string(frame) +
                                         ": the plug-in broke the "
                                         "host contract in " +
                                         outcome.command + ":\n" + outcome.contractProblems);
        } else {
            std::string message = "frame " + std::to_string(frame) + ": " + outcome.command +
                                  " returned error " + std::to_string(outcome.err);
            if (!outcome.message.empty()) {
                message += ": " + outcome.message;
            }
            error_ = std::make_unique<ExitError>(kExitPluginError, message);
        }
    }
    void Record(std::exception_ptr e) {
        std::lock_guard lock(mutex_);
        if (!failed_) {
            failed_ = true;
            exception_ = e;
        }
    }
    bool Failed() const {
        std::lock_guard lock(mutex_);
        return failed_;
    }
    void Rethrow() const {
        if (exception_) {
            std::rethrow_exception(exception_);
        }
        if (error_) {
            throw *error_;
        }
    }

  private:
    mutable std::mutex mutex_;
    bool failed_ = false;
    std::unique_ptr<ExitError> error_;
    std::exception_ptr exception_;
};

}  // namespace

int RunRender(const RenderOptions& options) {
    host::Scene scene = host::ReadScene(options.scene);
    if (options.depth)
        scene.depth = *options.depth;
    if (options.downsample)
        scene.downsample = *options.downsample;
    if (options.renderer)
        scene.renderer = *options.renderer;
    const RenderPlan plan = Plan(options, scene);
    PrintWarnings(scene.warnings);

    PluginSession session(options.plugin.empty() ? DefaultPluginPath() : options.plugin,
                          scene.width, scene.height);
    std::vector<std::string> warnings;
    host::ApplyScene(scene, session.Instance(), warnings);
    PrintWarnings(warnings);

    std::unique_ptr<host::GpuDevice> device = OpenDevice(scene.renderer);
    const void* gpuData = device ? session.SetUpGpu(std::move(device)) : nullptr;
    int jobs = options.jobs;
    if (jobs > 1 && !session.DeclaresThreadedRendering()) {
        std::cerr << "tarsivel: the plug-in does not declare threaded rendering; one frame at "
                     "a time\n";
        jobs = 1;
    }
    CheckMemory(scene, scene.depth, session.Gpu() != nullptr, jobs);

    host::FrameRenderer renderer(session.Instance(), scene, scene.depth, scene.downsample,
                                 session.Gpu(), 0, gpuData);
    const int total = plan.last - plan.first + 1;
    std::map<int, int> sheetCell;
    std::unique_ptr<ContactSheet> sheet;
    if (!options.contactSheet.empty()) {
        const std::vector<int> frames = SheetFrames(plan.first, plan.last, kSheetCells);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            sheetCell[frames[i]] = int(i);
        }
        sheet = std::make_unique<ContactSheet>(int(frames.size()), scene.OutputWidth(),
                                               scene.OutputHeight());
    }

    Progress progress(total);
    FrameFailure failure;
    std::atomic<int> next{plan.first};
    auto worker = [&] {
        for (int frame = next++; frame <= plan.last && !failure.Failed(); frame = next++) {
            try {
                host::FrameOutcome outcome = renderer.Render(frame);
                if (!outcome.image) {
                    failure.Record(frame, outcome);
                    return;
                }
                const std::string path = ExpandPattern(plan.pattern, frame);
                WriteFrame(*outcome.image, scene.depth, path);
                if (sheet && sheetCell.count(frame)) {
                    sheet->Place(sheetCell.at(frame), *outcome.image);
                }
                progress.FrameDone(frame, outcome.preRenderSeconds, outcome.renderSeconds, path);
            } catch (...) {
                failure.Record(std::current_exception());
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::min(jobs, total); ++j) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& t : threads) {
        t.join();
    }
    progress.Finish();
    failure.Rethrow();
    if (sheet) {
        WriteAtomically(options.contactSheet, [&](const std::string& temporary) {
            host::WritePng(sheet->Image(), temporary, 8);
        });
    }
    std::cerr << "tarsivel: " << progress.Summary() << "\n";
    return kExitSuccess;
}

int RunDemo(const std::string& plugin, const std::string& outputFolder) {
    RenderOptions options;
    options.scene = std::string(TARSIVEL_EXAMPLES_DIR) + "/demo.json";
    options.plugin = plugin;
    options.output = outputFolder + "/demo_####.png";
    options.contactSheet = outputFolder + "/contact_sheet.png";
    options.jobs = int(std::max(1u, std::min(4u, std::thread::hardware_concurrency())));
    const int code = RunRender(options);
    std::cerr << "tarsivel: the demo's frames and contact sheet are in " << outputFolder << "/\n";
    return code;
}

}  // namespace tarsivel::cli
