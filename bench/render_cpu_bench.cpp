// The CPU rope renderer over whole frames, and its three phases on their own:
// preparing the output (copy or clear), accumulating the coverage map and the
// blend sweep. Every whole frame is set against cairo stroking the same
// polyline into a frame of the same size, in the same run.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <string>

#include "bench/best_of.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/image_world.h"
#include "render/raster/argb_view.h"
#include "render/raster/coverage_map.h"
#include "render/raster/cpu_blend.h"
#include "render/render_rope_cpu.h"
#include "tests/support/coverage_yardstick.h"

namespace tarsivel {
namespace {

using host::ImageWorld;
using host::PixelDepth;
using testing::AccumulateRopeCoverage;

struct FrameSize {
    const char* name;
    int32_t width;
    int32_t height;
};

constexpr FrameSize kSizes[] = {{"1080p", 1920, 1080}, {"2160p", 3840, 2160}};
constexpr PixelDepth kDepths[] = {PixelDepth::k8, PixelDepth::k32};
constexpr int kSegmentCounts[] = {16, 1024};

// A rope sagging across the frame: four pieces per link, widths tapering
// from 1.1 % to 0.4 % of the frame height, a marker on every node.
RopeRenderData HangingRope(const FrameSize& size, int segments, bool composite,
                           bool markers = true) {
    RopeRenderData record;
    record.colorA = 1.0f;
    record.colorR = 0.9f;
    record.colorG = 0.7f;
    record.colorB = 0.3f;
    record.showNodes = markers;
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

using bench::BestOf;

// The yardstick: cairo clearing an ARGB32 frame it has drawn on and stroking
// the record's pieces as one round-capped, round-joined polyline of their mean
// width (pixel centres moved to cairo's half-integer ones).
class CairoStroke {
  public:
    CairoStroke(const FrameSize& size, const RopeRenderData& record)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height)),
          cr_(cairo_create(surface_)),
          record_(record) {
        double sum = 0.0;
        for (float w : record.segThickness) {
            sum += double(w);
        }
        meanWidth_ = record.segThickness.empty() ? 1.0 : sum / double(record.segThickness.size());
    }
    ~CairoStroke() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    CairoStroke(const CairoStroke&) = delete;
    CairoStroke& operator=(const CairoStroke&) = delete;

    void Draw() {
        cairo_save(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr_);
        cairo_restore(cr_);
        cairo_save(cr_);
        cairo_translate(cr_, 0.5, 0.5);
        cairo_set_source_rgba(cr_, double(record_.colorR), double(record_.colorG),
                              double(record_.colorB), double(record_.colorA));
        cairo_set_line_width(cr_, meanWidth_);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        const std::vector<float>& p = record_.points;
        if (p.size() >= 4) {
            cairo_move_to(cr_, double(p[0]), double(p[1]));
            for (size_t n = 0; n + 3 < p.size(); n += 4) {
                cairo_line_to(cr_, double(p[n + 2]), double(p[n + 3]));
            }
        }
        cairo_stroke(cr_);
        cairo_restore(cr_);
        cairo_surface_flush(surface_);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface_));
    }

  private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    const RopeRenderData& record_;
    double meanWidth_ = 1.0;
};

PF_Err RenderOnce(host::EffectInstance& instance, Frame& frame, const RopeRenderData& record) {
    return instance
        .RunHandler([&](PF_InData* in_data, PF_OutData* out_data) {
            return RenderRopeCPU(in_data, out_data, frame.output->Format(), frame.input->World(),
                                 frame.output->World(), nullptr, record);
        })
        .err;
}

// With `yardstick`, also reports cairo_ratio: the best frame's time over the
// best of cairo's clear-and-stroke plus the best of the output preparation
// alone (the same call without pieces). The three are timed in turn, round
// after round, so that all of them see the same memory bandwidth: on a shared
// machine a 133 MB clear alone varies by a factor of two from minute to minute.
void RunRender(benchmark::State& state, const FrameSize& size, PixelDepth depth,
               const RopeRenderData& record, bool yardstick) {
    host::EffectInstance instance(nullptr, size.width, size.height);
    Frame frame(size, depth);
    for (auto _ : state) {
        if (RenderOnce(instance, frame, record) != PF_Err_NONE) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    if (!yardstick) {
        return;
    }
    constexpr int kRounds = 30;
    RopeRenderData empty = record;
    empty.points.clear();
    CairoStroke cairo(size, record);
    double best = std::numeric_limits<double>::infinity();
    double prepare = best;
    double stroke = best;
    for (int round = 0; round < kRounds; ++round) {
        best = std::min(best, BestOf(1, [&] { RenderOnce(instance, frame, record); }));
        prepare = std::min(prepare, BestOf(1, [&] { RenderOnce(instance, frame, empty); }));
        stroke = std::min(stroke, BestOf(1, [&] { cairo.Draw(); }));
    }
    state.counters["cairo_ms"] = stroke * 1e3;
    state.counters["prepare_ms"] = prepare * 1e3;
    state.counters["best_ms"] = best * 1e3;
    state.counters["cairo_ratio"] = best / (stroke + prepare);
}

template <class Channel>
void RunBlend(benchmark::State& state, const FrameSize& size, PixelDepth depth,
              const RopeRenderData& record, bool tiled) {
    Frame frame(size, depth);
    const std::unique_ptr<float[]> coverage = AllocateCoverageMap(size.width, size.height);
    AccumulateRopeCoverage({coverage.get(), size.width, size.height}, record);
    CoverageTiles tiles;
    tiles.Reset(size.width, size.height);
    tiles.AddRope(record);
    const ArgbView<Channel> view{reinterpret_cast<uint8_t*>(frame.output->World()->data),
                                 size.width, size.height, frame.output->Rowbytes()};
    const RopeColour colour{1.0f, 0.9f, 0.7f, 0.3f};
    for (auto _ : state) {
        if (tiled) {
            BlendRopeColour(tiles, view, colour);
        } else {
            BlendRopeColour(coverage.get(), view, colour);
        }
        benchmark::ClobberMemory();
    }
}

// The full-frame map (allocated zeroed, every piece accumulated) or the tiled
// one that the renderer uses.
void RunCoverage(benchmark::State& state, const FrameSize& size, const RopeRenderData& record,
                 bool tiled) {
    for (auto _ : state) {
        if (tiled) {
            CoverageTiles tiles;
            tiles.Reset(size.width, size.height);
            tiles.AddRope(record);
            benchmark::DoNotOptimize(tiles.TileCount());
        } else {
            const std::unique_ptr<float[]> coverage = AllocateCoverageMap(size.width, size.height);
            AccumulateRopeCoverage({coverage.get(), size.width, size.height}, record);
            benchmark::DoNotOptimize(coverage.get());
        }
        benchmark::ClobberMemory();
    }
}

std::string DepthName(PixelDepth depth) {
    return depth == PixelDepth::k8 ? "8bit" : "32bit";
}

const char* MapName(bool tiled) {
    return tiled ? "/tiles" : "/full";
}

void RegisterAll() {
    for (const FrameSize& size : kSizes) {
        for (PixelDepth depth : kDepths) {
            for (bool composite : {false, true}) {
                const std::string frameName = std::string(size.name) + "/" + DepthName(depth) +
                                              (composite ? "/composite" : "/clear");
                // cairo draws no markers: the yardstick cases have none.
                for (int segments : kSegmentCounts) {
                    const RopeRenderData record = HangingRope(size, segments, composite, false);
                    benchmark::RegisterBenchmark(("RenderRopeCPU/" + frameName + "/" +
                                                  std::to_string(segments * 4) + "pieces")
                                                     .c_str(),
                                                 [=](benchmark::State& state) {
                                                     RunRender(state, size, depth, record, true);
                                                 })
                        ->Unit(benchmark::kMillisecond);
                }
                // The same with a marker on every node, as a built record has.
                for (int segments : kSegmentCounts) {
                    const RopeRenderData record = HangingRope(size, segments, composite, true);
                    benchmark::RegisterBenchmark(("RenderRopeCPUMarkers/" + frameName + "/" +
                                                  std::to_string(segments * 4) + "pieces")
                                                     .c_str(),
                                                 [=](benchmark::State& state) {
                                                     RunRender(state, size, depth, record, false);
                                                 })
                        ->Unit(benchmark::kMillisecond);
                }
                // No pieces: the call ends after preparing the output.
                RopeRenderData empty = HangingRope(size, 1, composite);
                empty.points.clear();
                benchmark::RegisterBenchmark(
                    ("Prepare/" + frameName).c_str(),
                    [=](benchmark::State& state) { RunRender(state, size, depth, empty, false); })
                    ->Unit(benchmark::kMillisecond);
            }
            for (int segments : kSegmentCounts) {
                const RopeRenderData record = HangingRope(size, segments, false);
                for (bool tiled : {false, true}) {
                    const std::string name = std::string("Blend/") + size.name + "/" +
                                             DepthName(depth) + "/" + std::to_string(segments * 4) +
                                             "pieces" + MapName(tiled);
                    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                        if (depth == PixelDepth::k8) {
                            RunBlend<uint8_t>(state, size, depth, record, tiled);
                        } else {
                            RunBlend<float>(state, size, depth, record, tiled);
                        }
                    })->Unit(benchmark::kMillisecond);
                }
            }
        }
        for (int segments : kSegmentCounts) {
            const RopeRenderData record = HangingRope(size, segments, false);
            for (bool tiled : {false, true}) {
                benchmark::RegisterBenchmark(
                    (std::string("Coverage/") + size.name + "/" + std::to_string(segments * 4) +
                     "pieces" + MapName(tiled))
                        .c_str(),
                    [=](benchmark::State& state) { RunCoverage(state, size, record, tiled); })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

const bool registered = (RegisterAll(), true);

}  // namespace
}  // namespace tarsivel
