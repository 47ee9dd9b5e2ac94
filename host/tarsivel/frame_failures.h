// Frames that could not be rendered or written: each is told as it happens,
// and the exit code is the first one's.
#ifndef TARSIVEL_HOST_TARSIVEL_FRAME_FAILURES_H
#define TARSIVEL_HOST_TARSIVEL_FRAME_FAILURES_H

#include <mutex>
#include <string>
#include <vector>

#include "host/scenes/frame_renderer.h"
#include "host/tarsivel/exit_error.h"
#include "host/tarsivel/memory_estimate.h"
#include "host/tarsivel/progress.h"

namespace tarsivel::cli {

// Thread-safe: the frames rendered at once record into one table.
class FrameFailures {
  public:
    explicit FrameFailures(Progress& progress) : progress_(progress) {}
    void Record(int frame, int code, const std::string& message);
    // A frame the plug-in did not render: a broken contract, else its error.
    void Record(int frame, const host::FrameOutcome& outcome);
    // The exception being handled, as the failure of `frame`; running out of
    // memory is told with the estimate and what to try.
    void RecordCurrentException(int frame, const MemoryNeed& need, int jobs);
    bool Any() const;
    int Code() const;
    // "frame 3" or "frames 0, 2"
    std::string List() const;

  private:
    Progress& progress_;
    mutable std::mutex mutex_;
    std::vector<int> frames_;
    int code_ = kExitSuccess;
};

}  // namespace tarsivel::cli

#endif
