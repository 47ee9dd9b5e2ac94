#include "entry/scoped_suite.h"

#include "hostapi/pf_out_flags.h"

namespace tarsivel {

void ThrowMissingSuite(PF_OutData* out_data, const PF_UtilCallbacks* utils) {
    if (out_data != nullptr) {
        out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        if (utils != nullptr && utils->ansi.sprintf != nullptr) {
            utils->ansi.sprintf(out_data->return_msg, "Not able to acquire AEFX Suite.");
        }
    }
    throw PF_Err(A_Err_MISSING_SUITE);
}

ScopedSuiteHandle::ScopedSuiteHandle(SPBasicSuite* basic, const char* name, int32_t version,
                                     PF_OutData* out_data, const PF_UtilCallbacks* utils)
    : basic_(basic), name_(name), version_(version) {
    if (basic_ == nullptr || basic_->AcquireSuite == nullptr) {
        ThrowMissingSuite(out_data, utils);
    }
    const void* suite = nullptr;
    if (basic_->AcquireSuite(name_, version_, &suite) != 0) {
        ThrowMissingSuite(out_data, utils);
    }
    if (suite == nullptr) {
        // The host says it handed the suite out, so it expects it back.
        if (basic_->ReleaseSuite != nullptr) {
            basic_->ReleaseSuite(name_, version_);
        }
        ThrowMissingSuite(out_data, utils);
    }
    suite_ = suite;
}

ScopedSuiteHandle::~ScopedSuiteHandle() {
    if (basic_->ReleaseSuite != nullptr) {
        basic_->ReleaseSuite(name_, version_);
    }
}

}  // namespace tarsivel
