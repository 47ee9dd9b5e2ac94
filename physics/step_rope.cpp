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

}  // namespace

StepContext MakeStepContext(const RopeStepSettings& settings) {
    StepContext context{};
    context.settings = settings;
    context.restLength = settings.ropeLength / static_cast<double>(settings.segmentCount);
    context.dtSub = settings.frameDuration / static_cast<double>(settings.substeps);
    context.velocityKeep = VelocityKeep(context.dtSub, settings.dampingRate);
    context.contactRadius = 0.5 * settings.thickness;
    context.selfCollisionDistance = 0.95 * settings.thickness;
    // Turbulence scales with the wind, so without wind there is none.
    const double windSpeed = std::sqrt(LengthSquared({settings.windX, settings.windY}));
    context.turbulenceAmplitude = windSpeed * 0.01 * settings.turbulenceAmount;
    context.phaseX = settings.time * 5.0;
    context.phaseY = settings.time * 4.2;
    return context;
}

StepContext BeginStep(Rope& rope, const RopeStepSettings& settings) {
    RequireStepSettings(rope, settings);
    const StepContext context = MakeStepContext(settings);
    // Switching an attachment on or off takes effect from this frame on.
    rope.front().pinned = settings.attachA;
    rope.back().pinned = settings.attachB;
    return context;
}

double SubstepFraction(int32_t i, int32_t substeps) {
    return static_cast<double>(i) / static_cast<double>(substeps);
}

// One substep: where the attached ends go, integration, and the edges at the substep's end.

AnchorTargets InterpolateAnchorTargets(const RopeStepSettings& settings, double sStart,
                                       double sEnd) {
    AnchorTargets targets{};
    targets.aEnd = Lerp(settings.prevAnchorA, settings.anchorA, sEnd);
    targets.aStart = Lerp(settings.prevAnchorA, settings.anchorA, sStart);
    targets.bEnd = Lerp(settings.prevAnchorB, settings.anchorB, sEnd);
    targets.bStart = Lerp(settings.prevAnchorB, settings.anchorB, sStart);
    return targets;
}

namespace {

void PlaceEnd(RopeParticle& node, Vec2 end, Vec2 start) {
    node.x = end.x;
    node.y = end.y;
    node.prevX = start.x;
    node.prevY = start.y;
}

void HoldAtStickAnchor(RopeParticle& node, const StickAnchor& stickAnchor) {
    node.x = stickAnchor.x;
    node.y = stickAnchor.y;
    node.prevX = stickAnchor.x;
    node.prevY = stickAnchor.y;
}

// The horizontal turbulence depends on the node's height and the vertical one on its x, so the
// field shears the rope rather than shifting it as a whole.
void Advance(RopeParticle& node, const StepContext& context) {
    const RopeStepSettings& settings = context.settings;
    const double x = node.x;
    const double y = node.y;
    const double vx = (x - node.prevX) * context.velocityKeep;
    const double vy = (y - node.prevY) * context.velocityKeep;
    const double frequency = settings.turbulenceFrequency;
    const double amplitude = context.turbulenceAmplitude;
    const double ax = settings.windX + amplitude * std::sin(y * frequency * 0.01 + context.phaseX);
    const double ay = settings.gravity + settings.windY +
                      amplitude * std::cos(x * frequency * 0.01 + context.phaseY);
    const double dtSquared = context.dtSub * context.dtSub;
    node.prevX = x;
    node.prevY = y;
    node.x = x + vx + ax * dtSquared;
    node.y = y + vy + ay * dtSquared;
}

}  // namespace

void IntegrateNodes(Rope& rope, const StepContext& context,
                    std::span<const StickAnchor> stickAnchors) {
    assert(stickAnchors.size() == rope.size());
    const bool holdCaughtNodes = context.settings.stick > 0.0;
    for (std::size_t j = 0; j < rope.size(); ++j) {
        RopeParticle& node = rope[j];
        if (node.pinned) {
            continue;
        }
        if (holdCaughtNodes && stickAnchors[j].active) {
            HoldAtStickAnchor(node, stickAnchors[j]);
        } else {
            Advance(node, context);
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

bool TearsAt(double length, const StepContext& context) {
    const RopeStepSettings& settings = context.settings;
    return settings.tearing && settings.tearThresholdPercent > 0.0 &&
           length > (settings.tearThresholdPercent / 100.0 + 1.0) * context.restLength;
}

void LetGoOnStrain(double length, const StepContext& context, StickAnchor& a, StickAnchor& b) {
    const double strain = std::max(0.0, length - context.restLength) / context.restLength;
    if (strain > context.settings.stick) {
        a.active = false;
        b.active = false;
    }
}

double Weight(const RopeParticle& node, const StickAnchor& stickAnchor) {
    return node.pinned || stickAnchor.active ? 0.0 : 1.0;
}

// Corrects one intact link, or tears it instead when it is over-stretched.
void RelaxLink(std::size_t k, Rope& rope, const StepContext& context,
               std::span<StickAnchor> stickAnchors) {
    const double restLength = context.restLength;
    RopeParticle& a = rope[k];
    RopeParticle& b = rope[k + 1];
    Vec2 delta = Difference(Position(b), Position(a));
    double d = std::sqrt(LengthSquared(delta));
    if (d < kShortestCorrectedLink) {
        return;
    }
    // A compressed vertical link would push straight along the line and the rope would stay
    // balanced on it; tilting the correction, alternately per link, lets it buckle sideways.
    if (d < restLength && std::abs(delta.x) < kVerticalLinkWidth) {
        delta.x += k % 2 == 0 ? kBucklingNudge : -kBucklingNudge;
        d = std::sqrt(LengthSquared(delta));
    }
    if (TearsAt(d, context)) {
        a.torn = true;
        return;
    }
    if (context.settings.stick > 0.0) {
        LetGoOnStrain(d, context, stickAnchors[k], stickAnchors[k + 1]);
    }
    const double weightA = Weight(a, stickAnchors[k]);
    const double weightB = Weight(b, stickAnchors[k + 1]);
    if (weightA == 0.0 && weightB == 0.0) {
        return;
    }
    // Positions only: leaving the histories alone turns every correction into velocity too.
    const double c = (d - restLength) / d * context.settings.stiffness / (weightA + weightB);
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

void RelaxLinks(Rope& rope, const StepContext& context, std::span<StickAnchor> stickAnchors) {
    assert(stickAnchors.size() == rope.size());
    for (std::size_t k = 0; k + 1 < rope.size(); ++k) {
        if (!rope[k].torn) {
            RelaxLink(k, rope, context, stickAnchors);
        }
    }
}

void RepinEnds(Rope& rope, bool attachA, bool attachB, const AnchorTargets& targets) {
    if (attachA) {
        PlaceEnd(rope.front(), targets.aEnd, targets.aStart);
    }
    if (attachB) {
        PlaceEnd(rope.back(), targets.bEnd, targets.bStart);
    }
}

// The step: its set-up, then every substep's stages and relaxation iterations.

namespace {

void Relax(Rope& rope, const StepContext& context, StepScratch& scratch,
           const AnchorTargets& targets, BroadPhaseStats* stats) {
    const RopeStepSettings& settings = context.settings;
    for (int iteration = 0; iteration < kRelaxationIterations; ++iteration) {
        RelaxLinks(rope, context, scratch.stickAnchors);
        if (settings.selfCollision) {
            ResolveSelfCollisions(rope, context.selfCollisionDistance, scratch.nodeBins, stats);
        }
        ResolveColliderContacts(rope, scratch.edges, context, scratch.stickAnchors,
                                scratch.edgeBins, scratch.edgeCandidates, stats);
        // Ends go last, so during an iteration an attached end still sits where the previous
        // iteration (or substep) left it.
        RepinEnds(rope, settings.attachA, settings.attachB, targets);
    }
}

void Step(Rope& rope, const RopeStepSettings& settings, StepScratch& scratch,
          BroadPhaseStats* stats) {
    const StepContext context = BeginStep(rope, settings);

    // Every frame starts with no node caught, and one edge buffer serves all substeps. The
    // scratch's storage is reused; its contents are reset here as fresh storage would be.
    scratch.stickAnchors.assign(rope.size(), StickAnchor{0.0, 0.0, false});
    scratch.edges.assign(settings.collidersEnd.size(), MaskCollider{});
    scratch.edgeBins.Reserve(scratch.edges.size());
    scratch.edgeCandidates.Reset(scratch.edges.size());
    if (settings.selfCollision) {
        scratch.nodeBins.Reserve(rope.size());
    }

    const int32_t substeps = settings.substeps;
    for (int32_t i = 0; i < substeps; ++i) {
        const double sStart = SubstepFraction(i, substeps);
        const double sEnd = SubstepFraction(i + 1, substeps);
        const AnchorTargets targets = InterpolateAnchorTargets(settings, sStart, sEnd);
        IntegrateNodes(rope, context, scratch.stickAnchors);
        InterpolateSubstepEdges(settings.collidersStart, settings.collidersEnd, sEnd,
                                scratch.edges);
        scratch.edgeBins.Build(scratch.edges, context.contactRadius);
        Relax(rope, context, scratch, targets, stats);
    }
}

}  // namespace

void StepRope(Rope& rope, const RopeStepSettings& settings) {
    StepScratch scratch;
    Step(rope, settings, scratch, nullptr);
}

void StepRope(Rope& rope, const RopeStepSettings& settings, StepScratch& scratch) {
    Step(rope, settings, scratch, nullptr);
}

void StepRope(Rope& rope, const RopeStepSettings& settings, BroadPhaseStats& stats) {
    StepScratch scratch;
    Step(rope, settings, scratch, &stats);
}

}  // namespace tarsivel
