// Progress of a render on standard error: a bar on a terminal, one line per
// frame otherwise; and the closing summary.
#ifndef TARSIVEL_HOST_TARSIVEL_PROGRESS_H
#define TARSIVEL_HOST_TARSIVEL_PROGRESS_H

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace tarsivel::cli {

class Progress {
  public:
    explicit Progress(int total);
    // One frame done; thread-safe.
    void FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                   const std::string& file);
    // A frame whose file exists and is left as it is; thread-safe.
    void FrameSkipped(int frame, const std::string& file);
    // A line for the user (a failure), kept apart from the progress bar.
    void Say(const std::string& line);
    // "N frames in T s; pre-render median M s, slowest S s (frame F); render ..."
    std::string Summary() const;
    void Finish();

  private:
    mutable std::mutex mutex_;
    int total_;
    int done_ = 0;
    int skipped_ = 0;
    bool terminal_;
    std::chrono::steady_clock::time_point start_;
    std::vector<std::pair<double, int>> preRender_;
    std::vector<std::pair<double, int>> render_;
};

}  // namespace tarsivel::cli

#endif
