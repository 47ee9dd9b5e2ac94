#include "host/tarsivel/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>

namespace tarsivel::cli {

void RunWorkers(const std::vector<int>& frames, int jobs, const std::function<bool()>& stop,
                const std::function<bool(int frame)>& work) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t taken = next++; taken < frames.size() && !stop(); taken = next++) {
            if (!work(frames[taken])) {
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < std::min(jobs, int(frames.size())); ++j) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& t : threads) {
        t.join();
    }
}

}  // namespace tarsivel::cli
