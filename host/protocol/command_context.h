// One command as the host runs it: the records handed to the plug-in, the
// command's own accounts and failure plan. The effect reference the plug-in
// receives points here, so every callback finds its command.
#ifndef TARSIVEL_HOST_PROTOCOL_COMMAND_CONTEXT_H
#define TARSIVEL_HOST_PROTOCOL_COMMAND_CONTEXT_H

#include <cstdint>

#include "host/protocol/failure_plan.h"
#include "host/protocol/ledger.h"
#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_out_flags.h"

namespace tarsivel::host {

class EffectInstance;

// This host's own application id.
inline constexpr A_long kReferenceHostApplId = A_long(PF_FOURCC('T', 's', 'H', 'o'));

// The command's time and resolution, and what is to fail.
struct CommandSettings {
    A_long currentTime = 0;
    A_long timeStep = 1;
    A_long localTimeStep = 1;
    A_u_long timeScale = 30;
    PF_RationalScale downsampleX{1, 1};
    PF_RationalScale downsampleY{1, 1};
    A_long outputOriginX = 0;
    A_long outputOriginY = 0;
    A_long applId = kReferenceHostApplId;
    FailurePlan failures;
};

class CommandContext {
  public:
    CommandContext(EffectInstance& instance, const CommandSettings& settings);
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;
    ~CommandContext();

    PF_InData& InData() { return in_; }
    PF_OutData& OutData() { return out_; }
    Ledger& Accounts() { return ledger_; }
    FailurePlan& Failures() { return failures_; }
    EffectInstance& Instance() { return instance_; }
    const CommandSettings& Settings() const { return settings_; }

    // The host's record behind the command's extra pointer (a pre-render or
    // render session), for the callbacks that need it. Owned by the caller.
    void SetSession(void* session) { session_ = session; }
    void* Session() const { return session_; }

    // The command an effect reference belongs to; null for anything else.
    static CommandContext* FromEffectRef(PF_ProgPtr effect_ref);
    // The command running on this thread (for the callbacks that get no effect
    // reference, such as the basic suite's).
    static CommandContext* Current();

  private:
    static constexpr uint32_t kMagic = 0x54734378;
    uint32_t magic_ = kMagic;
    EffectInstance& instance_;
    CommandSettings settings_;
    FailurePlan failures_;
    Ledger ledger_;
    PF_UtilCallbacks utils_{};
    PF_InData in_{};
    PF_OutData out_{};
    void* session_ = nullptr;
    CommandContext* previous_;
};

}  // namespace tarsivel::host

#endif
