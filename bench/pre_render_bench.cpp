// Smart pre-render through the reference host, which replays every frame from time 0, against
// the bare simulation of the same frames stepped directly, both with the broad phase and with the
// all-pairs loops, in the same run. The plug-in has no switch for the all-pairs loops, so its
// pre-render is timed with the broad phase only; what the all-pairs loops would cost it is the
// pre-render plus the difference of the two bare simulations (the host's share, parameter
// checkouts and the per-frame collider rebuild, is the same for both).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host/protocol/pre_render_session.h"
#include "params/param_index.h"
#include "params/params_setup.h"
#include "physics/driver/mask_gathering.h"
#include "physics/driver/smart_pre_render.h"
#include "physics/step_rope.h"
#include "tests/support/step_rope_all_pairs.h"

namespace tarsivel {
namespace {

PF_Err Entry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**, PF_LayerDef*,
             void* extra) {
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        return ParamsSetup(in_data, out_data);
    }
    return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
}

struct Outline {
    bool open;
    std::vector<host::MaskVertex> vertices;
};

// `count` corners on an ellipse; mask gathering cuts every span into ten edges.
Outline Polygon(int count, double cx, double cy, double rx, double ry, bool open = false) {
    Outline outline{open, {}};
    for (int i = 0; i < count; ++i) {
        const double a = 2.0 * 3.141592653589793 * i / count;
        outline.vertices.push_back(
            host::CornerVertex(cx + rx * std::cos(a), cy + ry * std::sin(a)));
    }
    return outline;
}

struct Case {
    const char* name;
    int segments;
    int substeps;
    bool selfCollision;
    int frame;  // Replayed from 0 at 30 fps.
    std::vector<Outline> masks;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = [] {
        std::vector<Case> c;
        // (a) a plank and an open ledge: 40 + 20 edges.
        c.push_back({"a_24seg_8sub_60_edges",
                     24,
                     8,
                     false,
                     59,
                     {Polygon(4, 900, 800, 220, 40), Polygon(3, 1150, 900, 120, 90, true)}});
        // (b) three octagons: 240 edges.
        Case b{"b_128seg_32sub_three_masks", 128, 32, false, 300, {}};
        for (int m = 0; m < 3; ++m) {
            b.masks.push_back(Polygon(8, 950.0 + 150.0 * m, 800.0 + 40.0 * m, 300.0, 120.0));
        }
        c.push_back(b);
        // (c) eight 10-vertex masks: 800 edges.
        Case eight{"c_64seg_8sub_800_edges", 64, 8, false, 119, {}};
        for (int m = 0; m < 8; ++m) {
            eight.masks.push_back(Polygon(10, 560.0 + 110.0 * m, 780.0 + 30.0 * (m % 3), 60, 45));
        }
        c.push_back(eight);
        c.push_back({"d_64seg_8sub_self_collision", 64, 8, true, 119, {}});
        c.push_back({"d_1024seg_8sub_self_collision", 1024, 8, true, 59, {}});
        c.push_back({"e_24seg_8sub_no_colliders", 24, 8, false, 300, {}});
        return c;
    }();
    return cases;
}

std::unique_ptr<host::EffectInstance> MakeInstance(const Case& c) {
    auto instance = std::make_unique<host::EffectInstance>(Entry, 1920, 1080);
    instance->Run(PF_Cmd_PARAMS_SETUP);
    host::ParamStore& p = instance->Params();
    p.SetValue(kParamSegments, host::ParamValue::Scalar(c.segments));
    p.SetValue(kParamSubsteps, host::ParamValue::Scalar(c.substeps));
    p.SetValue(kParamEnableSelfCollision, host::ParamValue::Scalar(c.selfCollision ? 1 : 0));
    for (const Outline& outline : c.masks) {
        instance->Masks().Add(outline.open, outline.vertices);
    }
    if (!c.masks.empty()) {
        p.SetValue(kParamUseAllMasks, host::ParamValue::Scalar(1));
    }
    return instance;
}

void SmartPreRenderBroadPhase(benchmark::State& state, std::size_t index) {
    const Case& c = Cases()[index];
    auto instance = MakeInstance(c);
    host::CommandSettings settings;
    settings.currentTime = c.frame;
    for (auto _ : state) {
        host::PreRenderSession session(*instance, settings);
        benchmark::DoNotOptimize(session.Run(*instance, settings).err);
    }
}

// The same frames stepped directly with the default motion parameters and the same edges.
template <bool kAllPairs>
void BareSimulation(benchmark::State& state, std::size_t index) {
    const Case& c = Cases()[index];
    std::vector<MaskCollider> edges;
    for (const Outline& outline : c.masks) {
        const auto& v = outline.vertices;
        const std::size_t spans = outline.open ? v.size() - 1 : v.size();
        for (std::size_t j = 0; j < spans; ++j) {
            const auto& a = v[j];
            const auto& b = v[(j + 1) % v.size()];
            FlattenCubicSpan({a.x, a.y}, {a.outX, a.outY}, {b.inX, b.inY}, {b.x, b.y}, edges);
        }
    }
    RopeStepSettings s;
    s.anchorA = s.prevAnchorA = {633.6, 540.0};
    s.anchorB = s.prevAnchorB = {1267.2, 540.0};
    s.attachA = s.attachB = true;
    s.selfCollision = c.selfCollision;
    s.segmentCount = c.segments;
    s.substeps = c.substeps;
    s.ropeLength = 630.0;
    s.gravity = 2000.0;
    s.stiffness = 1.0 - double(0.1f);
    s.dampingRate = 1.0;
    s.turbulenceFrequency = 1.0;
    s.tearThresholdPercent = 100.0;
    s.frameDuration = 1.0 / 30.0;
    s.thickness = 7.5;
    s.collidersStart = s.collidersEnd = edges;
    for (auto _ : state) {
        Rope rope = BuildRope(s.anchorA, s.anchorB, true, true, c.segments, s.ropeLength);
        for (int f = 0; f <= c.frame; ++f) {
            s.time = f / 30.0;
            if constexpr (kAllPairs) {
                StepRopeAllPairs(rope, s);
            } else {
                StepRope(rope, s);
            }
        }
        benchmark::DoNotOptimize(rope.data());
    }
    state.counters["frames"] = c.frame + 1;
}

// Registered per case: the pre-render, then both bare simulations. All-pairs replays of the heavy
// scenes take seconds to minutes, so one iteration of each says enough.
const bool kRegistered = [] {
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const std::string name = Cases()[i].name;
        const bool heavy = i <= 2 || Cases()[i].segments > 100;
        auto* pre = benchmark::RegisterBenchmark(
            ("SmartPreRender/" + name + "/broad_phase").c_str(), SmartPreRenderBroadPhase, i);
        auto* bare = benchmark::RegisterBenchmark(
            ("BareSimulation/" + name + "/broad_phase").c_str(), BareSimulation<false>, i);
        auto* all = benchmark::RegisterBenchmark(("BareSimulation/" + name + "/all_pairs").c_str(),
                                                 BareSimulation<true>, i);
        for (auto* b : {pre, bare, all}) {
            b->Unit(benchmark::kMillisecond);
        }
        if (heavy) {
            all->Iterations(1);
        }
    }
    return true;
}();

}  // namespace
}  // namespace tarsivel
