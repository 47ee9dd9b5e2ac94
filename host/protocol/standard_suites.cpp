#include "host/protocol/standard_suites.h"

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/host_callbacks.h"
#include "host/protocol/suite_registry.h"
#include "hostapi/pf_suites.h"

namespace tarsivel::host {
namespace {

PF_Err ClearSupportedPixelFormats(PF_ProgPtr effect_ref) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::ClearSupportedPixelFormats)) {
        return *err;
    }
    command->Instance().ClearSupportedPixelFormats();
    return PF_Err_NONE;
}

PF_Err AddSupportedPixelFormat(PF_ProgPtr effect_ref, PrPixelFormat format) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::AddSupportedPixelFormat)) {
        return *err;
    }
    command->Instance().AddSupportedPixelFormat(format);
    return PF_Err_NONE;
}

// The suite shares its sprintf with the utility callbacks.
const PF_ANSICallbacksSuite1 ansiSuite{UtilCallbacks().ansi.sprintf};
const PF_PixelFormatSuite1 pixelFormatSuite{Guarded<ClearSupportedPixelFormats>,
                                            Guarded<AddSupportedPixelFormat>};

}  // namespace

void RegisterStandardSuites(SuiteRegistry& registry) {
    registry.Register(kPFANSISuite, kPFANSISuiteVersion1, &ansiSuite);
    registry.Register(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &pixelFormatSuite);
    RegisterPathSuites(registry);
    RegisterWorldSuites(registry);
    RegisterGpuSuites(registry);
}

}  // namespace tarsivel::host
