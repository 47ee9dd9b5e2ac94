#ifndef TARSIVEL_PHYSICS_ROPE_STEP_SETTINGS_H
#define TARSIVEL_PHYSICS_ROPE_STEP_SETTINGS_H

#include <cstdint>
#include <span>

#include "collider_edge.h"
#include "vec2.h"

namespace tarsivel {

// Every input of one StepRope call: one frame of simulated time. Lengths in layer pixels,
// accelerations in pixels per second squared, times in seconds.
struct RopeStepSettings {
    Vec2 anchorA{};      // "Point A" at the end of the frame.
    Vec2 anchorB{};      // "Point B" at the end of the frame.
    Vec2 prevAnchorA{};  // "Point A" at the start of the frame.
    Vec2 prevAnchorB{};  // "Point B" at the start of the frame.
    bool attachA = false;
    bool attachB = false;
    bool selfCollision = false;
    bool tearing = false;
    double tearThresholdPercent = 0.0;  // Stretch beyond rest length that tears; <= 0 never tears.
    double staticFriction = 0.0;
    int32_t segmentCount = 0;  // Links; the rope must hold segmentCount + 1 nodes.
    double ropeLength = 0.0;   // Total rest length, > 0.
    double gravity = 0.0;      // Along +y (downwards).
    double stiffness = 0.0;    // Share of a link's length error one correction removes.
    double dampingRate = 0.0;  // Per second.
    double kineticFriction = 0.0;
    double bounce = 0.0;
    double stick = 0.0;  // > 0 lets colliders catch nodes; also the strain that lets them go.
    double windX = 0.0;
    double windY = 0.0;
    double turbulenceAmount = 0.0;  // Percent of the wind's magnitude.
    double turbulenceFrequency = 0.0;
    double time = 0.0;  // Drives the turbulence phase only.
    int32_t substeps = 0;
    double frameDuration = 0.0;
    std::span<const MaskCollider> collidersStart;  // Edges at the start of the frame.
    std::span<const MaskCollider> collidersEnd;    // Edges at the end of the frame.
    double thickness = 0.0;                        // Mean rope width.
};

// What one step call works with from its start to its end: its settings and the values it derives
// from them once. Every stage and pass of the step reads this one record.
struct StepContext {
    RopeStepSettings settings;
    double restLength = 0.0;  // ropeLength / segmentCount
    double dtSub = 0.0;       // frameDuration / substeps
    // Share of velocity a free node keeps per substep, in [0, 1] when damped.
    double velocityKeep = 0.0;
    double contactRadius = 0.0;  // Half the mean width: links are capsules of this radius.
    double selfCollisionDistance = 0.0;
    double turbulenceAmplitude = 0.0;
    double phaseX = 0.0;
    double phaseY = 0.0;
};

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_ROPE_STEP_SETTINGS_H
