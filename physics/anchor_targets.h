#ifndef TARSIVEL_PHYSICS_ANCHOR_TARGETS_H
#define TARSIVEL_PHYSICS_ANCHOR_TARGETS_H

#include "physics/rope.h"
#include "physics/rope_step_settings.h"

namespace tarsivel {

// Where the attached ends sit at the start and the end of one substep: the anchors move linearly
// from their start-of-frame to their end-of-frame positions across the substeps.
struct AnchorTargets {
    Vec2 aStart;
    Vec2 aEnd;
    Vec2 bStart;
    Vec2 bEnd;
};

// sStart and sEnd are the shares of the frame elapsed at the substep's start and end.
AnchorTargets InterpolateAnchorTargets(const RopeStepSettings& settings, double sStart,
                                       double sEnd);

// Places each attached end on its substep target, with the history at the substep's start so that
// the end carries the anchor's own motion as velocity.
void RepinEnds(Rope& rope, bool attachA, bool attachB, const AnchorTargets& targets);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_ANCHOR_TARGETS_H
