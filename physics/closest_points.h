#ifndef TARSIVEL_PHYSICS_CLOSEST_POINTS_H
#define TARSIVEL_PHYSICS_CLOSEST_POINTS_H

#include "physics/vec2.h"

namespace tarsivel {

// Closest points between the link p0-p1 and the edge q0-q1. Writes the point on each segment and
// returns their squared distance. Nearly parallel or degenerate pairs (determinant < 1e-8) are
// measured from p0 first; clamping onto the edge may still move the point along the link.
double ClosestPointsSegmentSegment(Vec2 p0, Vec2 p1, Vec2 q0, Vec2 q1, Vec2& onLink, Vec2& onEdge);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_CLOSEST_POINTS_H
