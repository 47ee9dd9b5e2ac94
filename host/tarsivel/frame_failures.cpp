#include "host/tarsivel/frame_failures.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace tarsivel::cli {

void FrameFailures::Record(int frame, int code, const std::string& message) {
    std::lock_guard lock(mutex_);
    progress_.Say("tarsivel: frame " + std::to_string(frame) + ": " + message);
    if (frames_.empty()) {
        code_ = code;
    }
    frames_.push_back(frame);
}

void FrameFailures::Record(int frame, const host::FrameOutcome& outcome) {
    if (!outcome.contractProblems.empty()) {
        Record(frame, kExitContractBroken,
               "the plug-in broke the host contract in " + outcome.command + ":\n" +
                   outcome.contractProblems);
        return;
    }
    std::string message = outcome.command + " returned error " + std::to_string(outcome.err);
    if (!outcome.message.empty()) {
        message += ": " + outcome.message;
    }
    Record(frame, kExitPluginError, message);
}

void FrameFailures::RecordCurrentException(int frame, const MemoryNeed& need, int jobs) {
    try {
        throw;
    } catch (const ExitError& e) {
        Record(frame, e.Code(), e.what());
    } catch (const std::bad_alloc&) {
        Record(frame, kExitUsage, "out of memory (" + need.Describe(jobs) + "); " + kMemoryAdvice);
    } catch (const std::exception& e) {
        Record(frame, kExitUsage, e.what());
    }
}

bool FrameFailures::Any() const {
    std::lock_guard lock(mutex_);
    return !frames_.empty();
}

int FrameFailures::Code() const {
    std::lock_guard lock(mutex_);
    return code_;
}

std::string FrameFailures::List() const {
    std::lock_guard lock(mutex_);
    std::vector<int> frames = frames_;
    std::sort(frames.begin(), frames.end());
    std::string text = frames.size() == 1 ? "frame " : "frames ";
    for (std::size_t i = 0; i < frames.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(frames[i]);
    }
    return text;
}

}  // namespace tarsivel::cli
