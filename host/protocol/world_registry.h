// The reference host's record of which pixel format every live world holds.
// Worlds register themselves when they are made and unregister when they go;
// "PF World Suite" answers PF_GetPixelFormat from here.
#ifndef TARSIVEL_HOST_PROTOCOL_WORLD_REGISTRY_H
#define TARSIVEL_HOST_PROTOCOL_WORLD_REGISTRY_H

#include <optional>

#include "hostapi/pf_world.h"

namespace tarsivel::host {

// Thread-safe; registering a world again replaces its format.
void RegisterWorld(const PF_EffectWorld* world, PF_PixelFormat format);
void UnregisterWorld(const PF_EffectWorld* world);
std::optional<PF_PixelFormat> RegisteredFormat(const PF_EffectWorld* world);

}  // namespace tarsivel::host

#endif
