// Failure injection: which host calls of one command fail, and with what code.
// Each command gets its own plan, so a test can target exactly one command.
#ifndef TARSIVEL_HOST_FAILURE_PLAN_H
#define TARSIVEL_HOST_FAILURE_PLAN_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_call.h"
#include "hostapi/pf_types.h"

namespace tarsivel::host {

class FailurePlan {
  public:
    // The nth matching call (counted from 1) fails with `error`. A target narrows
    // which calls count (a suite's name, a parameter's index as text); an empty
    // target matches every call of that kind.
    FailurePlan& FailNth(HostCall call, int nth, PF_Err error, std::string target = {});
    // Every matching call fails.
    FailurePlan& FailAlways(HostCall call, PF_Err error, std::string target = {});

    // Counts one call and says whether it must fail.
    std::optional<PF_Err> Consult(HostCall call, std::string_view target = {});

  private:
    struct Rule {
        HostCall call;
        std::string target;
        int nth;  // 0: always
        PF_Err error;
        int seen;
    };
    std::vector<Rule> rules_;
};

}  // namespace tarsivel::host

#endif
