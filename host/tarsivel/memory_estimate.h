// How much memory a render takes: the worlds, the coverage map and the
// encoded file of one frame, and of all the frames rendered at once, checked
// against what the machine has before the first frame and told again when a
// frame runs out.
#ifndef TARSIVEL_HOST_TARSIVEL_MEMORY_ESTIMATE_H
#define TARSIVEL_HOST_TARSIVEL_MEMORY_ESTIMATE_H

#include <cstdint>
#include <string>

#include "host/scenes/scene.h"

namespace tarsivel::cli {

// What to try when memory is short.
inline constexpr const char* kMemoryAdvice = "try -j 1, --downsample 2 or a lower --depth";

struct MemoryNeed {
    uint64_t perFrame;
    uint64_t total;
    // "a frame needs about N MiB", and with jobs > 1 what they need at once.
    std::string Describe(int jobs) const;
};

// A render of `scene` at `depth` bits, on the GPU or not, `jobs` frames at once.
MemoryNeed EstimateMemory(const host::Scene& scene, int depth, bool gpu, int jobs);

// Throws ExitError (usage) when the machine says it has less than `need`.
void CheckMemory(const MemoryNeed& need, int jobs);

}  // namespace tarsivel::cli

#endif
