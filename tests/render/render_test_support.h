// Records built by hand and a way to run the CPU renderer as smart render
// would, through the counting reference host.
#ifndef TARSIVEL_TESTS_RENDER_RENDER_TEST_SUPPORT_H
#define TARSIVEL_TESTS_RENDER_RENDER_TEST_SUPPORT_H

#include <memory>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host/protocol/image_world.h"
#include "physics/rope_render_data.h"
#include "render/raster/argb_view.h"
#include "render/render_rope_cpu.h"
#include "tests/support/render_records.h"

namespace tarsivel::testing {

using host::ImageWorld;
using host::PixelDepth;

// Runs RenderRopeCPU as a command of `instance`, catching a thrown code the
// way the dispatcher does. `format` defaults to the output world's own.
inline host::CommandResult RenderThroughHost(host::EffectInstance& instance, ImageWorld& input,
                                             ImageWorld& output, const RopeRenderData& record,
                                             PF_PixelFormat format = 0,
                                             host::CommandSettings settings = {}) {
    const PF_PixelFormat used = format != 0 ? format : output.Format();
    return instance.RunHandler(
        [&](PF_InData* in_data, PF_OutData* out_data) -> PF_Err {
            try {
                return RenderRopeCPU(in_data, out_data, used, input.World(), output.World(),
                                     nullptr, record);
            } catch (PF_Err err) {
                return err;
            }
        },
        settings);
}

template <class Channel>
ArgbView<Channel> ViewOf(ImageWorld& world) {
    return {reinterpret_cast<uint8_t*>(world.World()->data), world.Width(), world.Height(),
            world.Rowbytes()};
}

// True when every channel of every pixel is equal in the two worlds.
inline bool SamePixels(const ImageWorld& a, const ImageWorld& b) {
    for (int32_t y = 0; y < a.Height(); ++y) {
        for (int32_t x = 0; x < a.Width(); ++x) {
            const PF_PixelFloat p = a.ReadFloat(x, y);
            const PF_PixelFloat q = b.ReadFloat(x, y);
            if (p.alpha != q.alpha || p.red != q.red || p.green != q.green || p.blue != q.blue) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace tarsivel::testing

#endif
