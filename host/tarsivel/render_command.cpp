#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/gpu/cuda_device.h"
#include "host/gpu/opencl_device.h"
#include "host/protocol/image_world.h"
#include "host/scenes/frame_renderer.h"
#include "host/tarsivel/commands.h"
#include "host/tarsivel/contact_sheet.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/movie_writer.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/output_format.h"
#include "host/tarsivel/plugin_session.h"
#include "host/tarsivel/progress.h"
#include "host/tarsivel/record_json.h"
#include "host/tarsivel/render_files.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarsivel::cli {
namespace {

constexpr int kSheetCells = 12;

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

// The worlds, the coverage map and the encoded file of one frame, and of all
// the frames rendered at once.
struct MemoryNeed {
    uint64_t perFrame;
    uint64_t total;
    std::string Describe(int jobs) const {
        std::string text = "a frame needs about " + std::to_string((perFrame >> 20) + 1) + " MiB";
        if (jobs > 1) {
            text += ", " + std::to_string(jobs) + " at once about " +
                    std::to_string((total >> 20) + 1) + " MiB";
        }
        return text;
    }
};

MemoryNeed EstimateMemory(const host::Scene& scene, int depth, bool gpu, int jobs) {
    const uint64_t pixels = uint64_t(scene.OutputWidth()) * uint64_t(scene.OutputHeight());
    const uint64_t bytesPerPixel = uint64_t(depth / 2);  // four channels of depth bits
    uint64_t perFrame = pixels * (2 * bytesPerPixel + 4);
    if (gpu) {
        perFrame += pixels * (16 * 3);  // two device worlds and the download
    }
    perFrame += host::PlateBytesPerFrame(scene, depth, gpu);  // each frame decodes its own
    return {perFrame, perFrame * uint64_t(jobs) + pixels * 16 + host::PlateSharedBytes(scene)};
}

constexpr const char* kMemoryAdvice = "try -j 1, --downsample 2 or a lower --depth";

void CheckMemory(const MemoryNeed& need, int jobs) {
    const uint64_t available = AvailableMemory();
    if (available != 0 && need.total > available) {
        throw ExitError(kExitUsage, "rendering needs more memory than the " +
                                        std::to_string(available >> 20) + " MiB available (" +
                                        need.Describe(jobs) + "); " + kMemoryAdvice);
    }
}

// out/<scene>_####.png, the scene's name as it is: a '#' in it is part of the
// name, not the frame number. Without image libraries (the Windows build)
// frames are raw pixel files.
FramePattern DefaultPattern(const host::Scene& scene, int depth) {
    return FramePattern("out/" + scene.name + "_", 4, ExtensionOf(DefaultFormat(depth)));
}

struct RenderPlan {
    int first;
    int last;
    FramePattern frames;
    std::string pattern;  // as written, for messages and the movie's name
    OutputFormat format;
};

RenderPlan Plan(const RenderOptions& options, const host::Scene& scene) {
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

// Every file the render reads and writes, checked before any work (which may
// take hours): no output may be an input or another output, and each output
// must be one this user may write, the contact sheet written last included.
void CheckFiles(const RenderOptions& options, const host::Scene& scene, const RenderPlan& plan) {
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

// Frames that could not be rendered or written: each is told as it happens,
// and the exit code is the first one's.
class FrameFailures {
  public:
    explicit FrameFailures(Progress& progress) : progress_(progress) {}
    void Record(int frame, int code, const std::string& message) {
        std::lock_guard lock(mutex_);
        progress_.Say("tarsivel: frame " + std::to_string(frame) + ": " + message);
        if (frames_.empty()) {
            code_ = code;
        }
        frames_.push_back(frame);
    }
    void Record(int frame, const host::FrameOutcome& outcome) {
        if (!outcome.contractProblems.empty()) {
            Record(frame, kExitContractBroken,
                   "the plug-in broke the host contract in " + outcome.command + ":\n" +
                       outcome.contractProblems);
            return;
        }
        std::string message = outcome.command + " returned error " + std::to_string(outcome.err);
        if (!outcome.message.empty()) {
            message += ": " + outcome.message;
        }
        Record(frame, kExitPluginError, message);
    }
    // The exception being handled, as the failure of `frame`.
    void RecordCurrentException(int frame, const MemoryNeed& need, int jobs) {
        try {
            throw;
        } catch (const ExitError& e) {
            Record(frame, e.Code(), e.what());
        } catch (const std::bad_alloc&) {
            Record(frame, kExitUsage,
                   "out of memory (" + need.Describe(jobs) + "); " + kMemoryAdvice);
        } catch (const std::exception& e) {
            Record(frame, kExitUsage, e.what());
        }
    }
    bool Any() const {
        std::lock_guard lock(mutex_);
        return !frames_.empty();
    }
    int Code() const {
        std::lock_guard lock(mutex_);
        return code_;
    }
    // "frame 3" or "frames 0, 2"
    std::string List() const {
        std::lock_guard lock(mutex_);
        std::vector<int> frames = frames_;
        std::sort(frames.begin(), frames.end());
        std::string text = frames.size() == 1 ? "frame " : "frames ";
        for (std::size_t i = 0; i < frames.size(); ++i) {
            text += (i == 0 ? "" : ", ") + std::to_string(frames[i]);
        }
        return text;
    }

  private:
    Progress& progress_;
    mutable std::mutex mutex_;
    std::vector<int> frames_;
    int code_ = kExitSuccess;
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
    CheckFiles(options, scene, plan);
    const std::unique_ptr<PluginSession> session = StartScene(scene, options.plugin);

    std::unique_ptr<host::GpuDevice> device = OpenDevice(scene.renderer);
    const void* gpuData = device ? session->SetUpGpu(std::move(device)) : nullptr;
    int jobs = options.jobs;
    if (jobs > 1 && !session->DeclaresThreadedRendering()) {
        std::cerr << "tarsivel: the plug-in does not declare threaded rendering; one frame at "
                     "a time\n";
        jobs = 1;
    }
    const MemoryNeed memory = EstimateMemory(scene, scene.depth, session->Gpu() != nullptr, jobs);
    CheckMemory(memory, jobs);
    const std::string note = PrecisionNote(plan.format, scene.depth);
    if (!note.empty()) {
        std::cerr << "tarsivel: note: " << note << "\n";
    }

    host::FrameRenderer renderer(session->Instance(), scene, scene.depth, scene.downsample,
                                 session->Gpu(), 0, gpuData);
    std::map<int, int> sheetCell;
    std::unique_ptr<ContactSheet> sheet;
    if (!options.contactSheet.empty()) {
        const std::vector<int> frames = SheetFrames(plan.first, plan.last, kSheetCells);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            sheetCell[frames[i]] = int(i);
        }
        sheet = std::make_unique<ContactSheet>(frames, scene.OutputWidth(), scene.OutputHeight());
    }

    // A movie, as the output or beside the frames (the demo's preview).
    const std::string moviePath = IsMovie(plan.format) ? plan.pattern : options.movie;
    std::unique_ptr<MovieWriter> movie;
    if (!moviePath.empty()) {
        movie = std::make_unique<MovieWriter>(
            moviePath, MovieSettings{FormatOfPath(moviePath, scene.depth), scene.OutputWidth(),
                                     scene.OutputHeight(), scene.timeScale, scene.timeStep,
                                     plan.first, 2 * jobs, options.crf.value_or(kDefaultCrf)});
    }

    // With --skip-existing the frames whose files are there are left out
    // before the first frame, so that the progress counts the frames to render.
    std::vector<int> toRender;
    int skipped = 0;
    for (int frame = plan.first; frame <= plan.last; ++frame) {
        if (options.skipExisting && OutputExists(plan.frames.File(frame))) {
            ++skipped;
        } else {
            toRender.push_back(frame);
        }
    }

    Progress progress(int(toRender.size()));
    FrameFailures failures(progress);
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
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t taken = next++; taken < toRender.size() && !failures.Any();
             taken = next++) {
            const int frame = toRender[taken];
            try {
                const std::string path = plan.frames.File(frame);
                // Another machine sharing the range may have rendered it since.
                if (options.skipExisting && OutputExists(path)) {
                    progress.FrameSkipped(frame);
                    continue;
                }
                if (!IsMovie(plan.format)) {
                    CheckOutput(path);  // before the frame's work, which may take minutes
                }
                if (movie && !movie->WaitForTurn(frame)) {
                    return;
                }
                progress.FrameStarted(frame);
                host::FrameOutcome outcome = renderer.Render(frame);
                if (!outcome.image) {
                    failures.Record(frame, outcome);
                    if (movie) {
                        movie->Abandon();
                    }
                    return;
                }
                if (!IsMovie(plan.format)) {
                    WriteOutput(path,
                                EncodeFrame(*outcome.image, plan.format,
                                            host::ExrFrameRate{scene.timeScale, scene.timeStep}));
                }
                if (movie) {
                    movie->Add(frame, *outcome.image);
                }
                if (sheet && sheetCell.count(frame)) {
                    sheet->Place(sheetCell.at(frame), *outcome.image);
                }
                progress.FrameDone(frame, outcome.preRenderSeconds, outcome.renderSeconds, path);
            } catch (...) {
                failures.RecordCurrentException(frame, memory, jobs);
                if (movie) {
                    movie->Abandon();
                }
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::min(jobs, int(toRender.size())); ++j) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& t : threads) {
        t.join();
    }
    progress.Finish();
    skipped += progress.Skipped();
    if (skipped > 0) {
        std::cerr << "tarsivel: skipped " << skipped
                  << (skipped == 1 ? " frame whose file exists" : " frames whose files exist")
                  << "\n";
    }
    if (failures.Any()) {
        std::cerr << "tarsivel: " << progress.Summary() << "; failed: " << failures.List() << "\n";
        return failures.Code();
    }
    if (movie) {
        movie->Finish();
    }
    if (sheet) {
        WriteOutput(options.contactSheet,
                    EncodeFrame(sheet->Image(), FormatOfPath(options.contactSheet, 8)));
    }
    std::cerr << "tarsivel: " << progress.Summary() << "\n";
    return kExitSuccess;
}

// The demo scene, which the build copies beside this program.
std::string DemoScenePath() {
    const std::filesystem::path path = ProgramFolder() / "examples" / "demo.json";
    if (!std::filesystem::is_regular_file(path)) {
        throw ExitError(kExitUsage, "the demo scene is missing: it was looked for at " +
                                        path.string() + ", beside this program");
    }
    return path.string();
}

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
