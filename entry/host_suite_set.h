// Suites taken lazily, by name and version, on first use, and all given back
// when the set goes out of scope.
#ifndef TARSIVEL_ENTRY_HOST_SUITE_SET_H
#define TARSIVEL_ENTRY_HOST_SUITE_SET_H

#include <array>
#include <cstddef>

#include "hostapi/sp_basic_suite.h"

namespace tarsivel {

class HostSuiteSet {
  public:
    // Throws PF_Err_BAD_CALLBACK_PARAM without a basic suite.
    explicit HostSuiteSet(SPBasicSuite* basic);
    ~HostSuiteSet();
    HostSuiteSet(const HostSuiteSet&) = delete;
    HostSuiteSet& operator=(const HostSuiteSet&) = delete;

    // Throws PF_Err_BAD_CALLBACK_PARAM when the host cannot supply the suite.
    template <class Suite>
    const Suite& Get(const char* name, int32_t version) {
        return *static_cast<const Suite*>(Acquire(name, version));
    }

  private:
    struct Held {
        const char* name;
        int32_t version;
        const void* suite;
    };

    const void* Acquire(const char* name, int32_t version);

    SPBasicSuite* basic_;
    std::array<Held, 8> held_{};
    std::size_t count_ = 0;
};

}  // namespace tarsivel

#endif
