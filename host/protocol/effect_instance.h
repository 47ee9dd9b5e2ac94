// One effect instance as a compositing host holds it: the plug-in's entry
// point, the suites offered, the parameters and what the plug-in declared.
// Commands may run on several threads at once; each keeps its own accounts.
#ifndef TARSIVEL_HOST_PROTOCOL_EFFECT_INSTANCE_H
#define TARSIVEL_HOST_PROTOCOL_EFFECT_INSTANCE_H

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/protocol/command_context.h"
#include "host/protocol/entry_types.h"
#include "host/protocol/ledger.h"
#include "host/protocol/mask_store.h"
#include "host/protocol/param_store.h"
#include "host/protocol/suite_registry.h"
#include "hostapi/pf_api.h"

namespace tarsivel::host {

struct CommandResult {
    PF_Err err = PF_Err_NONE;
    PF_OutData out{};
    Ledger accounts;
    // Outstanding suites and checkouts, and misuses; empty when balanced.
    std::vector<std::string> imbalances;
    // Host calls the command made (every kind the failure plan can fail), and
    // those the plan failed.
    int hostCalls = 0;
    std::vector<FailedCall> failedCalls;

    bool Balanced() const { return imbalances.empty(); }
    std::string BalanceReport() const;
};

class EffectInstance {
  public:
    explicit EffectInstance(EffectMainFunc entry, int32_t layerWidth = 1920,
                            int32_t layerHeight = 1080);

    // Sends one command to the entry point and settles its accounts. `session`
    // is the host's record behind `extra`, reachable from the callbacks.
    CommandResult Run(PF_Cmd cmd, const CommandSettings& settings = {}, void* extra = nullptr,
                      void* session = nullptr);

    // Runs any handler-shaped function as a command would (for code below the
    // entry point).
    CommandResult RunHandler(const std::function<PF_Err(PF_InData*, PF_OutData*)>& handler,
                             const CommandSettings& settings = {});

    SuiteRegistry& Suites() { return suites_; }
    ParamStore& Params() { return params_; }
    const ParamStore& Params() const { return params_; }
    MaskStore& Masks() { return masks_; }
    const MaskStore& Masks() const { return masks_; }
    int32_t LayerWidth() const { return layerWidth_; }
    int32_t LayerHeight() const { return layerHeight_; }
    PF_Handle GlobalData() const;
    // What the host hands the next command as out_data->global_data.
    void SetGlobalData(PF_Handle data);

    // What the plug-in declared through the pixel format suite.
    void ClearSupportedPixelFormats();
    void AddSupportedPixelFormat(PrPixelFormat format);
    std::vector<PrPixelFormat> SupportedPixelFormats() const;
    int PixelFormatClears() const;

    // What parameter set-up reported in out_data->num_params (the input layer
    // counted), which later commands find in in_data->num_params; 0 before.
    A_long DeclaredParamCount() const;

  private:
    CommandResult Settle(CommandContext& command, PF_Err err);

    EffectMainFunc entry_;
    int32_t layerWidth_;
    int32_t layerHeight_;
    SuiteRegistry suites_;
    ParamStore params_;
    MaskStore masks_;
    mutable std::mutex stateMutex_;
    PF_Handle globalData_ = nullptr;
    std::vector<PrPixelFormat> pixelFormats_;
    int pixelFormatClears_ = 0;
    A_long declaredParamCount_ = 0;
};

}  // namespace tarsivel::host

#endif
