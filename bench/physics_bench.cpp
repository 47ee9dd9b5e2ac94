// Cost of one simulated frame (StepRope) for typical and heavy ropes. Besides the time per call,
// the counters spread it over the work the frame does: per link correction (substeps x 10 x
// links) and, with colliders, per closest-point test (that times the edge count).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "physics/closest_points.h"
#include "physics/step_rope.h"

namespace tarsivel {
namespace {

struct Scene {
    int32_t segments;
    int32_t substeps;
    int edges;
    bool selfCollision;
};

// A closed polygon of `count` edges, as mask gathering makes from an outline.
std::vector<MaskCollider> Ring(int count, Vec2 centre, double radius) {
    std::vector<MaskCollider> ring;
    ring.reserve(static_cast<std::size_t>(count));
    const double step = 2.0 * 3.141592653589793 / count;
    for (int k = 0; k < count; ++k) {
        const double a0 = step * k;
        const double a1 = step * (k + 1);
        ring.push_back({centre.x + radius * std::cos(a0), centre.y + radius * std::sin(a0),
                        centre.x + radius * std::cos(a1), centre.y + radius * std::sin(a1)});
    }
    return ring;
}

// Default points on a 1920 x 1080 layer, a slack rope that falls onto the ring, light wind.
RopeStepSettings SceneSettings(const Scene& scene, const std::vector<MaskCollider>& edges) {
    RopeStepSettings settings;
    settings.anchorA = settings.prevAnchorA = {633.6, 540.0};
    settings.anchorB = settings.prevAnchorB = {1267.2, 540.0};
    settings.attachA = settings.attachB = true;
    settings.selfCollision = scene.selfCollision;
    settings.segmentCount = scene.segments;
    settings.ropeLength = 900.0;
    settings.gravity = 2000.0;
    settings.stiffness = 0.9;
    settings.dampingRate = 1.0;
    settings.staticFriction = 0.2;
    settings.kineticFriction = 0.1;
    settings.bounce = 0.2;
    settings.windX = 100.0;
    settings.turbulenceAmount = 20.0;
    settings.turbulenceFrequency = 1.0;
    settings.substeps = scene.substeps;
    settings.frameDuration = 1.0 / 30.0;
    settings.collidersStart = edges;
    settings.collidersEnd = edges;
    settings.thickness = 7.5;
    return settings;
}

void StepRopePerFrame(benchmark::State& state, Scene scene) {
    const std::vector<MaskCollider> edges = Ring(scene.edges, {950.0, 760.0}, 80.0);
    RopeStepSettings settings = SceneSettings(scene, edges);
    Rope rope = BuildRope(settings.anchorA, settings.anchorB, true, true, scene.segments,
                          settings.ropeLength);
    // Let the rope fall and settle onto the ring before timing, as a replay would have.
    for (int frame = 0; frame < 30; ++frame) {
        StepRope(rope, settings);
        settings.time += settings.frameDuration;
    }
    for (auto _ : state) {
        StepRope(rope, settings);
        settings.time += settings.frameDuration;
        benchmark::DoNotOptimize(rope.data());
        benchmark::ClobberMemory();
    }
    const double links = 10.0 * scene.substeps * scene.segments;
    const auto perUnit =
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert;
    state.counters["per_link"] = benchmark::Counter(links, perUnit);
    if (scene.edges > 0) {
        state.counters["per_closest_point"] = benchmark::Counter(links * scene.edges, perUnit);
    }
    if (scene.selfCollision) {
        const double nodes = scene.segments + 1.0;
        const double pairs = (nodes - 1.0) * (nodes - 2.0) / 2.0;
        state.counters["per_pair"] = benchmark::Counter(10.0 * scene.substeps * pairs, perUnit);
    }
}

BENCHMARK_CAPTURE(StepRopePerFrame, a_16seg_8sub_no_edges, Scene{16, 8, 0, false})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(StepRopePerFrame, b_256seg_32sub_40_edges, Scene{256, 32, 40, false})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StepRopePerFrame, c_1024seg_8sub_self_collision, Scene{1024, 8, 0, true})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StepRopePerFrame, d_64seg_8sub_400_edges, Scene{64, 8, 400, false})
    ->Unit(benchmark::kMillisecond);

// The closest-point query on its own, over a spread of link-edge pairs.
void ClosestPointsAlone(benchmark::State& state) {
    const std::vector<MaskCollider> edges = Ring(64, {0.0, 0.0}, 50.0);
    const std::vector<MaskCollider> links = Ring(64, {10.0, 5.0}, 45.0);
    for (auto _ : state) {
        for (const MaskCollider& link : links) {
            for (const MaskCollider& edge : edges) {
                Vec2 onLink{};
                Vec2 onEdge{};
                benchmark::DoNotOptimize(ClosestPointsSegmentSegment(
                    {link.x0, link.y0}, {link.x1, link.y1}, {edge.x0, edge.y0}, {edge.x1, edge.y1},
                    onLink, onEdge));
            }
        }
    }
    state.counters["per_closest_point"] = benchmark::Counter(
        64.0 * 64.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ClosestPointsAlone);

}  // namespace
}  // namespace tarsivel
