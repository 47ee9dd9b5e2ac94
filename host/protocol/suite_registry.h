// The suites this host offers, by name and version. Any suite can be withdrawn
// for a test, or registered as "present but null" to model a broken host.
#ifndef TARSIVEL_HOST_PROTOCOL_SUITE_REGISTRY_H
#define TARSIVEL_HOST_PROTOCOL_SUITE_REGISTRY_H

#include <cstdint>
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>

namespace tarsivel::host {

// What AcquireSuite answers for a suite the host does not have.
inline constexpr int32_t kSuiteNotFoundError = 0x53214664;  // 'S!Fd'

class SuiteRegistry {
  public:
    void Register(const std::string& name, int32_t version, const void* suite);
    void Withdraw(const std::string& name, int32_t version);

    // The suite when the host offers it (the pointer may be null on purpose);
    // nothing when it does not.
    std::optional<const void*> Find(const std::string& name, int32_t version) const;

  private:
    mutable std::shared_mutex mutex_;
    std::map<std::pair<std::string, int32_t>, const void*> suites_;
};

}  // namespace tarsivel::host

#endif
