#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <thread>

#include "physics/collider_contacts.h"
#include "physics/self_collision_pass.h"
#include "physics/step_rope.h"
#include "tests/physics/rope_test_support.h"

namespace tarsivel {
namespace {

using physics_test::DriverSettings;
using physics_test::SameBits;

using AfterStep = std::function<void(const Rope&, const RopeStepSettings&)>;

// Every feature at once: moving anchors and edges, wind, turbulence, self-collision, tearing,
// stick, bounce and friction.
Rope SimulateBusyScene(int frames, const AfterStep& afterStep = {}) {
    RopeStepSettings settings = DriverSettings(24, 400.0);
    settings.attachA = settings.attachB = settings.selfCollision = settings.tearing = true;
    settings.tearThresholdPercent = 60.0;
    settings.staticFriction = 0.3;
    settings.kineticFriction = 0.2;
    settings.bounce = 0.4;
    settings.stick = 0.8;
    settings.windX = 300.0;
    settings.windY = -100.0;
    settings.turbulenceAmount = 50.0;
    settings.turbulenceFrequency = 2.0;
    Vec2 anchorA{0, 0};
    const Vec2 anchorB{250, 0};
    Rope rope = BuildRope(anchorA, anchorB, true, true, 24, 400.0);
    std::vector<MaskCollider> previous{{-50, 160, 300, 120}, {100, 60, 130, 200}};
    for (int frame = 0; frame < frames; ++frame) {
        std::vector<MaskCollider> current = previous;
        for (MaskCollider& edge : current) {
            edge.y0 -= 4.0;
            edge.y1 -= 4.0;
        }
        settings.prevAnchorA = anchorA;
        anchorA = {anchorA.x + 6.0, anchorA.y - 2.0};
        settings.anchorA = anchorA;
        settings.prevAnchorB = settings.anchorB = anchorB;
        settings.time = frame / 30.0;
        settings.collidersStart = previous;
        settings.collidersEnd = current;
        StepRope(rope, settings);
        if (afterStep) {
            afterStep(rope, settings);
        }
        previous = current;
    }
    return rope;
}

TEST(StepProperties, SameInputsGiveTheSameBitsOnAnyThread) {
    const Rope reference = SimulateBusyScene(40);
    EXPECT_TRUE(SameBits(SimulateBusyScene(40), reference));
    Rope first;
    Rope second;
    std::thread a([&] { first = SimulateBusyScene(40); });
    std::thread b([&] { second = SimulateBusyScene(40); });
    a.join();
    b.join();
    EXPECT_TRUE(SameBits(first, reference));
    EXPECT_TRUE(SameBits(second, reference));
}

TEST(StepProperties, PinnedEndsSitOnTheirLastSubstepTarget) {
    SimulateBusyScene(40, [](const Rope& rope, const RopeStepSettings& s) {
        const double lastStart = SubstepFraction(s.substeps - 1, s.substeps);
        EXPECT_TRUE(
            SameBits(rope.front(),
                     {s.anchorA.x, s.anchorA.y, Lerp(s.prevAnchorA.x, s.anchorA.x, lastStart),
                      Lerp(s.prevAnchorA.y, s.anchorA.y, lastStart), true, rope.front().torn}));
        EXPECT_EQ(rope.back().x, s.anchorB.x);
        EXPECT_EQ(rope.back().y, s.anchorB.y);
    });
}

// A crowded random rope: nodes in a small box, both ends pinned, moving, with edges through it.
Rope CrowdedRope(std::mt19937& random) {
    std::uniform_real_distribution<double> where(-6.0, 6.0);
    Rope rope(12);
    for (RopeParticle& node : rope) {
        node = {where(random), where(random), where(random), where(random), false, false};
    }
    rope.front().pinned = rope.back().pinned = true;
    return rope;
}

TEST(StepProperties, NoPassButRepinningMovesAPinnedNode) {
    std::mt19937 random(11);
    const std::vector<MaskCollider> edges{{-8, -1, 8, 1}, {0, -8, 0.5, 8}, {-3, -3, -3, -3}};
    RopeStepSettings settings = DriverSettings(11, 30.0);
    settings.stick = 0.3;
    settings.windX = 50.0;
    settings.turbulenceAmount = 100.0;
    const StepContext context = MakeStepContext(settings);
    for (int trial = 0; trial < 200; ++trial) {
        Rope rope = CrowdedRope(random);
        const Rope start = rope;
        std::vector<StickAnchor> anchors(rope.size(), StickAnchor{1.0, 1.0, trial % 2 == 0});
        IntegrateNodes(rope, context, anchors);
        RelaxLinks(rope, physics_test::LinkContext(2.5, 1.0, false, 0.0, 0.3), anchors);
        ResolveSelfCollisions(rope, 7.0);
        ResolveColliderContacts(rope, edges, 4.0, 0.5, 0.5, 1.0, 0.3, 11, anchors);
        EXPECT_TRUE(SameBits(rope.front(), start.front()));
        EXPECT_TRUE(SameBits(rope.back(), start.back()));
    }
}

TEST(StepProperties, AStickAnchorHoldsOnlyItsOwnNode) {
    std::mt19937 random(5);
    std::bernoulli_distribution caught(0.4);
    RopeStepSettings settings = DriverSettings(11, 30.0);
    settings.stick = 0.5;
    const StepContext context = MakeStepContext(settings);
    for (int trial = 0; trial < 50; ++trial) {
        Rope rope = CrowdedRope(random);
        Rope free = rope;
        std::vector<StickAnchor> anchors(rope.size());
        for (std::size_t j = 0; j < anchors.size(); ++j) {
            anchors[j] = {static_cast<double>(j), -1.0, caught(random)};
        }
        IntegrateNodes(rope, context, anchors);
        IntegrateNodes(free, context, physics_test::FreeAnchors(free));
        for (std::size_t j = 1; j + 1 < rope.size(); ++j) {
            const RopeParticle held{
                static_cast<double>(j), -1.0, static_cast<double>(j), -1.0, false, false};
            EXPECT_TRUE(SameBits(rope[j], anchors[j].active ? held : free[j])) << j;
        }
    }
}

}  // namespace
}  // namespace tarsivel
