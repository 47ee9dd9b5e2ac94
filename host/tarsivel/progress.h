// Progress of a render on standard error. On a terminal: one status line,
// redrawn while frames are worked on (the frames in flight, how long they
// have taken so far, and an estimate of what is left). Otherwise: one line a
// frame. And the closing summary.
#ifndef TARSIVEL_HOST_TARSIVEL_PROGRESS_H
#define TARSIVEL_HOST_TARSIVEL_PROGRESS_H

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarsivel::cli {

class Progress {
  public:
    // Frames first … last, taken in increasing order.
    Progress(int first, int last);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A frame's work begins; thread-safe.
    void FrameStarted(int frame);
    // One frame done; thread-safe.
    void FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                   const std::string& file);
    // A frame whose file exists and is left as it is; thread-safe.
    void FrameSkipped(int frame, const std::string& file);
    // A line for the user (a failure), kept apart from the status line.
    void Say(const std::string& line);
    // "N frames in T s; pre-render median M s, slowest S s (frame F); render ..."
    std::string Summary() const;
    // Ends the status line; call once the frames are done.
    void Finish();

  private:
    using Clock = std::chrono::steady_clock;
    void Tick();
    void DrawLocked() const;
    std::string StatusLocked() const;
    // Seconds still to go, by the frames' cost so far; negative when unknown.
    double RemainingLocked(Clock::time_point now) const;

    mutable std::mutex mutex_;
    int first_;
    int last_;
    int done_ = 0;
    int skipped_ = 0;
    int highestTaken_;
    bool terminal_;
    bool finished_ = false;
    Clock::time_point start_;
    std::map<int, Clock::time_point> inFlight_;
    double doneSeconds_ = 0;  // of the frames done, wall time from start to end
    double doneWeight_ = 0;   // and their weights (frame + 1: every frame replays from 0)
    std::vector<std::pair<double, int>> preRender_;
    std::vector<std::pair<double, int>> render_;
    std::condition_variable wake_;
    std::thread ticker_;
};

// "42 s", "3 min 5 s", "2 h 7 min".
std::string Duration(double seconds);

}  // namespace tarsivel::cli

#endif
