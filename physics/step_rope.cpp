#include "physics/step_rope.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "physics/anchor_targets.h"
#include "physics/broad_phase.h"
#include "physics/collider_contacts.h"
#include "physics/link_pass.h"
#include "physics/mask_collider.h"
#include "physics/self_collision_pass.h"
#include "physics/step_derived_values.h"
#include "physics/substep_edges.h"
#include "physics/verlet_integration.h"

namespace tarsivel {
namespace {

constexpr int kRelaxationIterations = 10;

// The one check of a step's inputs; the passes below only assert what it guarantees. Every pass
// indexes nodes by link number, so a rope of another length would be read and written out of
// bounds, and without a substep there is no time step.
void RequireStepSettings(const Rope& rope, const RopeStepSettings& settings) {
    if (settings.segmentCount < 1) {
        throw std::invalid_argument("rope: segmentCount must be at least 1");
    }
    if (rope.size() != static_cast<std::size_t>(settings.segmentCount) + 1) {
        throw std::invalid_argument("rope: node count must be segmentCount + 1");
    }
    if (settings.substeps < 1) {
        throw std::invalid_argument("StepRope: substeps must be at least 1");
    }
}

// Switching an attachment on or off takes effect from this frame on.
void WriteAttachmentFlags(Rope& rope, bool attachA, bool attachB) {
    rope.front().pinned = attachA;
    rope.back().pinned = attachB;
}

// The scratch of the broad phase, sized once per call for the rope and the edge count.
struct BroadPhase {
    EdgeBins edgeBins;
    IndexSet edgeCandidates;
    NodeBins nodeBins;
    BroadPhaseStats* stats;
};

// What every relaxation iteration of one call works with, fixed for the call.
struct Relaxation {
    const RopeStepSettings& settings;
    LinkPassSettings links;
    double selfCollisionDistance;
    ContactSettings contacts;
    std::span<StickAnchor> stickAnchors;
    BroadPhase* broadPhase;  // Null: every pair is tested.
};

Relaxation RelaxationFor(const RopeStepSettings& settings, const StepDerivedValues& derived,
                         std::span<StickAnchor> stickAnchors, BroadPhase* broadPhase) {
    return {settings,
            {derived.restLength, settings.stiffness, settings.tearing,
             settings.tearThresholdPercent, settings.stick},
            derived.selfCollisionDistance,
            {derived.contactRadius, settings.staticFriction, settings.kineticFriction,
             settings.bounce, settings.stick},
            stickAnchors,
            broadPhase};
}

void Relax(Rope& rope, const Relaxation& relaxation, std::span<const MaskCollider> edges,
           const AnchorTargets& targets) {
    const RopeStepSettings& settings = relaxation.settings;
    BroadPhase* broadPhase = relaxation.broadPhase;
    for (int iteration = 0; iteration < kRelaxationIterations; ++iteration) {
        RelaxLinks(rope, relaxation.links, relaxation.stickAnchors);
        if (settings.selfCollision) {
            if (broadPhase != nullptr) {
                ResolveSelfCollisions(rope, relaxation.selfCollisionDistance, broadPhase->nodeBins,
                                      broadPhase->stats);
            } else {
                ResolveSelfCollisions(rope, relaxation.selfCollisionDistance);
            }
        }
        if (broadPhase != nullptr) {
            ResolveColliderContacts(rope, edges, relaxation.contacts, relaxation.stickAnchors,
                                    broadPhase->edgeBins, broadPhase->edgeCandidates,
                                    broadPhase->stats);
        } else {
            ResolveColliderContacts(rope, edges, relaxation.contacts, relaxation.stickAnchors);
        }
        // Ends go last, so during an iteration an attached end still sits where the previous
        // iteration (or substep) left it.
        RepinEnds(rope, settings.attachA, settings.attachB, targets);
    }
}

// Without a broad phase every pair is tested: the all-pairs loops that the broad phase must match
// bit for bit.
void Step(Rope& rope, const RopeStepSettings& settings, BroadPhase* broadPhase) {
    RequireStepSettings(rope, settings);
    const StepDerivedValues derived = DeriveStepValues(settings);
    WriteAttachmentFlags(rope, settings.attachA, settings.attachB);

    // The only allocations of a step: every frame starts with no node caught, and one edge buffer
    // serves all substeps.
    std::vector<StickAnchor> stickAnchors(rope.size(), StickAnchor{0.0, 0.0, false});
    std::vector<MaskCollider> edges(settings.collidersEnd.size());
    const Relaxation relaxation = RelaxationFor(settings, derived, stickAnchors, broadPhase);
    if (broadPhase != nullptr) {
        broadPhase->edgeBins.Reserve(edges.size());
        broadPhase->edgeCandidates.Reset(edges.size());
        if (settings.selfCollision) {
            broadPhase->nodeBins.Reserve(rope.size());
        }
    }

    const int32_t substeps = settings.substeps;
    for (int32_t i = 0; i < substeps; ++i) {
        const double sStart = SubstepFraction(i, substeps);
        const double sEnd = SubstepFraction(i + 1, substeps);
        const AnchorTargets targets = InterpolateAnchorTargets(settings, sStart, sEnd);
        IntegrateNodes(rope, settings, derived, stickAnchors);
        InterpolateSubstepEdges(settings.collidersStart, settings.collidersEnd, sEnd, edges);
        if (broadPhase != nullptr) {
            broadPhase->edgeBins.Build(edges, derived.contactRadius);
        }
        Relax(rope, relaxation, edges, targets);
    }
}

}  // namespace

void StepRope(Rope& rope, const RopeStepSettings& settings) {
    BroadPhase broadPhase{};
    Step(rope, settings, &broadPhase);
}

void StepRope(Rope& rope, const RopeStepSettings& settings, BroadPhaseStats& stats) {
    BroadPhase broadPhase{};
    broadPhase.stats = &stats;
    Step(rope, settings, &broadPhase);
}

void StepRopeAllPairs(Rope& rope, const RopeStepSettings& settings) {
    Step(rope, settings, nullptr);
}

}  // namespace tarsivel
