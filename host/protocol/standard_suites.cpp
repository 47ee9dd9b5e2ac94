#include "host/protocol/standard_suites.h"

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/host_callbacks.h"
#include "host/protocol/suite_registry.h"
#include "host/protocol/unexpected_calls.h"
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
PF_ANSICallbacksSuite1 MakeAnsiSuite() {
    auto suite = UnexpectedTable<PF_ANSICallbacksSuite1>();
    suite.sprintf = UtilCallbacks().ansi.sprintf;
    return suite;
}

PF_PixelFormatSuite1 MakePixelFormatSuite() {
    auto suite = UnexpectedTable<PF_PixelFormatSuite1>();
    suite.AddSupportedPixelFormat = Guarded<AddSupportedPixelFormat>;
    suite.ClearSupportedPixelFormats = Guarded<ClearSupportedPixelFormats>;
    return suite;
}

const PF_ANSICallbacksSuite1 ansiSuite = MakeAnsiSuite();
const PF_PixelFormatSuite1 pixelFormatSuite = MakePixelFormatSuite();

}  // namespace

void RegisterStandardSuites(SuiteRegistry& registry) {
    registry.Register(kPFANSISuite, kPFANSISuiteVersion1, &ansiSuite);
    registry.Register(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &pixelFormatSuite);
    RegisterPathSuites(registry);
    RegisterWorldSuites(registry);
    RegisterGpuSuites(registry);
}

}  // namespace tarsivel::host
