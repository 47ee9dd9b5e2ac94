#ifndef TARSIVEL_PHYSICS_STEP_DERIVED_VALUES_H
#define TARSIVEL_PHYSICS_STEP_DERIVED_VALUES_H

#include <cstdint>

#include "physics/rope_step_settings.h"

namespace tarsivel {

// Values one step call computes once from its settings and uses throughout.
struct StepDerivedValues {
    double restLength;
    double dtSub;
    double velocityKeep;  // Share of velocity a free node keeps per substep, in [0, 1] when damped.
    double contactRadius;
    double selfCollisionDistance;
    double turbulenceAmplitude;
    double phaseX;
    double phaseY;
};

StepDerivedValues DeriveStepValues(const RopeStepSettings& settings);

// i / substeps as a double quotient: the share of the frame elapsed after i substeps.
double SubstepFraction(int32_t i, int32_t substeps);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STEP_DERIVED_VALUES_H
