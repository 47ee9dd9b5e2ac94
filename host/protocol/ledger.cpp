#include "host/protocol/ledger.h"

#include <algorithm>

namespace tarsivel::host {

void Ledger::SuiteAcquired(std::string_view name, int32_t version) {
    auto it = suites_.find(std::pair<std::string_view, int32_t>(name, version));
    if (it == suites_.end()) {
        it = suites_.emplace(std::pair<std::string, int32_t>(name, version), SuiteCount{}).first;
    }
    ++it->second.acquired;
}

bool Ledger::SuiteReleased(std::string_view name, int32_t version) {
    auto it = suites_.find(std::pair<std::string_view, int32_t>(name, version));
    if (it == suites_.end() || it->second.released >= it->second.acquired) {
        Misuse("released \"" + std::string(name) + "\" version " + std::to_string(version) +
               " that was not held");
        return false;
    }
    ++it->second.released;
    return true;
}

void Ledger::ParamCheckedOut(const PF_ParamDef* def, PF_ParamIndex index, int32_t time) {
    // Room first, so that a checkout is either counted in full or not at all.
    outstandingParams_.reserve(outstandingParams_.size() + 1);
    checkoutOrder_.reserve(checkoutOrder_.size() + 1);
    checkoutTimes_.reserve(checkoutTimes_.size() + 1);
    outstandingParams_.emplace_back(def, index);
    checkoutOrder_.push_back(index);
    checkoutTimes_.push_back(time);
    ++paramCheckouts_;
}

bool Ledger::ParamCheckedIn(const PF_ParamDef* def) {
    auto it = std::find_if(outstandingParams_.begin(), outstandingParams_.end(),
                           [def](const auto& entry) { return entry.first == def; });
    if (it == outstandingParams_.end()) {
        Misuse("checked in a parameter that was not checked out");
        return false;
    }
    outstandingParams_.erase(it);
    ++paramCheckins_;
    return true;
}

void Ledger::PathCheckedOut(const void* path) {
    outstandingPaths_.push_back(path);
}

bool Ledger::PathCheckedIn(const void* path) {
    auto it = std::find(outstandingPaths_.begin(), outstandingPaths_.end(), path);
    if (it == outstandingPaths_.end()) {
        Misuse("checked in a mask that was not checked out");
        return false;
    }
    outstandingPaths_.erase(it);
    return true;
}

void Ledger::LayerCheckedOut(int32_t checkoutId) {
    outstandingLayers_.push_back(checkoutId);
}

bool Ledger::LayerCheckedIn(int32_t checkoutId) {
    auto it = std::find(outstandingLayers_.begin(), outstandingLayers_.end(), checkoutId);
    if (it == outstandingLayers_.end()) {
        Misuse("checked in layer pixels " + std::to_string(checkoutId) +
               " that were not checked out");
        return false;
    }
    outstandingLayers_.erase(it);
    return true;
}

int Ledger::Calls(HostCall call) const {
    return calls_[std::size_t(call)];
}

std::vector<int32_t> Ledger::CheckoutTimes(PF_ParamIndex index) const {
    std::vector<int32_t> times;
    for (std::size_t i = 0; i < checkoutOrder_.size(); ++i) {
        if (checkoutOrder_[i] == index) {
            times.push_back(checkoutTimes_[i]);
        }
    }
    return times;
}

void Ledger::Misuse(std::string what) {
    misuses_.push_back(std::move(what));
}

int Ledger::SuiteAcquisitions(const std::string& name, int32_t version) const {
    auto it = suites_.find(std::pair<std::string_view, int32_t>(name, version));
    return it == suites_.end() ? 0 : it->second.acquired;
}

int Ledger::SuiteReleases(const std::string& name, int32_t version) const {
    auto it = suites_.find(std::pair<std::string_view, int32_t>(name, version));
    return it == suites_.end() ? 0 : it->second.released;
}

int Ledger::TotalSuiteAcquisitions() const {
    int total = 0;
    for (const auto& [key, count] : suites_) {
        total += count.acquired;
    }
    return total;
}

std::vector<std::string> Ledger::Imbalances() const {
    std::vector<std::string> lines = misuses_;
    for (const auto& [key, count] : suites_) {
        if (count.acquired != count.released) {
            lines.push_back("suite \"" + key.first + "\" version " + std::to_string(key.second) +
                            " acquired " + std::to_string(count.acquired) + " times, released " +
                            std::to_string(count.released));
        }
    }
    for (const auto& [def, index] : outstandingParams_) {
        lines.push_back("parameter " + std::to_string(index) + " checked out and not checked in");
    }
    for (std::size_t i = 0; i < outstandingPaths_.size(); ++i) {
        lines.push_back("a mask checked out and not checked in");
    }
    for (int32_t id : outstandingLayers_) {
        lines.push_back("layer pixels " + std::to_string(id) + " checked out and not checked in");
    }
    return lines;
}

}  // namespace tarsivel::host
