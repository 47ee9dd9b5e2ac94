#include "physics/step_derived_values.h"

#include <cmath>

namespace tarsivel {
namespace {

// Damping may remove all of a node's velocity but never reverse or amplify it. Unclamped, a high
// damping rate over a long substep makes the factor negative, which flips every velocity each
// substep, and below -1 the rope gains energy until it diverges.
double VelocityKeep(double dtSub, double dampingRate) {
    const double keep = 1.0 - dtSub * dampingRate;
    return keep < 0.0 ? 0.0 : keep;
}

}  // namespace

StepDerivedValues DeriveStepValues(const RopeStepSettings& settings) {
    StepDerivedValues derived{};
    derived.restLength = settings.ropeLength / static_cast<double>(settings.segmentCount);
    derived.dtSub = settings.frameDuration / static_cast<double>(settings.substeps);
    derived.velocityKeep = VelocityKeep(derived.dtSub, settings.dampingRate);
    derived.contactRadius = 0.5 * settings.thickness;
    derived.selfCollisionDistance = 0.95 * settings.thickness;
    // Turbulence scales with the wind, so without wind there is none.
    const double windSpeed = std::sqrt(LengthSquared({settings.windX, settings.windY}));
    derived.turbulenceAmplitude = windSpeed * 0.01 * settings.turbulenceAmount;
    derived.phaseX = settings.time * 5.0;
    derived.phaseY = settings.time * 4.2;
    return derived;
}

double SubstepFraction(int32_t i, int32_t substeps) {
    return static_cast<double>(i) / static_cast<double>(substeps);
}

}  // namespace tarsivel
