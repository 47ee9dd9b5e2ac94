#include "render_rope_cpu.h"

#include <algorithm>
#include <cstring>

#include "argb_view.h"
#include "channel_math.h"
#include "coverage_map.h"
#include "cpu_blend.h"
#include "node_disc.h"
#include "pf_api.h"
#include "scoped_suite.h"

namespace tarsivel {
namespace {

PF_Err CopyInputToOutput(PF_InData* in_data, PF_OutData* out_data, PF_EffectWorld* inputWorld,
                         PF_EffectWorld* outputWorld) {
    ScopedSuite<PF_WorldTransformSuite1> transform(in_data, kPFWorldTransformSuite,
                                                   kPFWorldTransformSuiteVersion1, out_data);
    return transform->copy(in_data->effect_ref, inputWorld, outputWorld, nullptr, nullptr);
}

// 4 for every format but the two wider ones, unknown formats included.
std::ptrdiff_t BytesPerPixel(PF_PixelFormat pixelFormat) {
    switch (pixelFormat) {
        case PF_PixelFormat_ARGB128:
            return 16;
        case PF_PixelFormat_ARGB64:
            return 8;
        default:
            return 4;
    }
}

// Zeroes the pixels of every row and leaves the row padding alone. A world
// whose rows are closer together than its pixels claim is cleared only up to
// the row distance, so no row is written past the next one's start.
void ClearOutput(const PF_EffectWorld& outputWorld, PF_PixelFormat pixelFormat) {
    if (outputWorld.data == nullptr || outputWorld.width <= 0) {
        return;
    }
    const std::ptrdiff_t rowbytes = outputWorld.rowbytes;
    const std::ptrdiff_t bytes =
        std::min(std::ptrdiff_t{outputWorld.width} * BytesPerPixel(pixelFormat),
                 rowbytes < 0 ? -rowbytes : rowbytes);
    auto* data = reinterpret_cast<uint8_t*>(outputWorld.data);
    for (int32_t r = 0; r < outputWorld.height; ++r) {
        std::memset(data + r * rowbytes, 0, static_cast<size_t>(bytes));
    }
}

template <class Channel>
ArgbView<Channel> ViewOf(const PF_EffectWorld& world) {
    return {reinterpret_cast<uint8_t*>(world.data), world.width, world.height, world.rowbytes};
}

template <class Channel>
PF_Err DrawRope(const PF_EffectWorld& outputWorld, const RopeRenderData& renderData) {
    const ArgbView<Channel> output = ViewOf<Channel>(outputWorld);
    // Without a piece nothing is drawn, not even the node markers.
    if (renderData.points.size() < 4 || output.Empty()) {
        return PF_Err_NONE;
    }
    // The map is kept in tiles, so only the part of the frame the rope reaches
    // is zeroed, accumulated and blended.
    CoverageTiles coverage;
    if (!coverage.Reset(output.width, output.height)) {
        return PF_Err_OUT_OF_MEMORY;  // the prepared output stays for the host
    }
    coverage.AddRope(renderData);
    BlendRopeColour(
        coverage, output,
        RopeColour{renderData.colorA, renderData.colorR, renderData.colorG, renderData.colorB});
    if (renderData.showNodes) {
        DrawNodeMarkers(output, renderData, FullValue<Channel>());
    }
    return PF_Err_NONE;
}

}  // namespace

// Every failure but a missing suite is returned, not thrown: smart render checks
// the layer in after the renderer and answers the renderer's code ahead of the
// check-in's.
PF_Err RenderRopeCPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* /*extra*/, const RopeRenderData& renderData) {
    const bool hasPixels =
        outputWorld != nullptr && outputWorld->width > 0 && outputWorld->height > 0;
    if (outputWorld == nullptr || (hasPixels && outputWorld->data == nullptr)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (renderData.compositeOnOriginal) {
        if (const PF_Err err = CopyInputToOutput(in_data, out_data, inputWorld, outputWorld)) {
            return err;
        }
    } else {
        ClearOutput(*outputWorld, pixelFormat);
    }
    // An unknown format is refused whether or not there is anything to draw,
    // and before any coverage map is allocated.
    switch (pixelFormat) {
        case PF_PixelFormat_ARGB32:
            return DrawRope<uint8_t>(*outputWorld, renderData);
        case PF_PixelFormat_ARGB64:
            return DrawRope<uint16_t>(*outputWorld, renderData);
        case PF_PixelFormat_ARGB128:
            return DrawRope<float>(*outputWorld, renderData);
        default:
            return PF_Err_BAD_CALLBACK_PARAM;
    }
}

}  // namespace tarsivel
