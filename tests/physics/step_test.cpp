#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "physics/collider_contacts.h"
#include "physics/step_rope.h"
#include "tests/physics/rope_test_support.h"
#include "tests/support/step_rope_all_pairs.h"

namespace tarsivel {
namespace {

using physics_test::DriverSettings;
using physics_test::FreeAnchors;
using physics_test::LinkContext;
using physics_test::NodeAt;
using physics_test::SameBits;

constexpr double kPi = 3.141592653589793;
constexpr double kDtSquared = 1.0 / (240.0 * 240.0);  // 8 substeps at 30 fps.

TEST(StepRope, DampingRemovesAtMostAllVelocityAndStaysBounded) {
    RopeStepSettings settings = DriverSettings(16, 630.0);
    EXPECT_NEAR(MakeStepContext(settings).velocityKeep, 0.9958333333333333, 1e-15);
    settings.dampingRate = 100.0;
    settings.substeps = 4;  // dtSub x rate = 0.83: as is.
    EXPECT_NEAR(MakeStepContext(settings).velocityKeep, 1.0 / 6.0, 1e-12);
    settings.substeps = 1;  // 3.33 would give -2.33 and a rope that diverges within 60 frames.
    EXPECT_EQ(MakeStepContext(settings).velocityKeep, 0.0);
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
    IntegrateNodes(rope, MakeStepContext(settings), FreeAnchors(rope));
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
    EXPECT_EQ(MakeStepContext(settings).turbulenceAmplitude, 0.0);  // No wind, no turbulence.
    settings.windX = 60.0;
    settings.windY = 80.0;
    EXPECT_DOUBLE_EQ(MakeStepContext(settings).turbulenceAmplitude, 100.0);

    // Sideways push follows the node's y, vertical push its x.
    Rope rope{NodeAt(0, 50 * kPi), NodeAt(100 * kPi, 0)};
    IntegrateNodes(rope, MakeStepContext(settings), FreeAnchors(rope));
    EXPECT_NEAR(rope[0].x, 160 * kDtSquared, 1e-15);
    EXPECT_NEAR(rope[0].y - 50 * kPi, 180 * kDtSquared, 1e-13);
    EXPECT_NEAR(rope[1].x - 100 * kPi, 60 * kDtSquared, 1e-13);
    EXPECT_NEAR(rope[1].y, -20 * kDtSquared, 1e-15);

    settings.time = 0.1;  // Phase x = 0.5.
    rope = {NodeAt(0, 0), NodeAt(0, 0)};
    IntegrateNodes(rope, MakeStepContext(settings), FreeAnchors(rope));
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
        +[](Rope& r, const RopeStepSettings& s, BroadPhaseStats&) {
            StepScratch scratch;
            StepRope(r, s, scratch);
        },
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

// A busy frame: a rope whose ends move apart falls onto a floor of 24 edges that rises during the
// frame, with stick, bounce, friction, self-collision and tearing (held nodes let a link or two
// tear within 40 frames). Every seventh frame the floor
// gains an edge, so its lists cannot be paired; every fifth frame self-collision is off.
class BusyScene {
  public:
    explicit BusyScene(int32_t segments)
        : rope_(BuildRope({0, 0}, {250, 0}, true, true, segments, 400.0)),
          settings_(DriverSettings(segments, 400.0)) {
        settings_.attachA = settings_.attachB = settings_.tearing = true;
        settings_.tearThresholdPercent = 80.0;
        settings_.staticFriction = 0.3;
        settings_.kineticFriction = 0.2;
        settings_.bounce = 0.4;
        settings_.stick = 0.5;
        settings_.windX = 150.0;
        settings_.turbulenceAmount = 50.0;
        settings_.turbulenceFrequency = 2.0;
        settings_.anchorA = {0, 0};
        settings_.anchorB = {250, 0};
    }

    const Rope& StartRope() const { return rope_; }

    // The settings of frame `frame`, whose edge lists this object holds until the next call.
    const RopeStepSettings& Frame(int frame) {
        const auto floorAt = [](int f, int pieces) {
            std::vector<MaskCollider> floor;
            for (int i = 0; i < pieces; ++i) {
                const double x0 = -60.0 + 400.0 * i / pieces;
                const double x1 = -60.0 + 400.0 * (i + 1) / pieces;
                floor.push_back({x0, 70.0 + 6.0 * std::sin(i) - 0.5 * f, x1,
                                 70.0 + 6.0 * std::sin(i + 1) - 0.5 * f});
            }
            return floor;
        };
        start_ = floorAt(frame, 24);
        end_ = floorAt(frame + 1, frame % 7 == 6 ? 25 : 24);
        settings_.prevAnchorA = settings_.anchorA;
        settings_.prevAnchorB = settings_.anchorB;
        settings_.anchorA.x -= 2.0;
        settings_.anchorB.x += 1.5;
        settings_.selfCollision = frame % 5 != 4;
        settings_.time = frame / 30.0;
        settings_.collidersStart = start_;
        settings_.collidersEnd = end_;
        return settings_;
    }

  private:
    Rope rope_;
    RopeStepSettings settings_;
    std::vector<MaskCollider> start_;
    std::vector<MaskCollider> end_;
};

bool AnyCaught(const StepScratch& scratch) {
    for (const StickAnchor& anchor : scratch.stickAnchors) {
        if (anchor.active) {
            return true;
        }
    }
    return false;
}

// One scratch for every step, also across ropes of other lengths (60 links bins the nodes for
// self-collision, 12 does not) and edge lists of other lengths, against a fresh one each call.
TEST(StepScratch, OneScratchForEveryStepGivesThePlainStepsBits) {
    StepScratch scratch;
    bool caughtAtTheEnd = false;
    for (const int32_t segments : {60, 12, 60}) {
        BusyScene scene(segments);
        Rope plain = scene.StartRope();
        Rope reused = plain;
        for (int frame = 0; frame < 40; ++frame) {
            const RopeStepSettings& settings = scene.Frame(frame);
            StepRope(plain, settings);
            StepRope(reused, settings, scratch);
            ASSERT_TRUE(SameBits(plain, reused)) << segments << " links, frame " << frame;
            caughtAtTheEnd = caughtAtTheEnd || AnyCaught(scratch);
        }
    }
    EXPECT_TRUE(caughtAtTheEnd);  // Later steps really started from a scratch with caught nodes.
}

// Whatever a scratch holds when a step begins, the step behaves as with a fresh one: nodes caught
// by the last step, and even garbage in every list, are reset before the first substep.
TEST(StepScratch, AReusedScratchStartsLikeAFreshOne) {
    BusyScene scene(60);
    Rope rope = scene.StartRope();
    StepScratch scratch;
    int frame = 0;
    for (; frame < 30 && !AnyCaught(scratch); ++frame) {
        StepRope(rope, scene.Frame(frame), scratch);
    }
    ASSERT_TRUE(AnyCaught(scratch)) << "no node was caught at the end of a step";
    const RopeStepSettings& settings = scene.Frame(frame);
    Rope fresh = rope;
    StepRope(fresh, settings);

    Rope afterCaught = rope;
    StepRope(afterCaught, settings, scratch);
    EXPECT_TRUE(SameBits(afterCaught, fresh));

    for (StickAnchor& anchor : scratch.stickAnchors) {
        anchor = {rope[0].x, rope[0].y, true};
    }
    scratch.stickAnchors.resize(rope.size() + 7, StickAnchor{1.0, 2.0, true});
    scratch.edges.assign(3, MaskCollider{0.0, 50.0, 400.0, 50.0});
    Rope afterGarbage = rope;
    StepRope(afterGarbage, settings, scratch);
    EXPECT_TRUE(SameBits(afterGarbage, fresh));
}

// The passes trust what StepRope has checked; debug builds still stop on a mismatch. Each call
// here stays in bounds in a release build, where it simply runs.
TEST(StepPassesDeathTest, AssertMatchingListsInDebugBuilds) {
    const RopeStepSettings settings = DriverSettings(4, 100.0);
    Rope rope = BuildRope({0, 0}, {0, 0}, true, false, 4, 100.0);
    std::vector<StickAnchor> anchors(6, StickAnchor{});
    EXPECT_DEBUG_DEATH(ResolveColliderContacts(rope, {}, 5, 0, 0, 0, 0, 4, anchors), "Assertion");
    EXPECT_DEBUG_DEATH(IntegrateNodes(rope, MakeStepContext(settings), anchors), "Assertion");
    std::vector<MaskCollider> edges(2);
    EXPECT_DEBUG_DEATH(InterpolateSubstepEdges({}, std::vector<MaskCollider>(1), 0.5, edges),
                       "Assertion");
}

void Relax(Rope& rope, const StepContext& context) {
    std::vector<StickAnchor> anchors = FreeAnchors(rope);
    RelaxLinks(rope, context, anchors);
}

TEST(LinkPass, SplitsTheErrorOrGivesItAllToTheFreeEnd) {
    Rope rope{NodeAt(0, 0), NodeAt(0, 12)};
    Relax(rope, LinkContext(10));
    EXPECT_DOUBLE_EQ(rope[0].y, 1.0);
    EXPECT_DOUBLE_EQ(rope[1].y, 11.0);
    EXPECT_EQ(rope[0].prevY, 0.0);  // Histories stay, so the correction is also velocity.

    rope = {NodeAt(0, 0, true), NodeAt(0, 12)};
    Relax(rope, LinkContext(10));
    EXPECT_EQ(rope[0].y, 0.0);
    EXPECT_DOUBLE_EQ(rope[1].y, 10.0);

    rope = {NodeAt(0, 0), NodeAt(0, 12)};
    Relax(rope, LinkContext(10, 0.001));  // "Elasticity" 1 still pulls, weakly.
    EXPECT_NEAR(rope[0].y, 0.001, 1e-15);
}

TEST(LinkPass, CompressedVerticalLinksBuckleToAlternatingSides) {
    Rope rope{NodeAt(0, 0), NodeAt(0, 5), NodeAt(0, 10)};
    Relax(rope, LinkContext(10));
    EXPECT_LT(rope[0].x, 0.0);
    EXPECT_GT(rope[1].x, 0.0);
    EXPECT_LT(rope[2].x, 0.0);

    rope = {NodeAt(0, 0), NodeAt(0, 5), NodeAt(0, 10)};
    rope[0].torn = true;  // Link 1 alone, with the odd nudge.
    Relax(rope, LinkContext(10));
    EXPECT_GT(rope[1].x, 0.0);
    EXPECT_LT(rope[2].x, 0.0);

    rope = {NodeAt(0, 0), NodeAt(0, 15)};  // Stretched: no nudge.
    Relax(rope, LinkContext(10));
    EXPECT_EQ(rope[0].x, 0.0);
    EXPECT_EQ(rope[1].x, 0.0);
}

TEST(LinkPass, TearsOnlyBeyondAPositiveThreshold) {
    struct Case {
        bool tearing;
        double threshold;
        double length;
        bool torn;
    };
    for (const Case c : {Case{true, 0.0, 30.0, false}, Case{false, 100.0, 30.0, false},
                         Case{true, 100.0, 20.0, false}, Case{true, 100.0, 20.001, true}}) {
        Rope rope{NodeAt(0, 0), NodeAt(c.length, 0)};
        Relax(rope, LinkContext(10.0, 1.0, c.tearing, c.threshold));
        EXPECT_EQ(rope[0].torn, c.torn) << c.threshold << " " << c.length;
        EXPECT_DOUBLE_EQ(rope[1].x, c.torn ? c.length : (c.length + 10.0) / 2.0);
    }
}

TEST(LinkPass, TearsInIndexOrderSeeingEarlierCorrections) {
    const StepContext tearing = LinkContext(10.0, 1.0, true, 100.0);
    Rope rope{NodeAt(0, 0, true), NodeAt(25, 0), NodeAt(50, 0), NodeAt(75, 0, true)};
    Relax(rope, tearing);
    EXPECT_TRUE(rope[0].torn && rope[1].torn && rope[2].torn);

    // Link 1 starts at 19 (intact), but link 0's correction stretches it to 28 before its turn.
    rope = {NodeAt(0, 0, true), NodeAt(19, 0), NodeAt(38, 0), NodeAt(57, 0, true)};
    Relax(rope, tearing);
    EXPECT_FALSE(rope[0].torn);
    EXPECT_TRUE(rope[1].torn);
    EXPECT_FALSE(rope[2].torn);
    EXPECT_DOUBLE_EQ(rope[2].x, 47.0);
}

TEST(LinkPass, CaughtNodesHoldUntilStrainExceedsStick) {
    const StepContext sticky = LinkContext(10.0, 1.0, false, 0.0, 0.5);
    Rope rope{NodeAt(0, 0), NodeAt(14, 0)};  // Strain 0.4: both stay caught and unmoved.
    std::vector<StickAnchor> anchors(2, StickAnchor{0, 0, true});
    RelaxLinks(rope, sticky, anchors);
    EXPECT_TRUE(anchors[0].active && anchors[1].active);
    EXPECT_EQ(rope[1].x, 14.0);

    rope[1].x = 16.0;  // Strain 0.6: both let go and the link corrects as usual.
    RelaxLinks(rope, sticky, anchors);
    EXPECT_FALSE(anchors[0].active || anchors[1].active);
    EXPECT_DOUBLE_EQ(rope[0].x, 3.0);

    rope = {NodeAt(0, 0), NodeAt(12, 0)};  // One caught node: the free one takes it all.
    anchors = {{0, 0, true}, {0, 0, false}};
    RelaxLinks(rope, sticky, anchors);
    EXPECT_EQ(rope[0].x, 0.0);
    EXPECT_DOUBLE_EQ(rope[1].x, 10.0);
}

TEST(LinkPassDeathTest, AssertsOneStickAnchorPerNodeInDebugBuilds) {
    Rope rope{NodeAt(0, 0), NodeAt(0, 12)};
    std::vector<StickAnchor> anchors(3, StickAnchor{});  // In bounds when the assert is off.
    EXPECT_DEBUG_DEATH(RelaxLinks(rope, LinkContext(10), anchors), "Assertion");
}

}  // namespace
}  // namespace tarsivel
