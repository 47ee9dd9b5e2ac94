// Frames rendered at once: each worker takes the next frame nobody has
// taken, so frames start in order and a slow one holds up no other.
#ifndef TARSIVEL_HOST_TARSIVEL_WORKER_POOL_H
#define TARSIVEL_HOST_TARSIVEL_WORKER_POOL_H

#include <functional>
#include <vector>

namespace tarsivel::cli {

// Runs work(frame) for `frames` on at most `jobs` threads, the calling one
// among them, and returns once every worker has ended. A worker ends when
// the frames run out, when stop() is true as it comes to take another, or
// when work returns false. `work` must not throw.
void RunWorkers(const std::vector<int>& frames, int jobs, const std::function<bool()>& stop,
                const std::function<bool(int frame)>& work);

}  // namespace tarsivel::cli

#endif
