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

Progress::Progress(int first, int last)
    : first_(first),
      last_(last),
      highestTaken_(first - 1),
      terminal_(isatty(fileno(stderr)) != 0),
      start_(Clock::now()) {
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

double Progress::RemainingLocked(Clock::time_point now) const {
    if (doneWeight_ <= 0) {
        return -1;
    }
    const double perWeight = doneSeconds_ / doneWeight_;
    double left = 0;
    for (const auto& [frame, started] : inFlight_) {
        left += std::max(0.0, perWeight * (frame + 1) - Since(started, now));
    }
    for (int f = highestTaken_ + 1; f <= last_; ++f) {
        left += perWeight * (f + 1);
    }
    // Frames run side by side as they do now.
    return left / double(std::max<std::size_t>(1, inFlight_.size()));
}

std::string Progress::StatusLocked() const {
    const int total = last_ - first_ + 1;
    const int width = 30;
    const int finished = done_ + skipped_;
    const int filled = total > 0 ? finished * width / total : width;
    std::ostringstream line;
    line << "[" << std::string(std::size_t(filled), '#')
         << std::string(std::size_t(width - filled), '.') << "] " << finished << "/" << total;
    const Clock::time_point now = Clock::now();
    if (!inFlight_.empty()) {
        const auto& [frame, started] = *inFlight_.begin();
        line << "  frame " << frame;
        if (inFlight_.size() > 1) {
            line << " (+" << inFlight_.size() - 1 << " more)";
        }
        line << ": " << Duration(Since(started, now));
    }
    const double left = RemainingLocked(now);
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
    inFlight_[frame] = Clock::now();
    highestTaken_ = std::max(highestTaken_, frame);
    if (terminal_) {
        DrawLocked();
    }
}

void Progress::FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                         const std::string& file) {
    std::lock_guard lock(mutex_);
    ++done_;
    const auto started = inFlight_.find(frame);
    if (started != inFlight_.end()) {
        doneSeconds_ += Since(started->second, Clock::now());
        doneWeight_ += frame + 1;
        inFlight_.erase(started);
    }
    preRender_.emplace_back(preRenderSeconds, frame);
    render_.emplace_back(renderSeconds, frame);
    if (terminal_) {
        DrawLocked();
    } else {
        std::cerr << "frame " << frame << " (" << done_ << "/" << last_ - first_ + 1
                  << "): pre-render " << Seconds(preRenderSeconds) << ", render "
                  << Seconds(renderSeconds) << " -> " << file << "\n";
    }
}

void Progress::FrameSkipped(int frame, const std::string& file) {
    std::lock_guard lock(mutex_);
    ++skipped_;
    inFlight_.erase(frame);
    highestTaken_ = std::max(highestTaken_, frame);
    if (!terminal_) {
        std::cerr << "frame " << frame << ": " << file << " exists; skipped\n";
    }
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
    const double total = Since(start_, Clock::now());
    std::ostringstream text;
    text << done_ << " frame" << (done_ == 1 ? "" : "s") << " in " << Seconds(total)
         << "; pre-render " << Describe(preRender_) << "; render " << Describe(render_);
    if (skipped_ > 0) {
        text << "; " << skipped_ << " skipped (their files exist)";
    }
    return text.str();
}

}  // namespace tarsivel::cli
