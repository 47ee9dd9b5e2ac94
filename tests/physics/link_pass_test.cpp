#include <gtest/gtest.h>

#include "physics/link_pass.h"
#include "tests/physics/rope_test_support.h"

namespace tarsivel {
namespace {

using physics_test::FreeAnchors;
using physics_test::NodeAt;

LinkPassSettings Links(double restLength, double stiffness = 1.0) {
    return {restLength, stiffness, false, 0.0, 0.0};
}

void Relax(Rope& rope, const LinkPassSettings& settings) {
    std::vector<StickAnchor> anchors = FreeAnchors(rope);
    RelaxLinks(rope, settings, anchors);
}

TEST(LinkPass, SplitsTheErrorOrGivesItAllToTheFreeEnd) {
    Rope rope{NodeAt(0, 0), NodeAt(0, 12)};
    Relax(rope, Links(10));
    EXPECT_DOUBLE_EQ(rope[0].y, 1.0);
    EXPECT_DOUBLE_EQ(rope[1].y, 11.0);
    EXPECT_EQ(rope[0].prevY, 0.0);  // Histories stay, so the correction is also velocity.

    rope = {NodeAt(0, 0, true), NodeAt(0, 12)};
    Relax(rope, Links(10));
    EXPECT_EQ(rope[0].y, 0.0);
    EXPECT_DOUBLE_EQ(rope[1].y, 10.0);

    rope = {NodeAt(0, 0), NodeAt(0, 12)};
    Relax(rope, Links(10, 0.001));  // "Elasticity" 1 still pulls, weakly.
    EXPECT_NEAR(rope[0].y, 0.001, 1e-15);
}

TEST(LinkPass, CompressedVerticalLinksBuckleToAlternatingSides) {
    Rope rope{NodeAt(0, 0), NodeAt(0, 5), NodeAt(0, 10)};
    Relax(rope, Links(10));
    EXPECT_LT(rope[0].x, 0.0);
    EXPECT_GT(rope[1].x, 0.0);
    EXPECT_LT(rope[2].x, 0.0);

    rope = {NodeAt(0, 0), NodeAt(0, 5), NodeAt(0, 10)};
    rope[0].torn = true;  // Link 1 alone, with the odd nudge.
    Relax(rope, Links(10));
    EXPECT_GT(rope[1].x, 0.0);
    EXPECT_LT(rope[2].x, 0.0);

    rope = {NodeAt(0, 0), NodeAt(0, 15)};  // Stretched: no nudge.
    Relax(rope, Links(10));
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
        Relax(rope, {10.0, 1.0, c.tearing, c.threshold, 0.0});
        EXPECT_EQ(rope[0].torn, c.torn) << c.threshold << " " << c.length;
        EXPECT_DOUBLE_EQ(rope[1].x, c.torn ? c.length : (c.length + 10.0) / 2.0);
    }
}

TEST(LinkPass, TearsInIndexOrderSeeingEarlierCorrections) {
    const LinkPassSettings tearing{10.0, 1.0, true, 100.0, 0.0};
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
    const LinkPassSettings sticky{10.0, 1.0, false, 0.0, 0.5};
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
    EXPECT_DEBUG_DEATH(RelaxLinks(rope, Links(10), anchors), "Assertion");
}

}  // namespace
}  // namespace tarsivel
