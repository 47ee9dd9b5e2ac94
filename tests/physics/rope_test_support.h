#ifndef TARSIVEL_TESTS_PHYSICS_ROPE_TEST_SUPPORT_H
#define TARSIVEL_TESTS_PHYSICS_ROPE_TEST_SUPPORT_H

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "physics/step_rope.h"

namespace tarsivel::physics_test {

// The driver's values for "Gravity" 500, "Damping" 1, "Elasticity" 0.1, 8 substeps at 30 fps.
inline RopeStepSettings DriverSettings(int32_t segmentCount, double ropeLength) {
    RopeStepSettings settings;
    settings.segmentCount = segmentCount;
    settings.ropeLength = ropeLength;
    settings.gravity = 2000.0;
    settings.stiffness = 0.9;
    settings.dampingRate = 1.0;
    settings.substeps = 8;
    settings.frameDuration = 1.0 / 30.0;
    settings.thickness = 7.5;
    return settings;
}

// A context for running the link pass on its own.
inline StepContext LinkContext(double restLength, double stiffness = 1.0, bool tearing = false,
                               double tearThresholdPercent = 0.0, double stick = 0.0) {
    StepContext context{};
    context.restLength = restLength;
    context.settings.stiffness = stiffness;
    context.settings.tearing = tearing;
    context.settings.tearThresholdPercent = tearThresholdPercent;
    context.settings.stick = stick;
    return context;
}

inline RopeParticle NodeAt(double x, double y, bool pinned = false) {
    return {x, y, x, y, pinned, false};
}

inline std::vector<StickAnchor> FreeAnchors(const Rope& rope) {
    return std::vector<StickAnchor>(rope.size(), StickAnchor{0.0, 0.0, false});
}

inline bool SameBits(const RopeParticle& a, const RopeParticle& b) {
    auto bits = [](double v) { return std::bit_cast<uint64_t>(v); };
    return bits(a.x) == bits(b.x) && bits(a.y) == bits(b.y) && bits(a.prevX) == bits(b.prevX) &&
           bits(a.prevY) == bits(b.prevY) && a.pinned == b.pinned && a.torn == b.torn;
}

inline bool SameBits(const Rope& a, const Rope& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const RopeParticle& p, const RopeParticle& q) { return SameBits(p, q); });
}

}  // namespace tarsivel::physics_test

#endif  // TARSIVEL_TESTS_PHYSICS_ROPE_TEST_SUPPORT_H
