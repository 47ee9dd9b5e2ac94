#ifndef TARSIVEL_PHYSICS_STEP_ROPE_H
#define TARSIVEL_PHYSICS_STEP_ROPE_H

#include "physics/rope.h"
#include "physics/rope_step_settings.h"
#include "physics/stick_anchor.h"

namespace tarsivel {

// Advances the rope in place by one frame: `substeps` rounds of integration followed by ten
// relaxation iterations (links, self-collision when on, collider contacts, re-pinning). Keeps no
// state between calls; stick anchors last one call. Throws std::invalid_argument unless
// settings.segmentCount >= 1, the rope has segmentCount + 1 nodes and settings.substeps >= 1, and
// lets allocation failures of its scratch lists propagate.
void StepRope(Rope& rope, const RopeStepSettings& settings);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STEP_ROPE_H
