#ifndef TARSIVEL_PHYSICS_STEP_ROPE_H
#define TARSIVEL_PHYSICS_STEP_ROPE_H

#include <cstdint>
#include <span>
#include <vector>

#include "broad_phase.h"
#include "collider_edge.h"
#include "rope.h"
#include "rope_step_settings.h"
#include "self_collision_pass.h"
#include "stick_anchor.h"
#include "vec2.h"

namespace tarsivel {

// Scratch of a run of steps: the stick anchors, the substep's edge list and the broad phase's bins
// and candidates. One serves any number of StepRope calls, on ropes and edge lists of any size, so
// that a replay allocates it once instead of once a frame. Its contents carry nothing from one
// call to the next: every call resets what it uses exactly as fresh storage would be (every stick
// anchor inactive and zeroed, the bins empty and sized for this rope and these edges).
struct StepScratch {
    std::vector<StickAnchor> stickAnchors;
    std::vector<MaskCollider> edges;
    EdgeBins edgeBins;
    IndexSet edgeCandidates;
    NodeBins nodeBins;
};

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

// The same, working in `scratch` instead of scratch of its own: the same rope, bit for bit.
void StepRope(Rope& rope, const RopeStepSettings& settings, StepScratch& scratch);

// The same, counting the broad phase's work into `stats`.
void StepRope(Rope& rope, const RopeStepSettings& settings, BroadPhaseStats& stats);

// The stages of a step, each on its own for the tests that pin them down and for the all-pairs
// yardstick that tests and benchmarks build from them. Their list arguments must match the rope as
// StepRope makes them (asserted in debug builds only).

inline constexpr int kRelaxationIterations = 10;

// The values one step call derives from its settings, with the settings themselves.
StepContext MakeStepContext(const RopeStepSettings& settings);

// The set-up of every step call: the one check of its inputs (std::invalid_argument, as StepRope
// says, before anything moves), the attachment flags written from the settings, and the context.
StepContext BeginStep(Rope& rope, const RopeStepSettings& settings);

// i / substeps as a double quotient: the share of the frame elapsed after i substeps.
double SubstepFraction(int32_t i, int32_t substeps);

// Where the attached ends sit at the start and the end of one substep: the anchors move linearly
// from their start-of-frame to their end-of-frame positions across the substeps.
struct AnchorTargets {
    Vec2 aStart;
    Vec2 aEnd;
    Vec2 bStart;
    Vec2 bEnd;
};

// sStart and sEnd are the shares of the frame elapsed at the substep's start and end.
AnchorTargets InterpolateAnchorTargets(const RopeStepSettings& settings, double sStart,
                                       double sEnd);

// One substep of position-history integration under gravity, wind and turbulence. Pinned nodes
// are left alone; with stick on, a caught node is put back on its stick anchor at rest instead.
// Needs one stick anchor per node.
void IntegrateNodes(Rope& rope, const StepContext& context,
                    std::span<const StickAnchor> stickAnchors);

// Fills `edges` with the collider edges at the end of a substep, sEnd of the way through the
// frame. Matching counts sweep each edge linearly from its start to its end position; when a mask
// gained or lost vertices the edges cannot be paired, so the end list is used unchanged. `edges`
// must have one element per edge of `end`.
void InterpolateSubstepEdges(std::span<const MaskCollider> start, std::span<const MaskCollider> end,
                             double sEnd, std::span<MaskCollider> edges);

// One Gauss-Seidel sweep over the links in index order, each correction applied at once so later
// links see the moved nodes. Tears over-stretched links, releases caught nodes on strain and pulls
// every intact link towards its rest length. Reads the context's restLength and the settings'
// stiffness, tearing, tearThresholdPercent and stick. Needs one stick anchor per node.
void RelaxLinks(Rope& rope, const StepContext& context, std::span<StickAnchor> stickAnchors);

// The last pass of every relaxation iteration: each attached end is placed on its substep target,
// with the history at the substep's start so that the end carries the anchor's own motion as
// velocity.
void RepinEnds(Rope& rope, bool attachA, bool attachB, const AnchorTargets& targets);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STEP_ROPE_H
