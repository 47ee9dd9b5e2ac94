// The accounts of one command: every suite acquired and released, every
// parameter checked out and in, and every misuse the host noticed. After the
// command the host asks it whether everything was given back.
#ifndef TARSIVEL_HOST_PROTOCOL_LEDGER_H
#define TARSIVEL_HOST_PROTOCOL_LEDGER_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/protocol/host_call.h"
#include "hostapi/pf_param_def.h"

namespace tarsivel::host {

class Ledger {
  public:
    void SuiteAcquired(std::string_view name, int32_t version);
    // Returns false (and notes a misuse) when the suite was not held.
    bool SuiteReleased(std::string_view name, int32_t version);

    void ParamCheckedOut(const PF_ParamDef* def, PF_ParamIndex index, int32_t time = 0);
    // Returns false (and notes a misuse) for a definition that is not checked out.
    bool ParamCheckedIn(const PF_ParamDef* def);

    // Masks checked out through the path query suite.
    void PathCheckedOut(const void* path);
    bool PathCheckedIn(const void* path);
    // Layers checked out for the command (pre-render and render).
    void LayerCheckedOut(int32_t checkoutId);
    bool LayerCheckedIn(int32_t checkoutId);

    // Every host call the plug-in made, by kind. Counting never allocates.
    void Called(HostCall call) { ++calls_[std::size_t(call)]; }
    int Calls(HostCall call) const;

    void Misuse(std::string what);

    int SuiteAcquisitions(const std::string& name, int32_t version) const;
    int SuiteReleases(const std::string& name, int32_t version) const;
    int TotalSuiteAcquisitions() const;
    int ParamCheckouts() const { return paramCheckouts_; }
    int ParamCheckins() const { return paramCheckins_; }
    // Parameter indices in the order they were checked out.
    const std::vector<PF_ParamIndex>& CheckoutOrder() const { return checkoutOrder_; }
    // The host times of the checkouts of one parameter, in order.
    std::vector<int32_t> CheckoutTimes(PF_ParamIndex index) const;

    // Everything left outstanding and every misuse, one line each; empty when balanced.
    std::vector<std::string> Imbalances() const;

  private:
    struct SuiteCount {
        int acquired = 0;
        int released = 0;
    };
    // Looked up by a view of the name, so that a release, which must always be
    // counted, needs no allocation.
    struct SuiteKeyLess {
        using is_transparent = void;
        template <class A, class B>
        bool operator()(const A& a, const B& b) const {
            return std::pair<std::string_view, int32_t>(a.first, a.second) <
                   std::pair<std::string_view, int32_t>(b.first, b.second);
        }
    };
    std::map<std::pair<std::string, int32_t>, SuiteCount, SuiteKeyLess> suites_;
    std::vector<std::pair<const PF_ParamDef*, PF_ParamIndex>> outstandingParams_;
    std::vector<PF_ParamIndex> checkoutOrder_;
    std::vector<int32_t> checkoutTimes_;
    int paramCheckouts_ = 0;
    int paramCheckins_ = 0;
    std::vector<const void*> outstandingPaths_;
    std::vector<int32_t> outstandingLayers_;
    std::array<int, std::size_t(kHostCallKinds)> calls_{};
    std::vector<std::string> misuses_;
};

}  // namespace tarsivel::host

#endif
