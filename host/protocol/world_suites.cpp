// "PF World Suite" (the pixel format of a world) and "PF World Transform
// Suite" (copy between CPU worlds). Both answer from the world registry, so
// they know only worlds this host made.
#include <optional>

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/image_world.h"
#include "host/protocol/standard_suites.h"
#include "host/protocol/suite_registry.h"
#include "host/protocol/unexpected_calls.h"
#include "host/protocol/world_block_copy.h"
#include "host/protocol/world_registry.h"
#include "hostapi/pf_suites.h"

namespace tarsivel::host {
namespace {

PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* pixel_format) {
    // The call carries no effect reference; the command running on this
    // thread owns the failure plan.
    if (CommandContext* command = CommandContext::Current()) {
        if (auto err = command->Failures().Consult(HostCall::GetPixelFormat)) {
            return *err;
        }
    }
    if (world == nullptr || pixel_format == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const std::optional<PF_PixelFormat> format = RegisteredFormat(world);
    if (!format) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *pixel_format = *format;
    return PF_Err_NONE;
}

PF_Rect WholeWorld(const PF_EffectWorld& world) {
    return {0, 0, world.width, world.height};
}

bool Inside(const PF_Rect& rect, const PF_EffectWorld& world) {
    return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
           rect.right <= world.width && rect.bottom <= world.height;
}

std::optional<PixelDepth> CpuDepth(const PF_EffectWorld* world) {
    const std::optional<PF_PixelFormat> format = RegisteredFormat(world);
    return format ? DepthOf(*format) : std::nullopt;
}

// This host does not scale: both rectangles must have the same size and lie
// inside their worlds. Depths may differ; channels are converted.
PF_Err CopyWorld(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_rect,
                 PF_Rect* dst_rect) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::WorldCopy)) {
        return *err;
    }
    if (src == nullptr || dst == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const std::optional<PixelDepth> srcDepth = CpuDepth(src);
    const std::optional<PixelDepth> dstDepth = CpuDepth(dst);
    if (!srcDepth || !dstDepth) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_Rect from = src_rect != nullptr ? *src_rect : WholeWorld(*src);
    const PF_Rect to = dst_rect != nullptr ? *dst_rect : WholeWorld(*dst);
    if (!Inside(from, *src) || !Inside(to, *dst)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const int32_t width = from.right - from.left;
    const int32_t height = from.bottom - from.top;
    if (to.right - to.left != width || to.bottom - to.top != height) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    CopyWorldBlock({src, *srcDepth, from.left, from.top}, {dst, *dstDepth, to.left, to.top}, width,
                   height);
    return PF_Err_NONE;
}

PF_WorldSuite2 MakeWorldSuite() {
    auto suite = UnexpectedTable<PF_WorldSuite2>();
    suite.PF_GetPixelFormat = Guarded<GetPixelFormat>;
    return suite;
}

PF_WorldTransformSuite1 MakeWorldTransformSuite() {
    auto suite = UnexpectedTable<PF_WorldTransformSuite1>();
    suite.copy = Guarded<CopyWorld>;
    return suite;
}

const PF_WorldSuite2 worldSuite = MakeWorldSuite();
const PF_WorldTransformSuite1 worldTransformSuite = MakeWorldTransformSuite();

}  // namespace

void RegisterWorldSuites(SuiteRegistry& registry) {
    registry.Register(kPFWorldSuite, kPFWorldSuiteVersion2, &worldSuite);
    registry.Register(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &worldTransformSuite);
}

}  // namespace tarsivel::host
