#include "physics/driver/mask_gathering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "entry/suites/scoped_suite.h"
#include "host/protocol/effect_instance.h"
#include "hostapi/pf_suites.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::CornerVertex;
using host::HostCall;
using host::MaskKeyframe;
using host::MaskVertex;

std::vector<MaskVertex> Rectangle(double x0, double y0, double x1, double y1) {
    return {CornerVertex(x0, y0), CornerVertex(x1, y0), CornerVertex(x1, y1), CornerVertex(x0, y1)};
}

class MaskCollidersTest : public ::testing::Test {
  protected:
    // Gathers through the counting host, with the two suites held as the driver holds them.
    std::vector<MaskCollider> Gather(PF_PathID chosen, bool useAll, A_long time = 0,
                                     CommandSettings settings = {}) {
        std::vector<MaskCollider> edges;
        last = instance.RunHandler(
            [&](PF_InData* in_data, PF_OutData* out_data) {
                ScopedSuite<PF_PathQuerySuite1> query(in_data, kPFPathQuerySuite, 1, out_data);
                ScopedSuite<PF_PathDataSuite1> data(in_data, kPFPathDataSuite, 1, out_data);
                GatherMaskColliders(in_data, *query, *data, chosen, useAll, time, 1, edges);
                return PF_Err_NONE;
            },
            settings);
        EXPECT_TRUE(last.Balanced()) << last.BalanceReport();
        return edges;
    }
    host::EffectInstance instance{nullptr, 400, 300};
    CommandResult last;
};

TEST_F(MaskCollidersTest, ClosedRectangleGivesFortyEdgesEndingBackOnTheFirstVertex) {
    const PF_PathID id = instance.Masks().Add(false, Rectangle(10, 20, 110, 70));
    const std::vector<MaskCollider> edges = Gather(id, false);
    ASSERT_EQ(edges.size(), 40u);
    for (std::size_t k = 1; k < edges.size(); ++k) {
        EXPECT_EQ(edges[k].x0, edges[k - 1].x1);  // shared end points, bit for bit
        EXPECT_EQ(edges[k].y0, edges[k - 1].y1);
    }
    EXPECT_EQ(edges[9].x1, 110.0);  // a span ends exactly on its next vertex
    EXPECT_EQ(edges[39].x1, 10.0);
    EXPECT_EQ(edges[39].y1, 20.0);
    // Samples are even in the curve parameter: the first edge covers 2.8 %.
    EXPECT_NEAR((edges[0].x1 - edges[0].x0) / 100.0, 0.028, 1e-12);
}

TEST_F(MaskCollidersTest, OpenOutlinesHaveNoClosingSpanAndOneVertexClosesOnItself) {
    const PF_PathID open = instance.Masks().Add(true, Rectangle(0, 0, 50, 50));
    EXPECT_EQ(Gather(open, false).size(), 30u);
    EXPECT_EQ(last.accounts.Calls(HostCall::PathVertexInfo), 6);

    MaskVertex loop{100, 100, 80, 120, 120, 120};
    const PF_PathID single = instance.Masks().Add(false, {loop});
    const std::vector<MaskCollider> edges = Gather(single, false);
    ASSERT_EQ(edges.size(), 10u);
    EXPECT_EQ(edges.back().x1, 100.0);
    EXPECT_GT(edges[5].y0, 100.0);  // it bulges through the tangent points
}

TEST_F(MaskCollidersTest, UseAllTakesEveryMaskInOrderAndAnUnknownIdNone) {
    const PF_PathID first = instance.Masks().Add(false, Rectangle(0, 0, 10, 10));
    instance.Masks().Add(true, Rectangle(200, 200, 210, 210));
    const std::vector<MaskCollider> all = Gather(first + 7777, true);
    ASSERT_EQ(all.size(), 70u);
    EXPECT_EQ(all[0].x0, 0.0);
    EXPECT_EQ(all[40].x0, 200.0);
    EXPECT_NE(first, 0u);  // ids are the host's numbering, not indices
    EXPECT_TRUE(Gather(first + 7777, false).empty());
    EXPECT_EQ(last.accounts.Calls(HostCall::CheckoutPath), 0);
}

TEST_F(MaskCollidersTest, MasksThatCannotBeReadAreLeftOut) {
    const PF_PathID a = instance.Masks().Add(false, Rectangle(0, 0, 10, 10));
    const PF_PathID b = instance.Masks().Add(false, Rectangle(20, 0, 30, 10));
    const PF_PathID c = instance.Masks().Add(false, Rectangle(40, 0, 50, 10));
    CommandSettings settings;
    settings.failures.FailAlways(HostCall::PathInfo, 1, "0");
    settings.failures.FailAlways(HostCall::PathNumSegments, 1, std::to_string(b));
    settings.failures.FailAlways(HostCall::PathVertexInfo, 1, std::to_string(c) + ":2");
    const std::vector<MaskCollider> edges = Gather(0, true, 0, settings);
    // Mask a unread, b empty but checked in, c without the two spans through vertex 2.
    EXPECT_EQ(edges.size(), 20u);
    EXPECT_EQ(last.accounts.Calls(HostCall::CheckinPath), 2);
    (void)a;

    CommandSettings noCount;
    noCount.failures.FailAlways(HostCall::NumPaths, 1);
    EXPECT_TRUE(Gather(0, true, 0, noCount).empty());
    CommandSettings noCheckout;
    noCheckout.failures.FailAlways(HostCall::CheckoutPath, 1, std::to_string(a));
    EXPECT_EQ(Gather(0, true, 0, noCheckout).size(), 80u);
}

TEST_F(MaskCollidersTest, AnOutlineThatCannotSayWhetherItIsOpenCountsAsClosed) {
    const PF_PathID open = instance.Masks().Add(true, Rectangle(0, 0, 10, 10));
    CommandSettings settings;
    settings.failures.FailAlways(HostCall::PathIsOpen, 1);
    EXPECT_EQ(Gather(open, false, 0, settings).size(), 40u);
}

TEST_F(MaskCollidersTest, AnimatedMasksAreReadAtTheGivenTimeAndDownsampledByTheHost) {
    const PF_PathID id =
        instance.Masks().AddKeyframed(false, {MaskKeyframe{0, Rectangle(0, 0, 100, 100)},
                                              MaskKeyframe{30, Rectangle(100, 0, 200, 100)}});
    EXPECT_EQ(Gather(id, false, 15)[0].x0, 50.0);
    CommandSettings half;
    half.downsampleX = {1, 2};
    half.downsampleY = {1, 2};
    const std::vector<MaskCollider> edges = Gather(id, false, 30, half);
    EXPECT_EQ(edges[0].x0, 50.0);
    EXPECT_EQ(edges[9].x1, 100.0);
}

TEST(FlattenCubicSpanTest, StraightSpanStaysOnItsLine) {
    std::vector<MaskCollider> edges;
    FlattenCubicSpan({0, 0}, {0, 0}, {10, 0}, {10, 0}, edges);
    ASSERT_EQ(edges.size(), 10u);
    for (const MaskCollider& e : edges) {
        EXPECT_EQ(e.y0, 0.0);
        EXPECT_LE(e.x0, e.x1);
    }
    // Symmetric about the middle, longest there.
    EXPECT_NEAR(edges[0].x1 - edges[0].x0, edges[9].x1 - edges[9].x0, 1e-12);
    EXPECT_GT(edges[4].x1 - edges[4].x0, edges[0].x1 - edges[0].x0);
}

}  // namespace
}  // namespace tarsivel
