#include "host/protocol/effect_instance.h"

#include "host/protocol/standard_suites.h"

namespace tarsivel::host {

std::string CommandResult::BalanceReport() const {
    std::string report;
    for (const std::string& line : imbalances) {
        report += line;
        report += '\n';
    }
    return report;
}

EffectInstance::EffectInstance(EffectMainFunc entry, int32_t layerWidth, int32_t layerHeight)
    : entry_(entry),
      layerWidth_(layerWidth),
      layerHeight_(layerHeight),
      params_(layerWidth, layerHeight) {
    RegisterStandardSuites(suites_);
}

CommandResult EffectInstance::Run(PF_Cmd cmd, const CommandSettings& settings, void* extra,
                                  void* session) {
    CommandContext command(*this, settings);
    command.SetSession(session);
    PF_Err err = PF_Err_BAD_CALLBACK_PARAM;
    if (entry_ != nullptr) {
        // No command the effect handles takes a parameter array or an output
        // layer: the smart commands check both out through their callbacks.
        err = entry_(cmd, &command.InData(), &command.OutData(), nullptr, nullptr, extra);
    }
    CommandResult result = Settle(command, err);
    if (cmd == PF_Cmd_PARAMS_SETUP && err == PF_Err_NONE) {
        std::lock_guard lock(stateMutex_);
        declaredParamCount_ = result.out.num_params;
    }
    return result;
}

CommandResult EffectInstance::RunHandler(
    const std::function<PF_Err(PF_InData*, PF_OutData*)>& handler,
    const CommandSettings& settings) {
    CommandContext command(*this, settings);
    const PF_Err err = handler(&command.InData(), &command.OutData());
    return Settle(command, err);
}

CommandResult EffectInstance::Settle(CommandContext& command, PF_Err err) {
    CommandResult result;
    result.err = err;
    result.out = command.OutData();
    result.accounts = command.Accounts();
    result.imbalances = result.accounts.Imbalances();
    for (std::string& change : command.RecordChanges()) {
        result.imbalances.push_back(std::move(change));
    }
    result.hostCalls = command.Failures().Calls();
    result.failedCalls = command.Failures().Failed();
    std::lock_guard lock(stateMutex_);
    globalData_ = result.out.global_data;
    return result;
}

PF_Handle EffectInstance::GlobalData() const {
    std::lock_guard lock(stateMutex_);
    return globalData_;
}

void EffectInstance::SetGlobalData(PF_Handle data) {
    std::lock_guard lock(stateMutex_);
    globalData_ = data;
}

void EffectInstance::ClearSupportedPixelFormats() {
    std::lock_guard lock(stateMutex_);
    pixelFormats_.clear();
    ++pixelFormatClears_;
}

void EffectInstance::AddSupportedPixelFormat(PrPixelFormat format) {
    std::lock_guard lock(stateMutex_);
    pixelFormats_.push_back(format);
}

std::vector<PrPixelFormat> EffectInstance::SupportedPixelFormats() const {
    std::lock_guard lock(stateMutex_);
    return pixelFormats_;
}

A_long EffectInstance::DeclaredParamCount() const {
    std::lock_guard lock(stateMutex_);
    return declaredParamCount_;
}

int EffectInstance::PixelFormatClears() const {
    std::lock_guard lock(stateMutex_);
    return pixelFormatClears_;
}

}  // namespace tarsivel::host
