// Failure injection: which host calls of one command fail, and with what code.
// Each command gets its own plan, so a test can target exactly one command.
#ifndef TARSIVEL_HOST_PROTOCOL_FAILURE_PLAN_H
#define TARSIVEL_HOST_PROTOCOL_FAILURE_PLAN_H

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/protocol/host_call.h"
#include "hostapi/pf_types.h"

namespace tarsivel::host {

// One call the plan made fail: its kind, and which call of that kind it was
// in the command (from 1).
struct FailedCall {
    HostCall call;
    int ordinal;
};

class FailurePlan {
  public:
    // The nth matching call (counted from 1) fails with `error`. A target narrows
    // which calls count (a suite's name, a parameter's index as text); an empty
    // target matches every call of that kind.
    FailurePlan& FailNth(HostCall call, int nth, PF_Err error, std::string target = {});
    // Every matching call fails.
    FailurePlan& FailAlways(HostCall call, PF_Err error, std::string target = {});
    // The nth host call of any kind (counted from 1) fails with `error`: how a
    // sweep fails every call of a command in turn.
    FailurePlan& FailNthCall(int nth, PF_Err error);

    // Counts one call and says whether it must fail.
    std::optional<PF_Err> Consult(HostCall call, std::string_view target = {});

    // Host calls consulted so far, of every kind.
    int Calls() const { return calls_; }
    // The calls made to fail so far, in order.
    const std::vector<FailedCall>& Failed() const { return failed_; }

  private:
    struct Rule {
        HostCall call;
        std::string target;
        int nth;  // 0: always
        PF_Err error;
        int seen;
    };
    std::vector<Rule> rules_;
    int anyNth_ = 0;  // 0: no call of any kind is singled out
    PF_Err anyError_ = PF_Err_NONE;
    int calls_ = 0;
    std::array<int, std::size_t(kHostCallKinds)> callsOfKind_{};
    std::vector<FailedCall> failed_;
};

}  // namespace tarsivel::host

#endif
