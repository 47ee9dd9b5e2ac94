#include "host/tarsivel/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace tarsivel::cli {
namespace {

// How often the status line is redrawn while frames are worked on.
constexpr std::chrono::milliseconds kTick{500};

// The time-left estimate's window: at least this many frames, and this many
// rounds of the frames worked on at once.
constexpr std::size_t kLeastWindow = 10;
constexpr std::size_t kRoundsInWindow = 4;

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", s);
    return text;
}

std::string Describe(std::vector<std::pair<double, int>> times) {
    if (times.empty()) {
        return "none";
    }
    std::sort(times.begin(), times.end());
    const double median =
        times.size() % 2
            ? times[times.size() / 2].first
            : (times[times.size() / 2 - 1].first + times[times.size() / 2].first) / 2.0;
    return "median " + Seconds(median) + ", slowest " + Seconds(times.back().first) + " (frame " +
           std::to_string(times.back().second) + ")";
}

double Since(std::chrono::steady_clock::time_point t, std::chrono::steady_clock::time_point now) {
    return std::chrono::duration<double>(now - t).count();
}

}  // namespace

std::string Duration(double seconds) {
    const auto s = int64_t(std::llround(seconds));
    if (s < 60) {
        return std::to_string(s) + " s";
    }
    if (s < 3600) {
        return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    }
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

void TimeLeftEstimate::FrameDone(Clock::time_point at, std::size_t inFlight) {
    round_ = std::max({round_, inFlight, std::size_t{1}});
    window_ =
        std::max(window_, round_ * std::max(kRoundsInWindow, (kLeastWindow + round_ - 1) / round_));
    finished_.push_back(at);
    ++count_;
    while (finished_.size() > window_ + 1) {
        finished_.pop_front();
    }
}

double TimeLeftEstimate::SecondsLeft(int framesLeft, Clock::time_point now) const {
    if (finished_.empty()) {
        return -1;
    }
    if (framesLeft <= 0) {
        return 0;
    }
    // The pace over whole rounds of the frames worked on at once: frames that
    // finish together are then all in the span or all out of it, so that the
    // estimate keeps steady as they finish in bursts. Until a round is done
    // since the first frame, the pace since the render began.
    const std::size_t intervals = std::min(window_, finished_.size() - 1) / round_ * round_;
    const Clock::time_point from =
        intervals > 0 ? finished_[finished_.size() - 1 - intervals] : start_;
    const double frames = double(intervals > 0 ? intervals : count_);
    const double perFrame = Since(from, finished_.back()) / frames;
    // Counting down from the last frame that finished.
    return std::max(0.0, perFrame * framesLeft - Since(finished_.back(), now));
}

Progress::Progress(int total) : Progress(total, Clock::now, isatty(fileno(stderr)) != 0) {}

Progress::Progress(int total, Now now, bool terminal)
    : now_(std::move(now)), total_(total), terminal_(terminal), start_(now_()), left_(start_) {
    if (terminal_) {
        ticker_ = std::thread([this] { Tick(); });
    }
}

Progress::~Progress() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_all();
    if (ticker_.joinable()) {
        ticker_.join();
    }
}

void Progress::Tick() {
    std::unique_lock lock(mutex_);
    while (!finished_) {
        wake_.wait_for(lock, kTick);
        if (!finished_ && !inFlight_.empty()) {
            DrawLocked();
        }
    }
}

std::string Progress::StatusLocked() const {
    const int total = total_;
    const int width = 30;
    const int finished = done_;
    const int filled = total > 0 ? finished * width / total : width;
    std::ostringstream line;
    line << "[" << std::string(std::size_t(filled), '#')
         << std::string(std::size_t(width - filled), '.') << "] " << finished << "/" << total;
    const Clock::time_point now = now_();
    if (!inFlight_.empty()) {
        const auto& [frame, started] = *inFlight_.begin();
        line << "  frame " << frame;
        if (inFlight_.size() > 1) {
            line << " (+" << inFlight_.size() - 1 << " more)";
        }
        line << ": " << Duration(Since(started, now));
    }
    const double left = left_.SecondsLeft(total - finished, now);
    if (total > 1 && finished < total && left >= 0) {
        line << "  about " << Duration(left) << " left";
    }
    return line.str();
}

void Progress::DrawLocked() const {
    std::cerr << "\r\033[K" << StatusLocked() << std::flush;
}

void Progress::FrameStarted(int frame) {
    std::lock_guard lock(mutex_);
    inFlight_[frame] = now_();
    mostInFlight_ = std::max(mostInFlight_, inFlight_.size());
    if (terminal_) {
        DrawLocked();
    }
}

void Progress::FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                         const std::string& file) {
    std::lock_guard lock(mutex_);
    ++done_;
    inFlight_.erase(frame);
    left_.FrameDone(now_(), mostInFlight_);
    preRender_.emplace_back(preRenderSeconds, frame);
    render_.emplace_back(renderSeconds, frame);
    if (terminal_) {
        DrawLocked();
    } else {
        std::cerr << "frame " << frame << " (" << done_ << "/" << total_ << "): pre-render "
                  << Seconds(preRenderSeconds) << ", render " << Seconds(renderSeconds) << " -> "
                  << file << "\n";
    }
}

void Progress::FrameSkipped(int frame) {
    std::lock_guard lock(mutex_);
    ++skipped_;
    --total_;
    inFlight_.erase(frame);
    if (terminal_) {
        DrawLocked();
    }
}

int Progress::Skipped() const {
    std::lock_guard lock(mutex_);
    return skipped_;
}

std::string Progress::Status() const {
    std::lock_guard lock(mutex_);
    return StatusLocked();
}

void Progress::Say(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::cerr << (terminal_ ? "\r\033[K" : "") << line << "\n";
}

void Progress::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (finished_) {
            return;
        }
        finished_ = true;
        inFlight_.clear();
        if (terminal_) {
            DrawLocked();
            std::cerr << "\n";
        }
    }
    wake_.notify_all();
}

std::string Progress::Summary() const {
    std::lock_guard lock(mutex_);
    const double total = Since(start_, now_());
    std::ostringstream text;
    text << done_ << " frame" << (done_ == 1 ? "" : "s") << " in " << Seconds(total)
         << "; pre-render " << Describe(preRender_) << "; render " << Describe(render_);
    return text.str();
}

}  // namespace tarsivel::cli
