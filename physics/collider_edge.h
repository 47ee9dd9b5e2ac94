#ifndef TARSIVEL_PHYSICS_COLLIDER_EDGE_H
#define TARSIVEL_PHYSICS_COLLIDER_EDGE_H

namespace tarsivel {

// One straight collider edge from (x0, y0) to (x1, y1), cut from a mask outline. Edges have no
// inside or outside; colliders travel as flat lists of them.
struct MaskCollider {
    double x0;
    double y0;
    double x1;
    double y1;
};

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_COLLIDER_EDGE_H
