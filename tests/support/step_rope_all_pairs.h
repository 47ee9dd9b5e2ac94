// The yardstick that tests and benchmarks hold the step's broad phase to.
#ifndef TARSIVEL_TESTS_SUPPORT_STEP_ROPE_ALL_PAIRS_H
#define TARSIVEL_TESTS_SUPPORT_STEP_ROPE_ALL_PAIRS_H

#include "physics/rope.h"
#include "physics/rope_step_settings.h"

namespace tarsivel {

// One frame as StepRope steps it, but testing every link against every edge and every node pair
// against each other: the step's public stages run with the all-pairs passes, in StepRope's order.
// StepRope must give the same rope, bit for bit. Throws as StepRope does.
void StepRopeAllPairs(Rope& rope, const RopeStepSettings& settings);

}  // namespace tarsivel

#endif  // TARSIVEL_TESTS_SUPPORT_STEP_ROPE_ALL_PAIRS_H
