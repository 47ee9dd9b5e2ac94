#include "host/protocol/host_callbacks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/protocol/callback_guard.h"
#include "host/protocol/command_context.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/suite_registry.h"
#include "host/protocol/unexpected_calls.h"

namespace tarsivel::host {
namespace {

SPErr AcquireSuite(const char* name, int32_t version, const void** suite) {
    CommandContext* command = CommandContext::Current();
    if (command == nullptr || name == nullptr || suite == nullptr) {
        return kSuiteNotFoundError;
    }
    if (auto err = command->Failures().Consult(HostCall::AcquireSuite, name)) {
        return *err;
    }
    auto found = command->Instance().Suites().Find(name, version);
    if (!found) {
        return kSuiteNotFoundError;
    }
    // Counted before it is handed out: a count that cannot be kept hands nothing out.
    command->Accounts().SuiteAcquired(name, version);
    *suite = *found;
    return 0;
}

SPErr ReleaseSuite(const char* name, int32_t version) {
    CommandContext* command = CommandContext::Current();
    if (command == nullptr || name == nullptr) {
        return kSuiteNotFoundError;
    }
    return command->Accounts().SuiteReleased(name, version) ? 0 : kSuiteNotFoundError;
}

SPBasicSuite MakeBasicSuite() {
    auto suite = UnexpectedTable<SPBasicSuite>();
    suite.AcquireSuite = Guarded<AcquireSuite>;
    suite.ReleaseSuite = Guarded<ReleaseSuite>;
    return suite;
}

SPBasicSuite basicSuite = MakeBasicSuite();

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || def == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const std::string name(def->name, strnlen(def->name, sizeof def->name));
    if (auto err = command->Failures().Consult(HostCall::AddParam, name)) {
        return *err;
    }
    std::string problem;
    const PF_Err err = command->Instance().Params().Declare(index, *def, problem);
    if (err != PF_Err_NONE) {
        command->Accounts().Misuse("add_param refused \"" + name + "\": " + problem);
    }
    return err;
}

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                     A_long /*time_step*/, A_u_long time_scale, PF_ParamDef* param) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto err = command->Failures().Consult(HostCall::CheckoutParam, std::to_string(index))) {
        return *err;
    }
    const CommandSettings& settings = command->Settings();
    const PF_Err err = command->Instance().Params().Deliver(
        index, what_time, time_scale, settings.downsampleX, settings.downsampleY, param);
    if (err == PF_Err_NONE) {
        command->Accounts().ParamCheckedOut(param, index, what_time);
    }
    return err;
}

PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!command->Accounts().ParamCheckedIn(param)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // An injected failure still takes the parameter back: the plug-in did its part.
    if (auto err = command->Failures().Consult(HostCall::CheckinParam)) {
        return *err;
    }
    return PF_Err_NONE;
}

// Whether the command running on this thread fails this utility call.
bool UtilityCallFails(HostCall call) noexcept {
    CommandContext* command = CommandContext::Current();
    try {
        return command != nullptr && command->Failures().Consult(call).has_value();
    } catch (...) {
        return true;
    }
}

// Guarded by hand: a guard cannot forward a variable argument list. A failed
// call writes nothing and answers a negative count, as C's does.
[[gnu::format(printf, 2, 3)]] int AnsiSprintf(A_char* buffer, const A_char* format, ...) noexcept {
    if (UtilityCallFails(HostCall::AnsiSprintf)) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int written = std::vsprintf(buffer, format, args);
    va_end(args);
    return written;
}

A_char* AnsiStrcpy(A_char* dest, const A_char* src) noexcept {
    if (UtilityCallFails(HostCall::AnsiStrcpy)) {
        return nullptr;
    }
    return std::strcpy(dest, src);
}

}  // namespace

SPBasicSuite* BasicSuite() {
    return &basicSuite;
}

PF_InteractCallbacks InteractCallbacks() {
    auto callbacks = UnexpectedTable<PF_InteractCallbacks>();
    callbacks.checkout_param = Guarded<CheckoutParam>;
    callbacks.checkin_param = Guarded<CheckinParam>;
    callbacks.add_param = Guarded<AddParam>;
    return callbacks;
}

PF_UtilCallbacks UtilCallbacks() {
    auto utils = UnexpectedTable<PF_UtilCallbacks>();
    utils.ansi.sprintf = AnsiSprintf;
    utils.ansi.strcpy = AnsiStrcpy;
    return utils;
}

void ReportUnexpectedCall(const char* slot) noexcept {
    CommandContext* command = CommandContext::Current();
    if (command == nullptr) {
        return;
    }
    try {
        command->Accounts().Misuse(std::string("called ") + slot +
                                   ", which the effect is not documented to call");
    } catch (...) {
        // The accounts could not grow; the refusal the slot answers still stands.
    }
}

}  // namespace tarsivel::host
