// Turns the selected masks of the layer, at one time, into a flat list of
// straight collider edges: ten per cubic span, masks in the host's order,
// spans in vertex order. A mask that cannot be read is left out, never an error.
#ifndef TARSIVEL_PHYSICS_DRIVER_MASK_GATHERING_H
#define TARSIVEL_PHYSICS_DRIVER_MASK_GATHERING_H

#include <vector>

#include "collider_edge.h"
#include "pf_api.h"
#include "vec2.h"

namespace tarsivel {

// Cubic Bezier from p0 to p3 with control points p1, p2, cut into 10 edges at
// t = k / 10. Consecutive edges share end points bit for bit and the last one
// ends exactly on p3.
void FlattenCubicSpan(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, std::vector<MaskCollider>& edges);

// Appends the edges of every mask whose id is `chosenPathId`, or of every mask
// when `useAllMasks` is on, read at `time` with `timeStep`.
void GatherMaskColliders(const PF_InData* in_data, const PF_PathQuerySuite1& query,
                         const PF_PathDataSuite1& data, PF_PathID chosenPathId, bool useAllMasks,
                         A_long time, A_long timeStep, std::vector<MaskCollider>& edges);

}  // namespace tarsivel

#endif
