#include "entry/about.h"

#include "entry/effect_info.h"
#include "entry/host_suite_set.h"
#include "hostapi/pf_suites.h"

namespace tarsivel {

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    HostSuiteSet suites(in_data->pica_basicP);
    const auto& ansi = suites.Get<PF_ANSICallbacksSuite1>(kPFANSISuite, kPFANSISuiteVersion1);
    if (ansi.sprintf == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // Two single carriage returns separate the lines, as the host's dialog expects.
    ansi.sprintf(out_data->return_msg, "%s - v%d.%d\r\r%s", kEffectName, kMajorVersion,
                 kMinorVersion, kEffectDescription);
    return PF_Err_NONE;
}

}  // namespace tarsivel
