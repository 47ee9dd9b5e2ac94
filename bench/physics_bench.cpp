// Cost of one simulated frame (StepRope) for typical and heavy scenes, the broad phase against the
// all-pairs loops it must match bit for bit, in the same run. Each scene is timed twice:
// `all_pairs` (StepRopeAllPairs, every link against every edge and every node pair) and
// `broad_phase` (StepRope). The broad-phase case also times the all-pairs step itself before its
// own loop and reports the ratio as `speedup`, next to the target the label names, so a broad
// phase that quietly falls back to testing everything shows as a missed target here.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "physics/collider_contacts.h"
#include "physics/step_rope.h"
#include "tests/support/step_rope_all_pairs.h"

namespace tarsivel {
namespace {

constexpr double kTwoPi = 2.0 * 3.141592653589793;

// A mask outline of `vertices` corners, each straight span cut into ten edges as mask gathering
// cuts every span. Open outlines leave out the closing span.
void AddOutline(std::vector<MaskCollider>& edges, int vertices, Vec2 centre, Vec2 radius,
                bool closed = true) {
    const int spans = closed ? vertices : vertices - 1;
    for (int v = 0; v < spans; ++v) {
        const double a0 = kTwoPi * v / vertices;
        const double a1 = kTwoPi * (v + 1) / vertices;
        const Vec2 p{centre.x + radius.x * std::cos(a0), centre.y + radius.y * std::sin(a0)};
        const Vec2 q{centre.x + radius.x * std::cos(a1), centre.y + radius.y * std::sin(a1)};
        for (int k = 0; k < 10; ++k) {
            const Vec2 s = Lerp(p, q, k / 10.0);
            const Vec2 e = Lerp(p, q, (k + 1) / 10.0);
            edges.push_back({s.x, s.y, e.x, e.y});
        }
    }
}

enum class Colliders { kNone, kPlankAndLedge, kThreeMasks, kEightMasks, kFarMask, kNearMask };

struct Scene {
    int32_t segments;
    int32_t substeps;
    Colliders colliders;
    bool selfCollision;
    double targetSpeedup;
};

// (a) a 4-vertex plank moving during the frame and an open 3-vertex ledge: 60 edges; (b) three
// 8-vertex masks: 240 edges; (c) eight 10-vertex masks: 800 edges; (f) one 1000-vertex mask,
// 10,000 edges, far from the rope or under it.
void SceneEdges(Colliders colliders, std::vector<MaskCollider>& start,
                std::vector<MaskCollider>& end) {
    switch (colliders) {
        case Colliders::kNone:
            break;
        case Colliders::kPlankAndLedge:
            AddOutline(start, 4, {900.0, 800.0}, {220.0, 40.0});
            AddOutline(start, 3, {1150.0, 900.0}, {120.0, 90.0}, false);
            break;
        case Colliders::kThreeMasks:
            for (int m = 0; m < 3; ++m) {
                AddOutline(start, 8, {950.0 + 150.0 * m, 800.0 + 40.0 * m}, {300.0, 120.0});
            }
            break;
        case Colliders::kEightMasks:
            for (int m = 0; m < 8; ++m) {
                AddOutline(start, 10, {560.0 + 110.0 * m, 780.0 + 30.0 * (m % 3)}, {60.0, 45.0});
            }
            break;
        case Colliders::kFarMask:  // About 5,000 px to the right of the rope.
            AddOutline(start, 1000, {6200.0, 800.0}, {300.0, 120.0});
            break;
        case Colliders::kNearMask:  // Under the rope, which falls onto it.
            AddOutline(start, 1000, {950.0, 800.0}, {300.0, 120.0});
            break;
    }
    end = start;
    if (colliders == Colliders::kPlankAndLedge) {
        for (std::size_t k = 0; k < 40; ++k) {  // The plank rises 2 px a frame.
            end[k].y0 -= 2.0;
            end[k].y1 -= 2.0;
        }
    }
}

// Default points on a 1920 x 1080 layer, a slack rope that falls onto the colliders, light wind.
RopeStepSettings SceneSettings(const Scene& scene, const std::vector<MaskCollider>& start,
                               const std::vector<MaskCollider>& end) {
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
    settings.collidersStart = start;
    settings.collidersEnd = end;
    settings.thickness = 7.5;
    return settings;
}

// The rope after 30 frames of falling and settling, as a replay meets it.
struct Settled {
    std::vector<MaskCollider> start;
    std::vector<MaskCollider> end;
    RopeStepSettings settings;
    Rope rope;

    explicit Settled(const Scene& scene) {
        SceneEdges(scene.colliders, start, end);
        settings = SceneSettings(scene, start, end);
        rope = BuildRope(settings.anchorA, settings.anchorB, true, true, scene.segments,
                         settings.ropeLength);
        for (int frame = 0; frame < 30; ++frame) {
            StepRope(rope, settings);
            settings.time += settings.frameDuration;
        }
    }
};

void ReportWork(benchmark::State& state, const Settled& settled, bool allPairs) {
    BroadPhaseStats stats;
    Rope rope = settled.rope;
    StepRope(rope, settled.settings, stats);
    if (stats.linkEdgePairs > 0) {
        const auto tests =
            static_cast<double>(allPairs ? stats.linkEdgePairs : stats.closestPointTests);
        state.counters["closest_point_tests"] = tests;
        state.counters["skipped"] = 1.0 - tests / static_cast<double>(stats.linkEdgePairs);
    }
    if (stats.selfCollisionPasses > 0) {
        const auto pairs = static_cast<double>(stats.selfCollisionPairs);
        state.counters["pair_tests"] =
            allPairs ? pairs : static_cast<double>(stats.selfCollisionTests);
        // The share of passes the broad phase left to the all-pairs loop; the
        // all-pairs rows have no broad phase to fall back from.
        if (!allPairs) {
            state.counters["fallbacks"] = static_cast<double>(stats.selfCollisionFallbacks) /
                                          static_cast<double>(stats.selfCollisionPasses);
        }
    }
}

// Steps the settled rope one frame an iteration with `step`, then reports the work of a frame.
template <typename Step>
void TimeFrames(benchmark::State& state, const Scene& scene, bool allPairs, Step step) {
    const Settled settled(scene);
    for (auto _ : state) {
        Rope rope = settled.rope;
        step(rope, settled.settings);
        benchmark::DoNotOptimize(rope.data());
    }
    ReportWork(state, settled, allPairs);
}

void AllPairs(benchmark::State& state, Scene scene) {
    TimeFrames(state, scene, true, [](Rope& rope, const RopeStepSettings& settings) {
        StepRopeAllPairs(rope, settings);
    });
}

double SecondsPerAllPairsFrame(const Settled& settled) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    int frames = 0;
    do {
        Rope rope = settled.rope;
        StepRopeAllPairs(rope, settled.settings);
        benchmark::DoNotOptimize(rope.data());
        ++frames;
    } while (Clock::now() - begin < std::chrono::milliseconds(300));
    return std::chrono::duration<double>(Clock::now() - begin).count() / frames;
}

void BroadPhase(benchmark::State& state, Scene scene) {
    using Clock = std::chrono::steady_clock;
    const Settled settled(scene);
    const double allPairs = SecondsPerAllPairsFrame(settled);
    const Clock::time_point begin = Clock::now();
    int64_t frames = 0;
    for (auto _ : state) {
        Rope rope = settled.rope;
        StepRope(rope, settled.settings);
        benchmark::DoNotOptimize(rope.data());
        ++frames;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    ReportWork(state, settled, false);
    state.counters["speedup"] = allPairs / (seconds / static_cast<double>(frames));
    state.SetLabel("target " + std::to_string(static_cast<int>(scene.targetSpeedup)) + "x");
}

#define TARSIVEL_SCENE(name, scene)                                          \
    BENCHMARK_CAPTURE(AllPairs, name, scene)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BroadPhase, name, scene)->Unit(benchmark::kMillisecond)

TARSIVEL_SCENE(a_24seg_8sub_60_edges, (Scene{24, 8, Colliders::kPlankAndLedge, false, 10}));
TARSIVEL_SCENE(b_128seg_32sub_three_masks, (Scene{128, 32, Colliders::kThreeMasks, false, 20}));
TARSIVEL_SCENE(c_64seg_8sub_800_edges, (Scene{64, 8, Colliders::kEightMasks, false, 20}));
TARSIVEL_SCENE(d_64seg_8sub_self_collision, (Scene{64, 8, Colliders::kNone, true, 1}));
TARSIVEL_SCENE(d_1024seg_8sub_self_collision, (Scene{1024, 8, Colliders::kNone, true, 5}));
TARSIVEL_SCENE(e_24seg_8sub_no_colliders, (Scene{24, 8, Colliders::kNone, false, 1}));

// A replayed frame with the broad phase alone: the all-pairs loop over 10,000 edges would take
// seconds a frame and tells nothing new here.
void Replay(benchmark::State& state, Scene scene) {
    TimeFrames(state, scene, false,
               [](Rope& rope, const RopeStepSettings& settings) { StepRope(rope, settings); });
}
BENCHMARK_CAPTURE(Replay, f_64seg_8sub_far_mask, (Scene{64, 8, Colliders::kFarMask, false, 1}))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Replay, f_64seg_8sub_near_mask, (Scene{64, 8, Colliders::kNearMask, false, 1}))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Replay, f_64seg_8sub_no_mask, (Scene{64, 8, Colliders::kNone, false, 1}))
    ->Unit(benchmark::kMillisecond);

// The closest-point query on its own, over a spread of link-edge pairs.
void ClosestPointsAlone(benchmark::State& state) {
    std::vector<MaskCollider> edges;
    std::vector<MaskCollider> links;
    AddOutline(edges, 64, {0.0, 0.0}, {50.0, 50.0});
    AddOutline(links, 64, {10.0, 5.0}, {45.0, 45.0});
    for (auto _ : state) {
        for (std::size_t l = 0; l < links.size(); l += 10) {
            const MaskCollider& link = links[l];
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
        64.0 * 640.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ClosestPointsAlone);

}  // namespace
}  // namespace tarsivel
