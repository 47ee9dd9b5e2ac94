#ifndef TARSIVEL_PHYSICS_ROPE_H
#define TARSIVEL_PHYSICS_ROPE_H

#include <cstdint>
#include <vector>

#include "vec2.h"

namespace tarsivel {

// One node of the rope. The velocity is implicit: (x - prevX, y - prevY) per substep.
struct RopeParticle {
    double x;
    double y;
    double prevX;
    double prevY;
    bool pinned;  // Held by an attachment; only re-pinning places it.
    bool torn;    // The link from this node to the next is broken, for good.
};

inline Vec2 Position(const RopeParticle& node) {
    return {node.x, node.y};
}

// segmentCount + 1 nodes; node 0 is the "Point A" end, the last node the "Point B" end, and link k
// joins nodes k and k + 1. Never resized: tearing marks links instead of splitting the array.
using Rope = std::vector<RopeParticle>;

// Lays out a fresh rope at rest in one of four layouts chosen by the attachments: an arch sagging
// below the chord (both attached), hanging straight down from A (only A, or neither, then free) or
// from B (only B). Throws std::invalid_argument when segmentCount < 1.
Rope BuildRope(Vec2 anchorA, Vec2 anchorB, bool attachA, bool attachB, int32_t segmentCount,
               double ropeLength);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_ROPE_H
