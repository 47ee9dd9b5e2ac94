#include "physics/verlet_integration.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace tarsivel {
namespace {

void HoldAtAnchor(RopeParticle& node, const StickAnchor& anchor) {
    node.x = anchor.x;
    node.y = anchor.y;
    node.prevX = anchor.x;
    node.prevY = anchor.y;
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
            HoldAtAnchor(node, stickAnchors[j]);
        } else {
            Advance(node, settings, derived);
        }
    }
}

}  // namespace tarsivel
