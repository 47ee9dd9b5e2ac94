#ifndef TARSIVEL_PHYSICS_STICK_ANCHOR_H
#define TARSIVEL_PHYSICS_STICK_ANCHOR_H

namespace tarsivel {

// Where a collider caught a node. One per node, all made inactive and zeroed by every step call
// before its first substep, so a node stays caught for at most one frame.
struct StickAnchor {
    double x;
    double y;
    bool active;
};

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STICK_ANCHOR_H
