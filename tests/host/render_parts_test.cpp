// The render command's parts in-process: the plan, the memory reading, the
// failure table and the worker pool.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <new>
#include <sstream>
#include <stdexcept>

#include "host/tarsivel/available_memory.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/frame_failures.h"
#include "host/tarsivel/render_plan.h"
#include "host/tarsivel/worker_pool.h"

namespace tarsivel::cli {
namespace {

namespace fs = std::filesystem;

uint64_t MemAvailableOf(const std::string& text) {
    std::istringstream meminfo(text);
    return MemAvailableIn(meminfo);
}

TEST(AvailableMemoryTest, ReadsMemAvailableInBytesAndZeroWhenItCannot) {
    EXPECT_EQ(MemAvailableOf("MemTotal:       16303492 kB\n"
                             "MemFree:         1022204 kB\n"
                             "MemAvailable:    9460144 kB\n"
                             "Buffers:          360436 kB\n"),
              uint64_t{9460144} * 1024);
    // A kernel without the entry, whose file ends in lines without a unit.
    EXPECT_EQ(MemAvailableOf("MemTotal:       16303492 kB\n"
                             "MemFree:         1022204 kB\n"
                             "HugePages_Total:       0\n"
                             "HugePages_Free:        0\n"),
              0u);
    EXPECT_EQ(MemAvailableOf(""), 0u);
    // An entry whose value is no number: unknown, never a made-up amount.
    EXPECT_EQ(MemAvailableOf("MemTotal: 100 kB\nMemAvailable: lots kB\n"), 0u);
}

// What Progress says on standard error while it is alive.
class CapturedErr {
  public:
    CapturedErr() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErr() { std::cerr.rdbuf(old_); }
    std::string Text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    std::streambuf* old_;
};

TEST(FrameFailuresTest, KeepsTheFirstCodeListsFramesInOrderAndTellsEachAsItHappens) {
    CapturedErr err;
    Progress progress(3, Progress::Clock::now, false);
    FrameFailures failures(progress);
    EXPECT_FALSE(failures.Any());
    EXPECT_EQ(failures.Code(), kExitSuccess);
    failures.Record(5, kExitContractBroken, "first");
    EXPECT_EQ(failures.List(), "frame 5");
    failures.Record(2, kExitPluginError, "second");
    EXPECT_TRUE(failures.Any());
    EXPECT_EQ(failures.Code(), kExitContractBroken);
    EXPECT_EQ(failures.List(), "frames 2, 5");
    EXPECT_EQ(err.Text(), "tarsivel: frame 5: first\ntarsivel: frame 2: second\n");
}

TEST(FrameFailuresTest, ExceptionsBecomeTheirCodeAndRunningOutOfMemorySaysWhatToTry) {
    CapturedErr err;
    Progress progress(3, Progress::Clock::now, false);
    const MemoryNeed need{uint64_t{5} << 20, uint64_t{20} << 20};
    const auto recordAs = [&](int frame, auto thrown) {
        FrameFailures failures(progress);
        try {
            throw thrown;
        } catch (...) {
            failures.RecordCurrentException(frame, need, 3);
        }
        return failures.Code();
    };
    EXPECT_EQ(recordAs(0, ExitError(kExitPluginError, "written badly")), kExitPluginError);
    EXPECT_EQ(recordAs(1, std::bad_alloc()), kExitUsage);
    EXPECT_EQ(recordAs(2, std::runtime_error("disk on fire")), kExitUsage);
    EXPECT_EQ(err.Text(),
              "tarsivel: frame 0: written badly\n"
              "tarsivel: frame 1: out of memory (a frame needs about 6 MiB, 3 at once about "
              "21 MiB); try -j 1, --downsample 2 or a lower --depth\n"
              "tarsivel: frame 2: disk on fire\n");
}

TEST(WorkerPoolTest, EveryFrameOnceOnAnyNumberOfThreadsUntilStopped) {
    const std::vector<int> frames{4, 5, 6, 7, 8, 9, 10};
    for (int jobs : {1, 3, 20}) {
        std::mutex mutex;
        std::vector<int> done;
        RunWorkers(
            frames, jobs, [] { return false; },
            [&](int frame) {
                std::lock_guard lock(mutex);
                done.push_back(frame);
                return true;
            });
        std::sort(done.begin(), done.end());
        EXPECT_EQ(done, frames) << jobs << " jobs";
    }
    // One worker: a frame that ends its worker, or a stop, ends the run there.
    std::vector<int> done;
    RunWorkers(
        frames, 1, [] { return false; },
        [&](int frame) {
            done.push_back(frame);
            return frame != 6;
        });
    EXPECT_EQ(done, (std::vector<int>{4, 5, 6}));
    done.clear();
    RunWorkers(
        frames, 1, [&] { return done.size() == 2; },
        [&](int frame) {
            done.push_back(frame);
            return true;
        });
    EXPECT_EQ(done, (std::vector<int>{4, 5}));
    // Workers stop taking frames once one fails: none takes a second.
    std::atomic<int> taken{0};
    std::atomic<bool> failed{false};
    RunWorkers(
        frames, 4, [&] { return failed.load(); },
        [&](int) {
            ++taken;
            failed = true;
            return true;
        });
    EXPECT_LE(taken.load(), 4);
}

class RenderPlanTest : public ::testing::Test {
  protected:
    RenderPlanTest() {
        scene.name = "rope#1";
        scene.frames = 5;
        options.scene = "rope.json";
    }

    // The usage error's message, "" when the plan is made.
    std::string Refusal() {
        try {
            PlanRender(options, scene);
            return "";
        } catch (const ExitError& e) {
            EXPECT_EQ(e.Code(), kExitUsage);
            return e.what();
        }
    }

    host::Scene scene;
    RenderOptions options;
};

TEST_F(RenderPlanTest, DefaultsToEveryFrameIntoOutBesideTheScenesName) {
    const RenderPlan plan = PlanRender(options, scene);
    EXPECT_EQ(plan.first, 0);
    EXPECT_EQ(plan.last, 4);
    EXPECT_EQ(plan.format, OutputFormat::kPng);
    EXPECT_EQ(plan.frames.File(3), "out/rope#1_0003.png");
    scene.depth = 32;
    EXPECT_EQ(PlanRender(options, scene).frames.File(3), "out/rope#1_0003.exr");
}

TEST_F(RenderPlanTest, RefusesWhatTheOutputCannotTake) {
    options.contactSheet = "sheet.mov";
    EXPECT_EQ(Refusal(), "sheet.mov: a contact sheet is one image: .png, .exr or .raw");
    options.contactSheet.clear();
    options.output = "clip_#.mov";
    EXPECT_EQ(Refusal(), "clip_#.mov: a movie is one file; its name takes no #");
    options.output = "clip.mov";
    options.skipExisting = true;
    EXPECT_EQ(Refusal(), "--skip-existing applies to frame files, not to movies");
    options.skipExisting = false;
    options.crf = 20;
    EXPECT_NE(Refusal().find("--crf sets the quality of a .mp4 movie, and clip.mov"),
              std::string::npos);
    options.crf.reset();
    EXPECT_EQ(Refusal(), "");  // a movie of several frames
    options.output = "still.png";
    EXPECT_EQ(Refusal(),
              "the output pattern \"still.png\" has no # for the frame number, but 5 frames "
              "are rendered");
    options.first = options.last = 2;
    EXPECT_EQ(Refusal(), "");
    for (auto [first, last] : {std::pair{-1, 2}, std::pair{0, 5}, std::pair{3, 2}}) {
        options.first = first;
        options.last = last;
        EXPECT_NE(Refusal().find("are not within 0 … 4"), std::string::npos) << first << last;
    }
}

TEST_F(RenderPlanTest, SkipExistingLeavesOutTheFramesWhoseFilesAreThere) {
    const fs::path dir = fs::temp_directory_path() / ("tarsivel_plan_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "f_1.png") << "farmed elsewhere";
    std::ofstream(dir / "f_3.png") << "farmed elsewhere";
    options.output = (dir / "f_#.png").string();
    const RenderPlan plan = PlanRender(options, scene);
    const FramesToRender skipping = SplitFrames(plan, true);
    EXPECT_EQ(skipping.frames, (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(skipping.skipped, 2);
    const FramesToRender all = SplitFrames(plan, false);
    EXPECT_EQ(all.frames, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(all.skipped, 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarsivel::cli
