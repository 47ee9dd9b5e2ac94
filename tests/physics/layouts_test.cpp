#include <gtest/gtest.h>

#include <stdexcept>

#include "physics/rope.h"

namespace tarsivel {
namespace {

void ExpectNodes(const Rope& rope, std::vector<Vec2> positions, std::vector<bool> pinned) {
    ASSERT_EQ(rope.size(), positions.size());
    for (std::size_t j = 0; j < rope.size(); ++j) {
        EXPECT_NEAR(rope[j].x, positions[j].x, 1e-9) << "node " << j;
        EXPECT_NEAR(rope[j].y, positions[j].y, 1e-9) << "node " << j;
        EXPECT_EQ(rope[j].pinned, pinned[j]) << "node " << j;
    }
}

TEST(BuildRope, BothAttachedSagsHalfTheExcessLengthBelowTheChord) {
    ExpectNodes(
        BuildRope({100, 100}, {300, 100}, true, true, 4, 300.0),
        {{100, 100}, {150, 135.35533905932738}, {200, 150}, {250, 135.35533905932738}, {300, 100}},
        {true, false, false, false, true});
    // The sag is along +y even for a vertical chord, so node 3 starts below B.
    ExpectNodes(BuildRope({0, 0}, {0, 100}, true, true, 4, 200.0),
                {{0, 0}, {0, 60.35533905932738}, {0, 100}, {0, 110.35533905932738}, {0, 100}},
                {true, false, false, false, true});
}

TEST(BuildRope, BothAttachedWithoutSlackLiesEvenlyOnTheChord) {
    for (const double length : {500.0, 400.0}) {  // Equal to and shorter than the 500 px chord.
        ExpectNodes(BuildRope({0, 0}, {300, 400}, true, true, 4, length),
                    {{0, 0}, {75, 100}, {150, 200}, {225, 300}, {300, 400}},
                    {true, false, false, false, true});
    }
}

TEST(BuildRope, SingleOrNoAttachmentHangsStraightDownAtRestLength) {
    ExpectNodes(BuildRope({0, 0}, {50, 20}, false, true, 2, 100.0), {{50, 120}, {50, 70}, {50, 20}},
                {false, false, true});
    const std::vector<Vec2> fromA{{10, 20}, {10, 30}, {10, 40}, {10, 50}};
    ExpectNodes(BuildRope({10, 20}, {90, 0}, true, false, 3, 30.0), fromA,
                {true, false, false, false});
    ExpectNodes(BuildRope({10, 20}, {90, 0}, false, false, 3, 30.0), fromA,
                {false, false, false, false});
}

TEST(BuildRope, EveryLayoutStartsAtRestAndIntact) {
    for (const bool attachA : {false, true}) {
        for (const bool attachB : {false, true}) {
            for (const RopeParticle& node : BuildRope({1, 2}, {40, 9}, attachA, attachB, 5, 80.0)) {
                EXPECT_EQ(node.prevX, node.x);
                EXPECT_EQ(node.prevY, node.y);
                EXPECT_FALSE(node.torn);
            }
        }
    }
}

TEST(BuildRope, RejectsARopeWithoutLinks) {
    EXPECT_THROW(BuildRope({0, 0}, {1, 0}, true, true, 0, 10.0), std::invalid_argument);
}

}  // namespace
}  // namespace tarsivel
