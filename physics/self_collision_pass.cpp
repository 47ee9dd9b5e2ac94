#include "physics/self_collision_pass.h"

#include <cmath>
#include <cstddef>

namespace tarsivel {
namespace {

// Pairs closer than 1e-4 have no usable direction and are left alone.
constexpr double kCoincidentSquared = 1e-8;

void SeparatePair(RopeParticle& l, RopeParticle& j, double minDistance, double minDistanceSquared) {
    const double dx = j.x - l.x;
    const double dy = j.y - l.y;
    const double q = dx * dx + dy * dy;
    if (!(q < minDistanceSquared && q > kCoincidentSquared)) {
        return;
    }
    const double weightL = l.pinned ? 0.0 : 1.0;
    const double weightJ = j.pinned ? 0.0 : 1.0;
    if (weightL == 0.0 && weightJ == 0.0) {
        return;
    }
    const double d = std::sqrt(q);
    const double s = (minDistance - d) / (weightL + weightJ);
    const double ux = dx / d * s;
    const double uy = dy / d * s;
    // Only moving nodes are written, so a pinned node keeps its exact bits.
    if (weightL == 1.0) {
        l.x -= ux;
        l.y -= uy;
    }
    if (weightJ == 1.0) {
        j.x += ux;
        j.y += uy;
    }
}

}  // namespace

void ResolveSelfCollisions(Rope& rope, double minDistance) {
    const double minDistanceSquared = minDistance * minDistance;
    const std::size_t n = rope.size();
    // Direct neighbours are never tested, even across a torn link, so tearing never changes which
    // pairs collide.
    for (std::size_t l = 0; l < n; ++l) {
        for (std::size_t j = l + 2; j < n; ++j) {
            SeparatePair(rope[l], rope[j], minDistance, minDistanceSquared);
        }
    }
}

}  // namespace tarsivel
