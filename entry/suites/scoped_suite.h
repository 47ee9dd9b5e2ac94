// Host suite access: one suite held for the length of a block, or a set of
// suites taken on first use, each given back on every path out of the block,
// exceptions included.
#ifndef TARSIVEL_ENTRY_SUITES_SCOPED_SUITE_H
#define TARSIVEL_ENTRY_SUITES_SCOPED_SUITE_H

#include <array>
#include <cstddef>

#include "pf_api.h"

namespace tarsivel {

// Reports a suite the host cannot supply: when out_data is given, asks the host
// to show "Not able to acquire AEFX Suite." (written with the utility
// callbacks' sprintf when they exist), then throws A_Err_MISSING_SUITE.
[[noreturn]] void ThrowMissingSuite(PF_OutData* out_data, const PF_UtilCallbacks* utils);

class ScopedSuiteHandle {
  public:
    ScopedSuiteHandle(SPBasicSuite* basic, const char* name, int32_t version, PF_OutData* out_data,
                      const PF_UtilCallbacks* utils);
    ~ScopedSuiteHandle();
    ScopedSuiteHandle(const ScopedSuiteHandle&) = delete;
    ScopedSuiteHandle& operator=(const ScopedSuiteHandle&) = delete;

    const void* get() const { return suite_; }

  private:
    SPBasicSuite* basic_;
    const char* name_;
    int32_t version_;
    const void* suite_ = nullptr;
};

template <class Suite>
class ScopedSuite {
  public:
    ScopedSuite(SPBasicSuite* basic, const char* name, int32_t version,
                PF_OutData* out_data = nullptr, const PF_UtilCallbacks* utils = nullptr)
        : handle_(basic, name, version, out_data, utils) {}

    // The usual form inside a command handler: the host's basic suite and its
    // utility callbacks both come from in_data.
    ScopedSuite(const PF_InData* in_data, const char* name, int32_t version,
                PF_OutData* out_data = nullptr)
        : handle_(in_data ? in_data->pica_basicP : nullptr, name, version, out_data,
                  in_data ? in_data->utils : nullptr) {}

    const Suite* operator->() const { return static_cast<const Suite*>(handle_.get()); }
    const Suite& operator*() const { return *operator->(); }

  private:
    ScopedSuiteHandle handle_;
};

// Suites taken lazily, by name and version, on first use, and all given back
// when the set goes out of scope. Its failures carry no message, unlike
// ScopedSuite's: About, its one user, writes its own text into return_msg.
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
