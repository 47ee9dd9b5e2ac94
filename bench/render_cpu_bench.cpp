// The CPU rope renderer over whole frames, and its three phases on their own:
// preparing the output (copy or clear), accumulating the coverage map and the
// blend sweep.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "host/effect_instance.h"
#include "host/image_world.h"
#include "render/argb_view.h"
#include "render/coverage_map.h"
#include "render/cpu_blend.h"
#include "render/render_rope_cpu.h"

namespace tarsivel {
namespace {

using host::ImageWorld;
using host::PixelDepth;

struct FrameSize {
    const char* name;
    int32_t width;
    int32_t height;
};

constexpr FrameSize kSizes[] = {{"1080p", 1920, 1080}, {"2160p", 3840, 2160}};
constexpr PixelDepth kDepths[] = {PixelDepth::k8, PixelDepth::k32};
constexpr int kSegmentCounts[] = {16, 1024};

// A rope sagging across the frame: four pieces per segment, widths tapering
// from 1.1 % to 0.4 % of the frame height, a marker on every node.
RopeRenderData HangingRope(const FrameSize& size, int segments, bool composite) {
    RopeRenderData record;
    record.colorA = 1.0f;
    record.colorR = 0.9f;
    record.colorG = 0.7f;
    record.colorB = 0.3f;
    record.showNodes = true;
    record.compositeOnOriginal = composite;
    const double w = size.width, h = size.height;
    const int pieces = segments * 4;
    auto x = [&](int n) { return 0.1 * w + 0.8 * w * n / pieces; };
    auto y = [&](int n) {
        const double t = double(n) / pieces;
        return 0.2 * h + 0.05 * h * t + 2.0 * h * t * (1.0 - t);
    };
    const double thickStart = 0.011 * h, thickEnd = 0.004 * h;
    auto width = [&](int n) { return float(thickStart + (thickEnd - thickStart) * n / pieces); };
    for (int n = 0; n < pieces; ++n) {
        record.points.insert(record.points.end(),
                             {float(x(n)), float(y(n)), float(x(n + 1)), float(y(n + 1))});
        record.segThickness.insert(record.segThickness.end(), {width(n), width(n + 1)});
    }
    for (int n = 0; n <= pieces; n += 4) {
        record.nodePoints.insert(record.nodePoints.end(), {float(x(n)), float(y(n))});
        record.nodeThickness.push_back(width(n));
    }
    record.thicknessStart = float(thickStart);
    record.thicknessEnd = float(thickEnd);
    return record;
}

struct Frame {
    Frame(const FrameSize& size, PixelDepth depth)
        : input(std::make_unique<ImageWorld>(size.width, size.height, depth)),
          output(std::make_unique<ImageWorld>(size.width, size.height, depth)) {
        input->Fill(PF_PixelFloat{1.0f, 0.2f, 0.4f, 0.6f});
    }
    std::unique_ptr<ImageWorld> input;
    std::unique_ptr<ImageWorld> output;
};

void RunRender(benchmark::State& state, const FrameSize& size, PixelDepth depth,
               const RopeRenderData& record) {
    host::EffectInstance instance(nullptr, size.width, size.height);
    Frame frame(size, depth);
    for (auto _ : state) {
        const host::CommandResult result =
            instance.RunHandler([&](PF_InData* in_data, PF_OutData* out_data) {
                return RenderRopeCPU(in_data, out_data, frame.output->Format(),
                                     frame.input->World(), frame.output->World(), nullptr, record);
            });
        if (result.err != PF_Err_NONE) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::ClobberMemory();
    }
}

template <class Channel>
void RunBlend(benchmark::State& state, const FrameSize& size, PixelDepth depth,
              const RopeRenderData& record) {
    Frame frame(size, depth);
    const std::unique_ptr<float[]> coverage = AllocateCoverageMap(size.width, size.height);
    AccumulateRopeCoverage(coverage.get(), size.width, size.height, record);
    const ArgbView<Channel> view{static_cast<uint8_t*>(frame.output->World()->data), size.width,
                                 size.height, frame.output->Rowbytes()};
    for (auto _ : state) {
        BlendRopeColour(coverage.get(), view, RopeColour{1.0f, 0.9f, 0.7f, 0.3f});
        benchmark::ClobberMemory();
    }
}

void RunCoverage(benchmark::State& state, const FrameSize& size, const RopeRenderData& record) {
    for (auto _ : state) {
        const std::unique_ptr<float[]> coverage = AllocateCoverageMap(size.width, size.height);
        AccumulateRopeCoverage(coverage.get(), size.width, size.height, record);
        benchmark::DoNotOptimize(coverage.get());
        benchmark::ClobberMemory();
    }
}

std::string DepthName(PixelDepth depth) {
    return depth == PixelDepth::k8 ? "8bit" : "32bit";
}

void RegisterAll() {
    for (const FrameSize& size : kSizes) {
        for (PixelDepth depth : kDepths) {
            for (bool composite : {false, true}) {
                const std::string frameName = std::string(size.name) + "/" + DepthName(depth) +
                                              (composite ? "/composite" : "/clear");
                for (int segments : kSegmentCounts) {
                    const RopeRenderData record = HangingRope(size, segments, composite);
                    benchmark::RegisterBenchmark(
                        ("RenderRopeCPU/" + frameName + "/" + std::to_string(segments) + "seg")
                            .c_str(),
                        [=](benchmark::State& state) { RunRender(state, size, depth, record); })
                        ->Unit(benchmark::kMillisecond);
                }
                // No pieces: the call ends after preparing the output.
                RopeRenderData empty = HangingRope(size, 1, composite);
                empty.points.clear();
                benchmark::RegisterBenchmark(
                    ("Prepare/" + frameName).c_str(),
                    [=](benchmark::State& state) { RunRender(state, size, depth, empty); })
                    ->Unit(benchmark::kMillisecond);
            }
            for (int segments : kSegmentCounts) {
                const RopeRenderData record = HangingRope(size, segments, false);
                const std::string name = std::string("Blend/") + size.name + "/" +
                                         DepthName(depth) + "/" + std::to_string(segments) + "seg";
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    if (depth == PixelDepth::k8) {
                        RunBlend<uint8_t>(state, size, depth, record);
                    } else {
                        RunBlend<float>(state, size, depth, record);
                    }
                })->Unit(benchmark::kMillisecond);
            }
        }
        for (int segments : kSegmentCounts) {
            const RopeRenderData record = HangingRope(size, segments, false);
            benchmark::RegisterBenchmark(
                (std::string("Coverage/") + size.name + "/" + std::to_string(segments) + "seg")
                    .c_str(),
                [=](benchmark::State& state) { RunCoverage(state, size, record); })
                ->Unit(benchmark::kMillisecond);
        }
    }
}

const bool registered = (RegisterAll(), true);

}  // namespace
}  // namespace tarsivel
