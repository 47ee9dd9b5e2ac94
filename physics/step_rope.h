#ifndef TARSIVEL_PHYSICS_STEP_ROPE_H
#define TARSIVEL_PHYSICS_STEP_ROPE_H

#include <cstdint>
#include <span>

#include "broad_phase.h"
#include "collider_edge.h"
#include "rope.h"
#include "rope_step_settings.h"
#include "stick_anchor.h"

namespace tarsivel {

// Advances the rope in place by one frame: `substeps` rounds of integration followed by ten
// relaxation iterations (links, self-collision when on, collider contacts, re-pinning). Keeps no
// state between calls; stick anchors last one call. Throws std::invalid_argument unless
// settings.segmentCount >= 1, the rope has segmentCount + 1 nodes and settings.substeps >= 1, and
// lets allocation failures of its scratch lists propagate. That check is made once per call, by
// every form below; the passes inside trust it and only assert it in debug builds.
//
// Link-edge and node-node tests that provably cannot act are skipped (a broad phase over binned
// edges and nodes); the results are those of testing every pair, bit for bit.
void StepRope(Rope& rope, const RopeStepSettings& settings);

// The same, counting the broad phase's work into `stats`.
void StepRope(Rope& rope, const RopeStepSettings& settings, BroadPhaseStats& stats);

// The same step testing every link against every edge and every node pair: the yardstick that
// tests and benchmarks hold the broad phase to.
void StepRopeAllPairs(Rope& rope, const RopeStepSettings& settings);

// The stages of a step, each on its own for the tests that pin them down. Their list arguments
// must match the rope as StepRope makes them (asserted in debug builds only).

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

// One substep of position-history integration under gravity, wind and turbulence. Pinned nodes
// are left alone; with stick on, a caught node is put back on its stick anchor at rest instead.
// Needs one stick anchor per node.
void IntegrateNodes(Rope& rope, const RopeStepSettings& settings, const StepDerivedValues& derived,
                    std::span<const StickAnchor> stickAnchors);

// Fills `edges` with the collider edges at the end of a substep, sEnd of the way through the
// frame. Matching counts sweep each edge linearly from its start to its end position; when a mask
// gained or lost vertices the edges cannot be paired, so the end list is used unchanged. `edges`
// must have one element per edge of `end`.
void InterpolateSubstepEdges(std::span<const MaskCollider> start, std::span<const MaskCollider> end,
                             double sEnd, std::span<MaskCollider> edges);

struct LinkPassSettings {
    double restLength;
    double stiffness;
    bool tearing;
    double tearThresholdPercent;  // <= 0 never tears, even with tearing on.
    double stick;                 // > 0: the strain beyond which caught nodes let go.
};

// One Gauss-Seidel sweep over the links in index order, each correction applied at once so later
// links see the moved nodes. Tears over-stretched links, releases caught nodes on strain and pulls
// every intact link towards its rest length. Needs one stick anchor per node.
void RelaxLinks(Rope& rope, const LinkPassSettings& settings, std::span<StickAnchor> stickAnchors);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STEP_ROPE_H
