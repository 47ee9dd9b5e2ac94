#include "physics/anchor_targets.h"

namespace tarsivel {
namespace {

void PlaceEnd(RopeParticle& node, Vec2 end, Vec2 start) {
    node.x = end.x;
    node.y = end.y;
    node.prevX = start.x;
    node.prevY = start.y;
}

}  // namespace

AnchorTargets InterpolateAnchorTargets(const RopeStepSettings& settings, double sStart,
                                       double sEnd) {
    AnchorTargets targets{};
    targets.aEnd = Lerp(settings.prevAnchorA, settings.anchorA, sEnd);
    targets.aStart = Lerp(settings.prevAnchorA, settings.anchorA, sStart);
    targets.bEnd = Lerp(settings.prevAnchorB, settings.anchorB, sEnd);
    targets.bStart = Lerp(settings.prevAnchorB, settings.anchorB, sStart);
    return targets;
}

void RepinEnds(Rope& rope, bool attachA, bool attachB, const AnchorTargets& targets) {
    if (attachA) {
        PlaceEnd(rope.front(), targets.aEnd, targets.aStart);
    }
    if (attachB) {
        PlaceEnd(rope.back(), targets.bEnd, targets.bStart);
    }
}

}  // namespace tarsivel
