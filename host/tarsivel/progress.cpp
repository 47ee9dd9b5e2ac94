#include "host/tarsivel/progress.h"

#include <algorithm>
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

}  // namespace

Progress::Progress(int total)
    : total_(total),
      terminal_(isatty(fileno(stderr)) != 0),
      start_(std::chrono::steady_clock::now()) {}

void Progress::FrameDone(int frame, double preRenderSeconds, double renderSeconds,
                         const std::string& file) {
    std::lock_guard lock(mutex_);
    ++done_;
    preRender_.emplace_back(preRenderSeconds, frame);
    render_.emplace_back(renderSeconds, frame);
    if (terminal_) {
        const int width = 40;
        const int filled = total_ > 0 ? done_ * width / total_ : width;
        std::cerr << "\r[" << std::string(std::size_t(filled), '#')
                  << std::string(std::size_t(width - filled), '.') << "] " << done_ << "/" << total_
                  << std::flush;
    } else {
        std::cerr << "frame " << frame << " (" << done_ << "/" << total_ << "): pre-render "
                  << Seconds(preRenderSeconds) << ", render " << Seconds(renderSeconds) << " -> "
                  << file << "\n";
    }
}

void Progress::FrameSkipped(int frame, const std::string& file) {
    std::lock_guard lock(mutex_);
    ++skipped_;
    if (!terminal_) {
        std::cerr << "frame " << frame << ": " << file << " exists; skipped\n";
    }
}

void Progress::Say(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::cerr << (terminal_ ? "\r\033[K" : "") << line << "\n";
}

void Progress::Finish() {
    std::lock_guard lock(mutex_);
    if (terminal_) {
        std::cerr << "\n";
    }
}

std::string Progress::Summary() const {
    std::lock_guard lock(mutex_);
    const double total =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::ostringstream text;
    text << done_ << " frame" << (done_ == 1 ? "" : "s") << " in " << Seconds(total)
         << "; pre-render " << Describe(preRender_) << "; render " << Describe(render_);
    if (skipped_ > 0) {
        text << "; " << skipped_ << " skipped (their files exist)";
    }
    return text.str();
}

}  // namespace tarsivel::cli
