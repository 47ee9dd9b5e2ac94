#include "rope.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace tarsivel {
namespace {

constexpr double kPi = 3.141592653589793;

// A half-sine arch below the chord whose deepest point is half the excess length. The arc is not
// exactly ropeLength long; the first steps' link passes settle that.
void LayOutSaggingArch(Rope& rope, Vec2 a, Vec2 b, int32_t segmentCount, double ropeLength) {
    const double chord = std::sqrt(LengthSquared(Difference(b, a)));
    const double sag = ropeLength > chord ? (ropeLength - chord) * 0.5 : 0.0;
    const auto segments = static_cast<double>(segmentCount);
    for (std::size_t j = 0; j < rope.size(); ++j) {
        const double u = static_cast<double>(j) / segments;
        rope[j].x = a.x + (b.x - a.x) * u;
        // Sag is along +y (down the layer) whatever the chord's direction.
        rope[j].y = a.y + (b.y - a.y) * u + std::sin(u * kPi) * sag;
    }
    rope.front().pinned = true;
    rope.back().pinned = true;
}

void LayOutHangingFromA(Rope& rope, Vec2 a, double restLength) {
    for (std::size_t j = 0; j < rope.size(); ++j) {
        rope[j].x = a.x;
        rope[j].y = a.y + static_cast<double>(j) * restLength;
    }
}

// Node 0 (the A end) ends up lowest; Point A itself is not used.
void LayOutHangingFromB(Rope& rope, Vec2 b, double restLength) {
    const std::size_t last = rope.size() - 1;
    for (std::size_t j = 0; j < rope.size(); ++j) {
        rope[j].x = b.x;
        rope[j].y = b.y + static_cast<double>(last - j) * restLength;
    }
}

void StartAtRest(Rope& rope) {
    for (RopeParticle& node : rope) {
        node.prevX = node.x;
        node.prevY = node.y;
    }
}

}  // namespace

Rope BuildRope(Vec2 anchorA, Vec2 anchorB, bool attachA, bool attachB, int32_t segmentCount,
               double ropeLength) {
    if (segmentCount < 1) {
        throw std::invalid_argument("BuildRope: segmentCount must be at least 1");
    }
    Rope rope(static_cast<std::size_t>(segmentCount) + 1, RopeParticle{});
    const double restLength = ropeLength / static_cast<double>(segmentCount);
    if (attachA && attachB) {
        LayOutSaggingArch(rope, anchorA, anchorB, segmentCount, ropeLength);
    } else if (attachA) {
        LayOutHangingFromA(rope, anchorA, restLength);
        rope.front().pinned = true;
    } else if (attachB) {
        LayOutHangingFromB(rope, anchorB, restLength);
        rope.back().pinned = true;
    } else {
        LayOutHangingFromA(rope, anchorA, restLength);
    }
    StartAtRest(rope);
    return rope;
}

}  // namespace tarsivel
