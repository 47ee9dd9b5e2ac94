#include "tests/support/step_rope_all_pairs.h"

#include <cstdint>
#include <vector>

#include "physics/collider_contacts.h"
#include "physics/collider_edge.h"
#include "physics/self_collision_pass.h"
#include "physics/step_rope.h"
#include "physics/stick_anchor.h"

namespace tarsivel {

void StepRopeAllPairs(Rope& rope, const RopeStepSettings& settings) {
    const StepContext context = BeginStep(rope, settings);
    std::vector<StickAnchor> stickAnchors(rope.size(), StickAnchor{0.0, 0.0, false});
    std::vector<MaskCollider> edges(settings.collidersEnd.size());
    for (int32_t i = 0; i < settings.substeps; ++i) {
        const double sEnd = SubstepFraction(i + 1, settings.substeps);
        const AnchorTargets targets =
            InterpolateAnchorTargets(settings, SubstepFraction(i, settings.substeps), sEnd);
        IntegrateNodes(rope, context, stickAnchors);
        InterpolateSubstepEdges(settings.collidersStart, settings.collidersEnd, sEnd, edges);
        for (int iteration = 0; iteration < kRelaxationIterations; ++iteration) {
            RelaxLinks(rope, context, stickAnchors);
            if (settings.selfCollision) {
                ResolveSelfCollisions(rope, context.selfCollisionDistance);
            }
            ResolveColliderContacts(rope, edges, context, stickAnchors);
            RepinEnds(rope, settings.attachA, settings.attachB, targets);
        }
    }
}

}  // namespace tarsivel
