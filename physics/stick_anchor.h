#ifndef TARSIVEL_PHYSICS_STICK_ANCHOR_H
#define TARSIVEL_PHYSICS_STICK_ANCHOR_H

namespace tarsivel {

// Where a collider caught a node. One per node, created inactive by every step call and dropped at
// its end, so a node stays caught for at most one frame.
struct StickAnchor {
    double x;
    double y;
    bool active;
};

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STICK_ANCHOR_H
