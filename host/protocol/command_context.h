// One command as the host runs it: the records handed to the plug-in, the
// command's own accounts and failure plan. The effect reference the plug-in
// receives points here, so every callback finds its command.
#ifndef TARSIVEL_HOST_PROTOCOL_COMMAND_CONTEXT_H
#define TARSIVEL_HOST_PROTOCOL_COMMAND_CONTEXT_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/protocol/entry_types.h"
#include "host/protocol/failure_plan.h"
#include "host/protocol/ledger.h"
#include "hostapi/pf_api.h"

namespace tarsivel::host {

class EffectInstance;

// This host's own application id.
inline constexpr A_long kReferenceHostApplId = FourCharCode('T', 's', 'H', 'o');

// The command's time and resolution, and what is to fail.
struct CommandSettings {
    A_long currentTime = 0;
    A_long timeStep = 1;
    A_long localTimeStep = 1;
    A_u_long timeScale = 30;
    // The layer's duration in time-scale units (a scene's frames × time step).
    A_long totalTime = 0;
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

    // After the command: one line for each field of PF_InData the effect
    // changed, each field of PF_OutData it changed but may not write, and each
    // record whose guard bytes it overwrote. Empty when it kept to its fields.
    std::vector<std::string> RecordChanges() const;

  private:
    static constexpr uint32_t kMagic = 0x54734378;
    uint32_t magic_ = kMagic;
    EffectInstance& instance_;
    CommandSettings settings_;
    FailurePlan failures_;
    Ledger ledger_;
    static constexpr std::size_t kGuardBytes = 64;
    static constexpr unsigned char kGuardByte = 0xA5;

    PF_UtilCallbacks utils_{};
    // Each record is followed by guard bytes that catch a write past its end,
    // and kept as handed over, to be compared after the command.
    PF_InData in_{};
    std::array<unsigned char, kGuardBytes> inGuard_{};
    PF_OutData out_{};
    std::array<unsigned char, kGuardBytes> outGuard_{};
    PF_InData inHandedOver_{};
    PF_OutData outHandedOver_{};
    void* session_ = nullptr;
    CommandContext* previous_;
};

}  // namespace tarsivel::host

#endif
