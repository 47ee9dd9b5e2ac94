#ifndef TARSIVEL_PHYSICS_LINK_PASS_H
#define TARSIVEL_PHYSICS_LINK_PASS_H

#include <span>

#include "physics/rope.h"
#include "physics/stick_anchor.h"

namespace tarsivel {

struct LinkPassSettings {
    double restLength;
    double stiffness;
    bool tearing;
    double tearThresholdPercent;  // <= 0 never tears, even with tearing on.
    double stick;                 // > 0: the strain beyond which caught nodes let go.
};

// One Gauss-Seidel sweep over the links in index order, each correction applied at once so later
// links see the moved nodes. Tears over-stretched links, releases caught nodes on strain and pulls
// every intact link towards its rest length. Needs one stick anchor per node (asserted in debug
// builds; StepRope makes them so).
void RelaxLinks(Rope& rope, const LinkPassSettings& settings, std::span<StickAnchor> stickAnchors);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_LINK_PASS_H
