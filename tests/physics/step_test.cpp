#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <utility>

#include "physics/collider_contacts.h"
#include "physics/step_derived_values.h"
#include "physics/substep_edges.h"
#include "physics/verlet_integration.h"
#include "tests/physics/rope_test_support.h"

namespace tarsivel {
namespace {

using physics_test::DriverSettings;
using physics_test::FreeAnchors;
using physics_test::NodeAt;
using physics_test::SameBits;

constexpr double kPi = 3.141592653589793;
constexpr double kDtSquared = 1.0 / (240.0 * 240.0);  // 8 substeps at 30 fps.

TEST(StepRope, DampingRemovesAtMostAllVelocityAndStaysBounded) {
    RopeStepSettings settings = DriverSettings(16, 630.0);
    EXPECT_NEAR(DeriveStepValues(settings).velocityKeep, 0.9958333333333333, 1e-15);
    settings.dampingRate = 100.0;
    settings.substeps = 4;  // dtSub x rate = 0.83: as is.
    EXPECT_NEAR(DeriveStepValues(settings).velocityKeep, 1.0 / 6.0, 1e-12);
    settings.substeps = 1;  // 3.33 would give -2.33 and a rope that diverges within 60 frames.
    EXPECT_EQ(DeriveStepValues(settings).velocityKeep, 0.0);
    settings.attachA = settings.attachB = true;
    settings.prevAnchorB = settings.anchorB = {300, 0};
    Rope rope = BuildRope({0, 0}, {300, 0}, true, true, 16, 630.0);
    for (int frame = 0; frame < 60; ++frame) {
        StepRope(rope, settings);
    }
    for (const RopeParticle& node : rope) {
        EXPECT_LT(std::abs(node.x) + std::abs(node.y), 2000.0);
    }
}

TEST(Integration, FreeNodeAtRestFallsGravityTimesSubstepSquared) {
    const RopeStepSettings settings = DriverSettings(1, 10.0);
    Rope rope{NodeAt(3, 0), NodeAt(0, 0, true)};
    IntegrateNodes(rope, settings, DeriveStepValues(settings), FreeAnchors(rope));
    EXPECT_EQ(rope[0].x, 3.0);
    EXPECT_NEAR(rope[0].y, 0.0347222222222222, 1e-15);
    EXPECT_EQ(rope[0].prevY, 0.0);
    EXPECT_TRUE(SameBits(rope[1], NodeAt(0, 0, true)));
}

TEST(Integration, TurbulenceScalesWithWindAndShearsByPosition) {
    RopeStepSettings settings = DriverSettings(1, 10.0);
    settings.gravity = 0.0;
    settings.turbulenceAmount = 100.0;
    settings.turbulenceFrequency = 1.0;
    EXPECT_EQ(DeriveStepValues(settings).turbulenceAmplitude, 0.0);  // No wind, no turbulence.
    settings.windX = 60.0;
    settings.windY = 80.0;
    EXPECT_DOUBLE_EQ(DeriveStepValues(settings).turbulenceAmplitude, 100.0);

    // Sideways push follows the node's y, vertical push its x.
    Rope rope{NodeAt(0, 50 * kPi), NodeAt(100 * kPi, 0)};
    IntegrateNodes(rope, settings, DeriveStepValues(settings), FreeAnchors(rope));
    EXPECT_NEAR(rope[0].x, 160 * kDtSquared, 1e-15);
    EXPECT_NEAR(rope[0].y - 50 * kPi, 180 * kDtSquared, 1e-13);
    EXPECT_NEAR(rope[1].x - 100 * kPi, 60 * kDtSquared, 1e-13);
    EXPECT_NEAR(rope[1].y, -20 * kDtSquared, 1e-15);

    settings.time = 0.1;  // Phase x = 0.5.
    rope = {NodeAt(0, 0), NodeAt(0, 0)};
    IntegrateNodes(rope, settings, DeriveStepValues(settings), FreeAnchors(rope));
    EXPECT_NEAR(rope[0].x, (60 + 100 * std::sin(0.5)) * kDtSquared, 1e-15);
}

TEST(StepRope, RelaxesExactlyTenTimesPerSubstep) {
    RopeStepSettings settings = DriverSettings(1, 10.0);
    settings.attachA = true;
    settings.gravity = 0.0;
    settings.stiffness = 0.5;  // Each iteration halves the free end's error.
    settings.substeps = 1;
    Rope rope = BuildRope({0, 0}, {0, 0}, true, false, 1, 10.0);
    rope[1] = NodeAt(0, 20.24);
    StepRope(rope, settings);
    EXPECT_NEAR(rope[1].y, 10.01, 1e-12);
}

TEST(StepRope, AttachmentSwitchesTakeEffectFromTheirFrame) {
    RopeStepSettings settings = DriverSettings(4, 300.0);
    settings.prevAnchorB = settings.anchorB = {200, 0};
    settings.attachA = true;
    Rope rope = BuildRope({0, 0}, {200, 0}, true, true, 4, 300.0);
    StepRope(rope, settings);
    EXPECT_FALSE(rope.back().pinned);
    EXPECT_NE(rope.back().x, 200.0);  // Swings free from where it was.

    settings.attachB = true;
    settings.prevAnchorB = settings.anchorB = {150, 20};
    StepRope(rope, settings);
    EXPECT_TRUE(rope.back().pinned);
    EXPECT_TRUE(SameBits(rope.back(), NodeAt(150, 20, true)));
}

TEST(StepRope, UnpairedColliderListsUseTheEndEdgesUnchanged) {
    const std::vector<MaskCollider> end{{-500, 102, 500, 102}, {900, 0, 900, 50}};
    const std::vector<MaskCollider> other{{-500, 0, 500, 0}};
    RopeStepSettings settings = DriverSettings(4, 100.0);
    settings.attachA = true;
    const Rope start = BuildRope({0, 0}, {0, 0}, true, false, 4, 100.0);
    auto step = [&](std::span<const MaskCollider> from, std::span<const MaskCollider> to) {
        Rope rope = start;
        settings.collidersStart = from;
        settings.collidersEnd = to;
        StepRope(rope, settings);
        return rope;
    };
    const Rope unpaired = step(other, end);
    EXPECT_TRUE(SameBits(unpaired, step(end, end)));
    EXPECT_FALSE(SameBits(unpaired, step({}, {})));  // The floor was felt.

    std::vector<MaskCollider> edges(1);
    InterpolateSubstepEdges(other, std::vector<MaskCollider>{{10, 20, 30, 40}}, 0.25, edges);
    EXPECT_DOUBLE_EQ(edges[0].x0, -372.5);
    EXPECT_DOUBLE_EQ(edges[0].y0, 5.0);
    EXPECT_DOUBLE_EQ(edges[0].x1, 382.5);
    EXPECT_DOUBLE_EQ(edges[0].y1, 10.0);
}

TEST(StepRope, EveryFormRejectsRopesAndSettingsThatDoNotMatch) {
    const Rope start = BuildRope({0, 0}, {0, 0}, true, false, 4, 100.0);
    BroadPhaseStats stats;
    const auto steps = {
        +[](Rope& r, const RopeStepSettings& s, BroadPhaseStats&) { StepRope(r, s); },
        +[](Rope& r, const RopeStepSettings& s, BroadPhaseStats& st) { StepRope(r, s, st); },
        +[](Rope& r, const RopeStepSettings& s, BroadPhaseStats&) { StepRopeAllPairs(r, s); }};
    for (const auto step : steps) {
        for (const auto& [segments, substeps] :
             {std::pair{3, 8}, std::pair{0, 8}, std::pair{4, 0}}) {
            RopeStepSettings settings = DriverSettings(segments, 100.0);
            settings.substeps = substeps;
            Rope rope = start;
            EXPECT_THROW(step(rope, settings, stats), std::invalid_argument) << segments;
            EXPECT_TRUE(SameBits(rope, start));  // Checked before anything moves.
        }
    }
}

// The passes trust what StepRope has checked; debug builds still stop on a mismatch. Each call
// here stays in bounds in a release build, where it simply runs.
TEST(StepPassesDeathTest, AssertMatchingListsInDebugBuilds) {
    const RopeStepSettings settings = DriverSettings(4, 100.0);
    Rope rope = BuildRope({0, 0}, {0, 0}, true, false, 4, 100.0);
    std::vector<StickAnchor> anchors(6, StickAnchor{});
    EXPECT_DEBUG_DEATH(ResolveColliderContacts(rope, {}, 5, 0, 0, 0, 0, 4, anchors), "Assertion");
    EXPECT_DEBUG_DEATH(IntegrateNodes(rope, settings, DeriveStepValues(settings), anchors),
                       "Assertion");
    std::vector<MaskCollider> edges(2);
    EXPECT_DEBUG_DEATH(InterpolateSubstepEdges({}, std::vector<MaskCollider>(1), 0.5, edges),
                       "Assertion");
}

}  // namespace
}  // namespace tarsivel
