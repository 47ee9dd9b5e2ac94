#ifndef TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H
#define TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H

#include "physics/rope.h"

namespace tarsivel {

// Pushes apart every pair of non-neighbouring nodes closer than minDistance, in pair order with
// each push applied at once. Pinned nodes do not move. Every pair is tested: the cost is about
// n * n / 2 distance tests for n nodes.
void ResolveSelfCollisions(Rope& rope, double minDistance);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H
