#ifndef TARSIVEL_PHYSICS_SUBSTEP_EDGES_H
#define TARSIVEL_PHYSICS_SUBSTEP_EDGES_H

#include <span>

#include "physics/mask_collider.h"

namespace tarsivel {

// Fills `edges` with the collider edges at the end of a substep, sEnd of the way through the
// frame. Matching counts sweep each edge linearly from its start to its end position; when a mask
// gained or lost vertices the edges cannot be paired, so the end list is used unchanged. `edges`
// must have one element per edge of `end` (asserted in debug builds).
void InterpolateSubstepEdges(std::span<const MaskCollider> start, std::span<const MaskCollider> end,
                             double sEnd, std::span<MaskCollider> edges);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_SUBSTEP_EDGES_H
