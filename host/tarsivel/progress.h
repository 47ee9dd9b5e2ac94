// Progress of a render on standard error. On a terminal: one status line,
// redrawn while frames are worked on (the frames in flight, how long they
// have taken so far, and an estimate of what is left). Otherwise: one line a
// frame. And the closing summary.
#ifndef TARSIVEL_HOST_TARSIVEL_PROGRESS_H
#define TARSIVEL_HOST_TARSIVEL_PROGRESS_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarsivel::cli {

// The time left, from the pace at which frames have been finishing: frames
// done per second of wall time over the last frames. How many frames are in
// flight at a moment does not enter it (they finish in bursts, and a frame
// waiting for its turn is not work), only how often they finish.
class TimeLeftEstimate {
  public:
    using Clock = std::chrono::steady_clock;
    explicit TimeLeftEstimate(Clock::time_point start) : start_(start) {}

    // One more frame finished at `at`; at most `inFlight` frames have been
    // worked on at once so far (a round: the window spans several rounds).
    void FrameDone(Clock::time_point at, std::size_t inFlight);
    // Seconds until `framesLeft` more frames are done, counting down from the
    // last finished frame; negative when nothing is known yet.
    double SecondsLeft(int framesLeft, Clock::time_point now) const;

  private:
    Clock::time_point start_;
    std::deque<Clock::time_point> finished_;  // the last frames' finishing times
    std::size_t count_ = 0;                   // frames finished in all
    std::size_t round_ = 1;
    std::size_t window_ = 0;  // intervals between finishing times kept, whole rounds
};

class Progress {
  public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // `total` frames to render; a status line when standard error is a terminal.
    explicit Progress(int total);
    // The same with its own clock and the choice of status line or a line a frame.
    Progress(int total, Now now, bool terminal);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A frame's work begins; thread-safe.
    void FrameStarted(int frame);
    // One frame done; thread-safe.
    void FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                   const std::string& file);
    // A frame found, at its turn, to have its file already (another machine
    // rendered it): it leaves the frames to render and is counted in the
    // summary. Thread-safe.
    void FrameSkipped(int frame);
    // A line for the user (a failure), kept apart from the status line.
    void Say(const std::string& line);
    // "[####....] 3/10  frame 4 (+1 more): 2 s  about 9 s left"
    std::string Status() const;
    // "N frames in T s; pre-render median M s, slowest S s (frame F); render ..."
    std::string Summary() const;
    // Frames left as they were because their files exist, found at their turn.
    int Skipped() const;
    // Ends the status line; call once the frames are done.
    void Finish();

  private:
    void Tick();
    void DrawLocked() const;
    std::string StatusLocked() const;

    mutable std::mutex mutex_;
    Now now_;
    int total_;
    int done_ = 0;
    int skipped_ = 0;
    bool terminal_;
    bool finished_ = false;
    Clock::time_point start_;
    std::map<int, Clock::time_point> inFlight_;
    std::size_t mostInFlight_ = 0;
    TimeLeftEstimate left_;
    std::vector<std::pair<double, int>> preRender_;
    std::vector<std::pair<double, int>> render_;
    std::condition_variable wake_;
    std::thread ticker_;
};

// "42 s", "3 min 5 s", "2 h 7 min".
std::string Duration(double seconds);

}  // namespace tarsivel::cli

#endif
