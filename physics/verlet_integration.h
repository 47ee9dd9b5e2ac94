#ifndef TARSIVEL_PHYSICS_VERLET_INTEGRATION_H
#define TARSIVEL_PHYSICS_VERLET_INTEGRATION_H

#include <span>

#include "physics/rope.h"
#include "physics/rope_step_settings.h"
#include "physics/step_derived_values.h"
#include "physics/stick_anchor.h"

namespace tarsivel {

// One substep of position-history integration under gravity, wind and turbulence. Pinned nodes
// are left alone; with stick on, a caught node is put back on its anchor at rest instead.
// Needs one stick anchor per node (asserted in debug builds).
void IntegrateNodes(Rope& rope, const RopeStepSettings& settings, const StepDerivedValues& derived,
                    std::span<const StickAnchor> stickAnchors);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_VERLET_INTEGRATION_H
