#ifndef TARSIVEL_PHYSICS_STEP_ROPE_H
#define TARSIVEL_PHYSICS_STEP_ROPE_H

#include "physics/broad_phase.h"
#include "physics/rope.h"
#include "physics/rope_step_settings.h"
#include "physics/stick_anchor.h"

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

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_STEP_ROPE_H
