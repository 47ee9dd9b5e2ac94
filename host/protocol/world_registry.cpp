#include "host/protocol/world_registry.h"

#include <mutex>
#include <unordered_map>

namespace tarsivel::host {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<const PF_EffectWorld*, PF_PixelFormat> formats;
};

// Function-local so that worlds made during static initialisation find it.
Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void RegisterWorld(const PF_EffectWorld* world, PF_PixelFormat format) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.formats[world] = format;
}

void UnregisterWorld(const PF_EffectWorld* world) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.formats.erase(world);
}

std::optional<PF_PixelFormat> RegisteredFormat(const PF_EffectWorld* world) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto found = registry.formats.find(world);
    if (found == registry.formats.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace tarsivel::host
