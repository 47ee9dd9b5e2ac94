// Smart pre-render through the reference host at frame 300 (30 fps), against
// the bare simulation of the same 301 frames, so the share spent outside the
// step (parameter checkouts, mask gathering, record building) shows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/effect_instance.h"
#include "host/pre_render_session.h"
#include "params/param_index.h"
#include "params/params_setup.h"
#include "physics/mask_colliders.h"
#include "physics/smart_pre_render.h"
#include "physics/step_rope.h"

namespace tarsivel {
namespace {

PF_Err Entry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**, PF_LayerDef*,
             void* extra) {
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        return ParamsSetup(in_data, out_data);
    }
    return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
}

std::vector<host::MaskVertex> Octagon(double cx, double cy, double r) {
    std::vector<host::MaskVertex> v;
    for (int i = 0; i < 8; ++i) {
        const double a = i * 0.7853981633974483;
        v.push_back(host::CornerVertex(cx + r * std::cos(a), cy + r * 0.4 * std::sin(a)));
    }
    return v;
}

struct Case {
    int segments;
    int substeps;
    int masks;  // 0: none; 1: one chosen; 3: "Use All Masks"
};

std::unique_ptr<host::EffectInstance> MakeInstance(const Case& c) {
    auto instance = std::make_unique<host::EffectInstance>(Entry, 1920, 1080);
    instance->Run(PF_Cmd_PARAMS_SETUP);
    host::ParamStore& p = instance->Params();
    p.SetValue(kParamSegments, host::ParamValue::Scalar(c.segments));
    p.SetValue(kParamSubsteps, host::ParamValue::Scalar(c.substeps));
    for (int m = 0; m < c.masks; ++m) {
        instance->Masks().Add(false, Octagon(950.0 + 150.0 * m, 800.0 + 40.0 * m, 300.0));
    }
    if (c.masks == 1) {
        p.SetValue(kParamCollisionMask, host::ParamValue::Scalar(101));
    } else if (c.masks > 1) {
        p.SetValue(kParamUseAllMasks, host::ParamValue::Scalar(1));
    }
    return instance;
}

const Case kCases[] = {{16, 8, 0}, {16, 8, 1}, {128, 32, 3}};

void BM_SmartPreRenderAtFrame300(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    auto instance = MakeInstance(c);
    host::CommandSettings settings;
    settings.currentTime = 300;
    for (auto _ : state) {
        host::PreRenderSession session(*instance, settings);
        benchmark::DoNotOptimize(session.Run(*instance, settings).err);
    }
    state.SetLabel(std::to_string(c.segments) + " segments, " + std::to_string(c.substeps) +
                   " substeps, " + std::to_string(c.masks) + " masks");
}
BENCHMARK(BM_SmartPreRenderAtFrame300)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
// About 3e9 closest-point tests a call: one iteration says enough.
BENCHMARK(BM_SmartPreRenderAtFrame300)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same 301 frames stepped directly, with the default motion parameters
// and the same edges, to compare against.
void BM_BareSimulationOf301Frames(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    std::vector<MaskCollider> edges;
    for (int m = 0; m < c.masks; ++m) {
        const auto v = Octagon(950.0 + 150.0 * m, 800.0 + 40.0 * m, 300.0);
        for (std::size_t j = 0; j < v.size(); ++j) {
            const auto& a = v[j];
            const auto& b = v[(j + 1) % v.size()];
            FlattenCubicSpan({a.x, a.y}, {a.outX, a.outY}, {b.inX, b.inY}, {b.x, b.y}, edges);
        }
    }
    RopeStepSettings s;
    s.anchorA = s.prevAnchorA = {633.6, 540.0};
    s.anchorB = s.prevAnchorB = {1267.2, 540.0};
    s.attachA = s.attachB = true;
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
        for (int f = 0; f <= 300; ++f) {
            s.time = f / 30.0;
            StepRope(rope, s);
        }
        benchmark::DoNotOptimize(rope.data());
    }
}
BENCHMARK(BM_BareSimulationOf301Frames)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSimulationOf301Frames)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarsivel
