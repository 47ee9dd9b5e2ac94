#include "entry/host_suite_set.h"

#include <cstring>

#include "hostapi/pf_types.h"

namespace tarsivel {

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
