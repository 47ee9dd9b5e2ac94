#include "host/tarsivel/memory_estimate.h"

#include "host/scenes/plate.h"
#include "host/tarsivel/available_memory.h"
#include "host/tarsivel/exit_error.h"

namespace tarsivel::cli {

std::string MemoryNeed::Describe(int jobs) const {
    std::string text = "a frame needs about " + std::to_string((perFrame >> 20) + 1) + " MiB";
    if (jobs > 1) {
        text += ", " + std::to_string(jobs) + " at once about " +
                std::to_string((total >> 20) + 1) + " MiB";
    }
    return text;
}

MemoryNeed EstimateMemory(const host::Scene& scene, int depth, bool gpu, int jobs) {
    const uint64_t pixels = uint64_t(scene.OutputWidth()) * uint64_t(scene.OutputHeight());
    const uint64_t bytesPerPixel = uint64_t(depth / 2);  // four channels of depth bits
    uint64_t perFrame = pixels * (2 * bytesPerPixel + 4);
    if (gpu) {
        perFrame += pixels * (16 * 3);  // two device worlds and the download
    }
    perFrame += host::PlateBytesPerFrame(scene, depth, gpu);  // each frame decodes its own
    return {perFrame, perFrame * uint64_t(jobs) + pixels * 16 + host::PlateSharedBytes(scene)};
}

void CheckMemory(const MemoryNeed& need, int jobs) {
    const uint64_t available = AvailableMemory();
    if (available != 0 && need.total > available) {
        throw ExitError(kExitUsage, "rendering needs more memory than the " +
                                        std::to_string(available >> 20) + " MiB available (" +
                                        need.Describe(jobs) + "); " + kMemoryAdvice);
    }
}

}  // namespace tarsivel::cli
