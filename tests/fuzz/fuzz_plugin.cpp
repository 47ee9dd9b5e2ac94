// The effect driven through the reference host by a structured input:
// parameter values across and beyond their ranges, keyframes, masks with 0 to
// many vertices at ordinary, degenerate and huge coordinates, downsampling,
// times and time scales. Smart pre-render and CPU smart render must return a
// code, balance their accounts and write only inside the output world. The
// work of one input is capped (segments x substeps x replayed frames), so an
// input takes milliseconds.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

#include "entry/command_dispatch.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/image_world.h"
#include "host/protocol/pre_render_session.h"
#include "host/protocol/smart_render_session.h"
#include "params/param_index.h"
#include "params/param_table.h"

namespace {

using namespace tarsivel;
using namespace tarsivel::host;

constexpr int64_t kWorkBudget = 800;  // segments x substeps x replayed frames
constexpr int64_t kMaxFrames = 12;    // each reads every parameter and mask again
constexpr int kMaxMaskVertices = 16;  // over all masks

double Number(FuzzedDataProvider& in, double lo, double hi) {
    switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return in.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                    : -std::numeric_limits<double>::infinity();
        case 2:
            return in.ConsumeFloatingPoint<double>();
        case 3:
            return in.ConsumeFloatingPointInRange(-1e6, 1e6);
        default:
            return in.ConsumeFloatingPointInRange(lo, hi);
    }
}

ParamValue Value(FuzzedDataProvider& in, const ParamRow& row, int32_t width, int32_t height) {
    switch (row.kind) {
        case PF_Param_POINT:
            return ParamValue::Point(Number(in, -width, 2.0 * width),
                                     Number(in, -height, 2.0 * height));
        case PF_Param_CHECKBOX:
            return ParamValue::Scalar(in.ConsumeBool() ? 1 : 0);
        case PF_Param_COLOR:
            return ParamValue::Color(Number(in, 0, 255), Number(in, 0, 255), Number(in, 0, 255),
                                     Number(in, 0, 255));
        case PF_Param_ANGLE:
            return ParamValue::Scalar(Number(in, -720, 720));
        case PF_Param_PATH:
            return ParamValue::Scalar(in.ConsumeIntegralInRange(0, 106));
        default: {
            const double span = row.validMax - row.validMin;
            return ParamValue::Scalar(Number(in, row.validMin - span, row.validMax + span));
        }
    }
}

void SetParameters(FuzzedDataProvider& in, EffectInstance& instance, int32_t width,
                   int32_t height) {
    for (const ParamRow& row : ParamTable()) {
        if (row.kind == PF_Param_GROUP_START || row.kind == PF_Param_GROUP_END ||
            in.ConsumeIntegralInRange(0, 3) != 0) {
            continue;  // most entries keep their defaults
        }
        try {
            if (in.ConsumeBool()) {
                instance.Params().SetValue(row.index, Value(in, row, width, height));
            } else {
                std::vector<Keyframe> keys;
                int32_t time = in.ConsumeIntegralInRange(-100, 100);
                for (int k = in.ConsumeIntegralInRange(1, 3); k > 0; --k) {
                    keys.push_back({time, Value(in, row, width, height), in.ConsumeBool()});
                    time += in.ConsumeIntegralInRange(1, 200);
                }
                instance.Params().SetKeyframes(row.index, std::move(keys));
            }
        } catch (const std::invalid_argument&) {
            // A point or angle the host cannot hold in 16.16: no host sends one.
        }
    }
}

MaskVertex Vertex(FuzzedDataProvider& in, int32_t width, int32_t height) {
    const double x = Number(in, -8, width + 8.0);
    const double y = Number(in, -8, height + 8.0);
    if (in.ConsumeBool()) {
        return CornerVertex(x, y);
    }
    return {x,
            y,
            Number(in, -8, width + 8.0),
            Number(in, -8, height + 8.0),
            Number(in, -8, width + 8.0),
            Number(in, -8, height + 8.0)};
}

void AddMasks(FuzzedDataProvider& in, EffectInstance& instance, int32_t width, int32_t height) {
    int budget = kMaxMaskVertices;
    for (int m = in.ConsumeIntegralInRange(0, 3); m > 0; --m) {
        std::vector<MaskKeyframe> keys;
        int32_t time = in.ConsumeIntegralInRange(-50, 50);
        for (int k = in.ConsumeIntegralInRange(1, 3); k > 0; --k) {
            const int count = in.ConsumeIntegralInRange(0, std::min(budget, 12));
            budget -= count;
            MaskKeyframe key{time, {}};
            for (int v = 0; v < count; ++v) {
                key.vertices.push_back(Vertex(in, width, height));
            }
            keys.push_back(std::move(key));
            time += in.ConsumeIntegralInRange(1, 100);
        }
        instance.Masks().AddKeyframed(in.ConsumeBool(), std::move(keys));
    }
}

// The replayed frames of one pre-render, as the effect counts them.
int64_t ReplayedFrames(const CommandSettings& s, int64_t preRoll) {
    int64_t step = s.localTimeStep > 0 ? s.localTimeStep : int64_t(s.timeScale / 30);
    int64_t frames = preRoll;
    if (s.currentTime >= 0) {
        frames += step > 0 ? int64_t(s.currentTime) / step + 1 : 1;
    }
    return frames;
}

int64_t Integer(const EffectInstance& instance, ParamIndex index, const CommandSettings& s,
                int64_t lo, int64_t hi) {
    const double v = instance.Params().ValueAt(index, s.currentTime, s.timeScale).c[0];
    return std::clamp(std::isnan(v) ? lo : int64_t(std::clamp(v, -1e9, 1e9)), lo, hi);
}

// Keeps one input's work below the budget: at most kMaxFrames replayed frames
// (halving the pre-roll, then the requested time), then segments x substeps x
// frames at most kWorkBudget (halving the substeps, the pre-roll, the
// segments, then the requested time).
void CapWork(EffectInstance& instance, CommandSettings& s) {
    for (;;) {
        const int64_t segments = Integer(instance, kParamSegments, s, 2, 1024);
        const int64_t substeps = Integer(instance, kParamSubsteps, s, 1, 256);
        const int64_t preRoll = Integer(instance, kParamPreRollFrames, s, 0, 300);
        const int64_t frames = ReplayedFrames(s, preRoll);
        if (frames <= kMaxFrames && segments * substeps * frames <= kWorkBudget) {
            return;
        }
        if (frames > kMaxFrames) {
            if (preRoll > 0) {
                instance.Params().SetValue(kParamPreRollFrames,
                                           ParamValue::Scalar(double(preRoll / 2)));
            } else {
                s.currentTime /= 2;
            }
        } else if (substeps > 1) {
            instance.Params().SetValue(kParamSubsteps, ParamValue::Scalar(double(substeps / 2)));
        } else if (preRoll > 0) {
            instance.Params().SetValue(kParamPreRollFrames,
                                       ParamValue::Scalar(double(preRoll / 2)));
        } else if (segments > 2) {
            instance.Params().SetValue(kParamSegments, ParamValue::Scalar(double(segments / 2)));
        } else {
            s.currentTime /= 2;
        }
    }
}

CommandSettings Settings(FuzzedDataProvider& in) {
    CommandSettings s;
    s.timeScale = in.PickValueInArray<A_u_long>({0, 1, 24, 25, 30, 60, 600, 2997, 3000, 30000});
    s.localTimeStep = in.PickValueInArray<A_long>({0, -1, 1, 2, 50, 100, 1001});
    s.timeStep = s.localTimeStep;
    s.currentTime = in.ConsumeIntegralInRange<A_long>(-200, 20000);
    const A_long num = in.ConsumeIntegralInRange<A_long>(0, 4);
    s.downsampleX = {num, in.ConsumeIntegralInRange<A_u_long>(0, 4)};
    s.downsampleY = s.downsampleX;
    s.outputOriginX = in.ConsumeIntegralInRange<A_long>(-4, 4);
    s.outputOriginY = in.ConsumeIntegralInRange<A_long>(-4, 4);
    return s;
}

void Check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t width = in.ConsumeIntegralInRange(1, 96);
    const int32_t height = in.ConsumeIntegralInRange(1, 96);
    EffectInstance instance(DispatchCommand, width, height);
    Check(instance.Run(PF_Cmd_PARAMS_SETUP).err == PF_Err_NONE);
    CommandSettings settings = Settings(in);
    const PixelDepth depth =
        in.PickValueInArray({PixelDepth::k8, PixelDepth::k16, PixelDepth::k32});
    SetParameters(in, instance, width, height);
    AddMasks(in, instance, width, height);
    CapWork(instance, settings);

    PreRenderSession preRender(instance, settings);
    const CommandResult pre = preRender.Run(instance, settings);
    Check(pre.Balanced());
    const PF_LRect rect = preRender.LayerRect();
    if (pre.err != PF_Err_NONE || preRender.Record() == nullptr || rect.right <= 0 ||
        rect.bottom <= 0) {
        return 0;
    }
    ImageWorld input(rect.right, rect.bottom, depth), output(rect.right, rect.bottom, depth);
    input.Fill({0.5f, 0.25f, 0.5f, 0.75f});
    SmartRenderSession render(input.World(), output.World(), const_cast<void*>(preRender.Record()));
    const CommandResult result = render.Run(instance, settings, false);
    Check(result.Balanced() && output.PaddingIntact() && input.PaddingIntact());
    return 0;
}
