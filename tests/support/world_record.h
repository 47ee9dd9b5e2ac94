// A bare world record for tests that hand the renderers or the host's suites a
// world of their own making: the size, the row length and the pixels, every
// other field zero.
#ifndef TARSIVEL_TESTS_SUPPORT_WORLD_RECORD_H
#define TARSIVEL_TESTS_SUPPORT_WORLD_RECORD_H

#include "hostapi/pf_api.h"

namespace tarsivel {

inline PF_EffectWorld WorldRecord(A_long width, A_long height, A_long rowbytes,
                                  void* pixels = nullptr) {
    PF_EffectWorld world{};
    world.width = width;
    world.height = height;
    world.rowbytes = rowbytes;
    world.data = static_cast<PF_PixelPtr>(pixels);
    return world;
}

}  // namespace tarsivel

#endif
