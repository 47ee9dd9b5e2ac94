#include "step_rope.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "broad_phase.h"
#include "collider_contacts.h"
#include "collider_edge.h"
#include "self_collision_pass.h"
#include "vec2.h"

namespace tarsivel {

// Set-up, once per call.

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

// One substep: where the attached ends go, integration, and the edges at the substep's end.

namespace {

// Where the attached ends sit at the start and the end of one substep: the anchors move linearly
// from their start-of-frame to their end-of-frame positions across the substeps.
struct AnchorTargets {
    Vec2 aStart;
    Vec2 aEnd;
    Vec2 bStart;
    Vec2 bEnd;
};

void PlaceEnd(RopeParticle& node, Vec2 end, Vec2 start) {
    node.x = end.x;
    node.y = end.y;
    node.prevX = start.x;
    node.prevY = start.y;
}

// sStart and sEnd are the shares of the frame elapsed at the substep's start and end.
AnchorTargets InterpolateAnchorTargets(const RopeStepSettings& settings, double sStart,
                                       double sEnd) {
    AnchorTargets targets{};
    targets.aEnd = Lerp(settings.prevAnchorA, settings.anchorA, sEnd);
    targets.aStart = Lerp(settings.prevAnchorA, settings.anchorA, sStart);
    targets.bEnd = Lerp(settings.prevAnchorB, settings.anchorB, sEnd);
    targets.bStart = Lerp(settings.prevAnchorB, settings.anchorB, sStart);
    return targets;
}

// Places each attached end on its substep target, with the history at the substep's start so that
// the end carries the anchor's own motion as velocity.
void RepinEnds(Rope& rope, bool attachA, bool attachB, const AnchorTargets& targets) {
    if (attachA) {
        PlaceEnd(rope.front(), targets.aEnd, targets.aStart);
    }
    if (attachB) {
        PlaceEnd(rope.back(), targets.bEnd, targets.bStart);
    }
}

void HoldAtStickAnchor(RopeParticle& node, const StickAnchor& stickAnchor) {
    node.x = stickAnchor.x;
    node.y = stickAnchor.y;
    node.prevX = stickAnchor.x;
    node.prevY = stickAnchor.y;
}

// The horizontal turbulence depends on the node's height and the vertical one on its x, so the
// field shears the rope rather than shifting it as a whole.
void Advance(RopeParticle& node, const RopeStepSettings& settings,
             const StepDerivedValues& derived) {
    const double x = node.x;
    const double y = node.y;
    const double vx = (x - node.prevX) * derived.velocityKeep;
    const double vy = (y - node.prevY) * derived.velocityKeep;
    const double frequency = settings.turbulenceFrequency;
    const double amplitude = derived.turbulenceAmplitude;
    const double ax = settings.windX + amplitude * std::sin(y * frequency * 0.01 + derived.phaseX);
    const double ay = settings.gravity + settings.windY +
                      amplitude * std::cos(x * frequency * 0.01 + derived.phaseY);
    const double dtSquared = derived.dtSub * derived.dtSub;
    node.prevX = x;
    node.prevY = y;
    node.x = x + vx + ax * dtSquared;
    node.y = y + vy + ay * dtSquared;
}

}  // namespace

void IntegrateNodes(Rope& rope, const RopeStepSettings& settings, const StepDerivedValues& derived,
                    std::span<const StickAnchor> stickAnchors) {
    assert(stickAnchors.size() == rope.size());
    const bool holdCaughtNodes = settings.stick > 0.0;
    for (std::size_t j = 0; j < rope.size(); ++j) {
        RopeParticle& node = rope[j];
        if (node.pinned) {
            continue;
        }
        if (holdCaughtNodes && stickAnchors[j].active) {
            HoldAtStickAnchor(node, stickAnchors[j]);
        } else {
            Advance(node, settings, derived);
        }
    }
}

void InterpolateSubstepEdges(std::span<const MaskCollider> start, std::span<const MaskCollider> end,
                             double sEnd, std::span<MaskCollider> edges) {
    assert(edges.size() == end.size());
    if (start.size() != end.size()) {
        std::copy(end.begin(), end.end(), edges.begin());
        return;
    }
    for (std::size_t k = 0; k < end.size(); ++k) {
        edges[k] = {Lerp(start[k].x0, end[k].x0, sEnd), Lerp(start[k].y0, end[k].y0, sEnd),
                    Lerp(start[k].x1, end[k].x1, sEnd), Lerp(start[k].y1, end[k].y1, sEnd)};
    }
}

// Relaxation: the link pass, then the other passes of every iteration.

namespace {

constexpr double kShortestCorrectedLink = 1e-9;
constexpr double kVerticalLinkWidth = 1e-4;
constexpr double kBucklingNudge = 0.001;

bool TearsAt(double length, const LinkPassSettings& settings) {
    return settings.tearing && settings.tearThresholdPercent > 0.0 &&
           length > (settings.tearThresholdPercent / 100.0 + 1.0) * settings.restLength;
}

void LetGoOnStrain(double length, const LinkPassSettings& settings, StickAnchor& a,
                   StickAnchor& b) {
    const double strain = std::max(0.0, length - settings.restLength) / settings.restLength;
    if (strain > settings.stick) {
        a.active = false;
        b.active = false;
    }
}

double Weight(const RopeParticle& node, const StickAnchor& stickAnchor) {
    return node.pinned || stickAnchor.active ? 0.0 : 1.0;
}

// Corrects one intact link, or tears it instead when it is over-stretched.
void RelaxLink(std::size_t k, Rope& rope, const LinkPassSettings& settings,
               std::span<StickAnchor> stickAnchors) {
    RopeParticle& a = rope[k];
    RopeParticle& b = rope[k + 1];
    Vec2 delta = Difference(Position(b), Position(a));
    double d = std::sqrt(LengthSquared(delta));
    if (d < kShortestCorrectedLink) {
        return;
    }
    // A compressed vertical link would push straight along the line and the rope would stay
    // balanced on it; tilting the correction, alternately per link, lets it buckle sideways.
    if (d < settings.restLength && std::abs(delta.x) < kVerticalLinkWidth) {
        delta.x += k % 2 == 0 ? kBucklingNudge : -kBucklingNudge;
        d = std::sqrt(LengthSquared(delta));
    }
    if (TearsAt(d, settings)) {
        a.torn = true;
        return;
    }
    if (settings.stick > 0.0) {
        LetGoOnStrain(d, settings, stickAnchors[k], stickAnchors[k + 1]);
    }
    const double weightA = Weight(a, stickAnchors[k]);
    const double weightB = Weight(b, stickAnchors[k + 1]);
    if (weightA == 0.0 && weightB == 0.0) {
        return;
    }
    // Positions only: leaving the histories alone turns every correction into velocity too.
    const double c = (d - settings.restLength) / d * settings.stiffness / (weightA + weightB);
    if (weightA == 1.0) {
        a.x += c * delta.x;
        a.y += c * delta.y;
    }
    if (weightB == 1.0) {
        b.x -= c * delta.x;
        b.y -= c * delta.y;
    }
}

}  // namespace

void RelaxLinks(Rope& rope, const LinkPassSettings& settings, std::span<StickAnchor> stickAnchors) {
    assert(stickAnchors.size() == rope.size());
    for (std::size_t k = 0; k + 1 < rope.size(); ++k) {
        if (!rope[k].torn) {
            RelaxLink(k, rope, settings, stickAnchors);
        }
    }
}

// The step: one check, then every substep's stages and relaxation iterations.

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
