// Timing helpers for benchmarks that set their subject against a yardstick
// measured in the same run.
#ifndef TARSIVEL_BENCH_BEST_OF_H
#define TARSIVEL_BENCH_BEST_OF_H

#include <algorithm>
#include <chrono>
#include <limits>

namespace tarsivel::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The shortest of `times` runs of `call`, in seconds.
template <class Call>
double BestOf(int times, Call call) {
    double best = std::numeric_limits<double>::infinity();
    for (int n = 0; n < times; ++n) {
        const Clock::time_point start = Clock::now();
        call();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

}  // namespace tarsivel::bench

#endif
