#include "physics/link_pass.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace tarsivel {
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

double Weight(const RopeParticle& node, const StickAnchor& anchor) {
    return node.pinned || anchor.active ? 0.0 : 1.0;
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

}  // namespace tarsivel
