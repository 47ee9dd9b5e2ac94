#include "scoped_suite.h"

#include <cstring>

#include "pf_api.h"

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

HostSuiteSet::HostSuiteSet(SPBasicSuite* basic) : basic_(basic) {
    if (basic_ == nullptr || basic_->AcquireSuite == nullptr || basic_->ReleaseSuite == nullptr) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
}

HostSuiteSet::~HostSuiteSet() {
    while (count_ > 0) {
        --count_;
        basic_->ReleaseSuite(held_[count_].name, held_[count_].version);
    }
}

const void* HostSuiteSet::Acquire(const char* name, int32_t version) {
    for (std::size_t i = 0; i < count_; ++i) {
        if (held_[i].version == version && std::strcmp(held_[i].name, name) == 0) {
            return held_[i].suite;
        }
    }
    if (count_ == held_.size()) {
        throw PF_Err(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    const void* suite = nullptr;
    if (basic_->AcquireSuite(name, version, &suite) != 0) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (suite == nullptr) {
        basic_->ReleaseSuite(name, version);
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    held_[count_++] = Held{name, version, suite};
    return suite;
}

}  // namespace tarsivel
