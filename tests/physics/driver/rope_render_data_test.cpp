#include "physics/rope_render_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarsivel {
namespace {

Rope ZigZag(int nodes) {
    Rope rope(std::size_t(nodes), RopeParticle{});
    for (int i = 0; i < nodes; ++i) {
        rope[std::size_t(i)].x = rope[std::size_t(i)].prevX = 10.0 * i;
        rope[std::size_t(i)].y = rope[std::size_t(i)].prevY = (i % 2) * 7.0;
    }
    return rope;
}

RopeRenderData Filled(const Rope& rope, float start = 7.5f, float end = 7.5f, double ox = 0,
                      double oy = 0) {
    RopeRenderData record;
    record.thicknessStart = start;
    record.thicknessEnd = end;
    FillRopeRenderLists(record, rope, ox, oy);
    return record;
}

TEST(RopeRenderDataTest, CreationIsZeroFilledAndDeletionAcceptsNull) {
    RopeRenderData* record = CreateRopeRenderData();
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->points.empty());
    EXPECT_FALSE(record->showNodes);
    EXPECT_EQ(record->colorA, 0.0f);
    DeleteRopeRenderData(record);
    DeleteRopeRenderData(nullptr);
}

TEST(RopeRenderDataTest, IntactRopeGivesFourPiecesPerLinkJoinedAtItsNodes) {
    const Rope rope = ZigZag(5);
    const RopeRenderData record = Filled(rope, 7.5f, 7.5f, 3.0, 4.0);
    ASSERT_EQ(record.points.size(), 16u * 4u);
    ASSERT_EQ(record.segThickness.size(), 8u * 4u);
    ASSERT_EQ(record.nodePoints.size(), 10u);
    ASSERT_EQ(record.nodeThickness.size(), 5u);
    EXPECT_EQ(record.points[0], -3.0f);  // node 0 minus the origin
    EXPECT_EQ(record.points[1], -4.0f);
    for (std::size_t link = 0; link < 4; ++link) {
        // Each link's last piece ends on its far node.
        EXPECT_NEAR(record.points[16 * link + 14], float(rope[link + 1].x - 3.0), 1e-4);
        EXPECT_NEAR(record.points[16 * link + 15], float(rope[link + 1].y - 4.0), 1e-4);
    }
    for (float width : record.segThickness) {
        EXPECT_EQ(width, 7.5f);
    }
    for (float radius : record.nodeThickness) {
        EXPECT_EQ(radius, 3.75f);
    }
}

TEST(RopeRenderDataTest, WidthsTaperOverEveryPieceSlotTornOnesIncluded) {
    Rope rope = ZigZag(17);  // 16 links, 64 slots
    RopeRenderData intact = Filled(rope, 2.0f, 65.0f);
    EXPECT_EQ(intact.segThickness.front(), 2.0f);
    // The start of the last slot is the end width; its end lies one step beyond.
    EXPECT_EQ(intact.segThickness[2 * 63], 65.0f);
    EXPECT_FLOAT_EQ(intact.segThickness[2 * 63 + 1], 66.0f);
    EXPECT_EQ(intact.nodeThickness.front(), 1.0f);
    EXPECT_EQ(intact.nodeThickness.back(), 32.5f);

    rope[0].torn = true;
    const RopeRenderData torn = Filled(rope, 2.0f, 65.0f);
    ASSERT_EQ(torn.segThickness.size(), intact.segThickness.size() - 8);
    // The first drawn piece is slot 4: its width is unchanged by the gap.
    EXPECT_EQ(torn.segThickness.front(), intact.segThickness[8]);
}

TEST(RopeRenderDataTest, AllTornRopeKeepsItsNodesOnly) {
    Rope rope = ZigZag(4);
    for (RopeParticle& p : rope) {
        p.torn = true;
    }
    const RopeRenderData record = Filled(rope);
    EXPECT_TRUE(record.points.empty());
    EXPECT_TRUE(record.segThickness.empty());
    EXPECT_EQ(record.nodePoints.size(), 8u);
}

TEST(RopeRenderDataTest, LinkBetweenTornLinksIsDrawnStraight) {
    Rope rope = ZigZag(5);
    rope[0].torn = true;
    rope[2].torn = true;
    const RopeRenderData record = Filled(rope);
    ASSERT_EQ(record.points.size(), 16u * 2u);
    // Link 1 runs from (10, 7) to (20, 0): every piece end lies on that line.
    for (std::size_t piece = 0; piece < 4; ++piece) {
        const float x = record.points[4 * piece + 2];
        const float y = record.points[4 * piece + 3];
        EXPECT_NEAR(y, 7.0f - 0.7f * (x - 10.0f), 1e-4f);
    }
}

TEST(RopeRenderDataTest, ValuesBeyondTheFloatRangeBecomeInfinities) {
    Rope rope = ZigZag(3);
    rope[1].x = 1e300;
    rope[2].y = -1e300;
    const RopeRenderData record = Filled(rope);
    EXPECT_EQ(record.nodePoints[2], std::numeric_limits<float>::infinity());
    EXPECT_EQ(record.nodePoints[5], -std::numeric_limits<float>::infinity());
}

}  // namespace
}  // namespace tarsivel
