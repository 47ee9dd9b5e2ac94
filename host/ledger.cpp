#include "host/ledger.h"

#include <algorithm>

namespace tarsivel::host {

void Ledger::SuiteAcquired(const std::string& name, int32_t version) {
    ++suites_[{name, version}].acquired;
}

bool Ledger::SuiteReleased(const std::string& name, int32_t version) {
    SuiteCount& count = suites_[{name, version}];
    if (count.released >= count.acquired) {
        Misuse("released \"" + name + "\" version " + std::to_string(version) +
               " that was not held");
        return false;
    }
    ++count.released;
    return true;
}

void Ledger::ParamCheckedOut(const PF_ParamDef* def, PF_ParamIndex index) {
    outstandingParams_.emplace_back(def, index);
    checkoutOrder_.push_back(index);
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

void Ledger::Misuse(std::string what) { misuses_.push_back(std::move(what)); }

int Ledger::SuiteAcquisitions(const std::string& name, int32_t version) const {
    auto it = suites_.find({name, version});
    return it == suites_.end() ? 0 : it->second.acquired;
}

int Ledger::SuiteReleases(const std::string& name, int32_t version) const {
    auto it = suites_.find({name, version});
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
    return lines;
}

}  // namespace tarsivel::host
