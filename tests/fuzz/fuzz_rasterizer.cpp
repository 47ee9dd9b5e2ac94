// The CPU rasterizer on damaged render records (non-finite values, lists of
// odd lengths, huge widths) at all three depths, over and without the input:
// it returns a code and writes only inside the output world.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host/protocol/image_world.h"
#include "physics/rope_render_data.h"
#include "render/render_rope_cpu.h"

namespace {

// Mostly ordinary coordinates, sometimes any bits at all.
float Value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return in.ConsumeBool() ? std::numeric_limits<float>::infinity()
                                    : -std::numeric_limits<float>::infinity();
        case 2: {
            const uint32_t bits = in.ConsumeIntegral<uint32_t>();
            float f;
            static_assert(sizeof f == sizeof bits);
            __builtin_memcpy(&f, &bits, sizeof f);
            return f;
        }
        case 3:
            return in.ConsumeFloatingPointInRange(-1e9f, 1e9f);
        default:
            return in.ConsumeFloatingPointInRange(-16.0f, 80.0f);
    }
}

std::vector<float> List(FuzzedDataProvider& in) {
    std::vector<float> list(in.ConsumeIntegralInRange<std::size_t>(0, 41));
    for (float& v : list) {
        v = Value(in);
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace tarsivel;
    using namespace tarsivel::host;
    FuzzedDataProvider in(data, size);
    const PixelDepth depth =
        in.PickValueInArray({PixelDepth::k8, PixelDepth::k16, PixelDepth::k32});
    const int32_t width = in.ConsumeIntegralInRange(1, 64);
    const int32_t height = in.ConsumeIntegralInRange(1, 64);
    RopeRenderData record;
    record.showNodes = in.ConsumeBool();
    record.compositeOnOriginal = in.ConsumeBool();
    record.thicknessStart = Value(in);
    record.thicknessEnd = Value(in);
    record.colorA = Value(in);
    record.colorR = Value(in);
    record.colorG = Value(in);
    record.colorB = Value(in);
    record.points = List(in);
    record.segThickness = List(in);
    record.nodePoints = List(in);
    record.nodeThickness = List(in);

    EffectInstance instance(nullptr, width, height);
    ImageWorld input(width, height, depth), output(width, height, depth);
    input.Fill({1.0f, 0.25f, 0.5f, 0.75f});
    const CommandResult result = instance.RunHandler([&](PF_InData* in_data, PF_OutData* out_data) {
        try {
            return RenderRopeCPU(in_data, out_data, output.Format(), input.World(), output.World(),
                                 nullptr, record);
        } catch (PF_Err err) {
            return err;
        }
    });
    if (!result.Balanced() || !output.PaddingIntact() || !input.PaddingIntact()) {
        __builtin_trap();
    }
    return 0;
}
