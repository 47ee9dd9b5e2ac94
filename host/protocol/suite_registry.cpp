#include "host/protocol/suite_registry.h"

#include <mutex>

namespace tarsivel::host {

void SuiteRegistry::Register(const std::string& name, int32_t version, const void* suite) {
    std::unique_lock lock(mutex_);
    suites_[{name, version}] = suite;
}

void SuiteRegistry::Withdraw(const std::string& name, int32_t version) {
    std::unique_lock lock(mutex_);
    suites_.erase({name, version});
}

std::optional<const void*> SuiteRegistry::Find(const std::string& name, int32_t version) const {
    std::shared_lock lock(mutex_);
    auto it = suites_.find({name, version});
    if (it == suites_.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace tarsivel::host
