#include "render/node_disc.h"

#include <gtest/gtest.h>

#include <limits>

#include "render/channel_math.h"
#include "tests/render/render_test_support.h"

namespace tarsivel {
namespace {

using testing::ImageWorld;
using testing::PixelDepth;
using testing::ViewOf;

template <class Channel>
class NodeDiscTest : public ::testing::Test {
  protected:
    static PixelDepth Depth() {
        if constexpr (std::is_same_v<Channel, uint8_t>) {
            return PixelDepth::k8;
        } else if constexpr (std::is_same_v<Channel, uint16_t>) {
            return PixelDepth::k16;
        } else {
            return PixelDepth::k32;
        }
    }
    static constexpr double kMax = FullValue<Channel>();

    NodeDiscTest() : world(9, 9, Depth(), 3) {
        world.Fill(PF_PixelFloat{0.25f, 0.5f, 0.75f, 1.0f});
    }
    void Disc(double x, double y, double radius) {
        DrawNodeDisc(ViewOf<Channel>(world), x, y, radius, kMax);
    }
    ImageWorld world;
};

using ChannelTypes = ::testing::Types<uint8_t, uint16_t, float>;
TYPED_TEST_SUITE(NodeDiscTest, ChannelTypes);

TYPED_TEST(NodeDiscTest, CentrePixelBecomesOpaquePureRed) {
    this->Disc(4, 4, 0.5);
    const PF_PixelFloat p = this->world.ReadFloat(4, 4);
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_EQ(p.red, 1.0f);
    EXPECT_EQ(p.green, 0.0f);
    EXPECT_EQ(p.blue, 0.0f);
    // Radius 0.5 reaches no neighbour.
    const PF_PixelFloat n = this->world.ReadFloat(5, 4);
    EXPECT_EQ(n.green, this->world.ReadFloat(0, 0).green);
    EXPECT_TRUE(this->world.PaddingIntact());
}

TYPED_TEST(NodeDiscTest, EdgeIsOnePixelSoftAndIgnoresAlphaPremultiplication) {
    this->Disc(4, 4, 2);
    const PF_PixelFloat before = this->world.ReadFloat(0, 0);
    const PF_PixelFloat edge = this->world.ReadFloat(6, 4);  // distance 2: k = 0.5
    const double tolerance = 1.0 / TestFixture::kMax;
    EXPECT_NEAR(edge.red, double(before.red) * 0.5 + 0.5, tolerance);
    EXPECT_NEAR(edge.green, double(before.green) * 0.5, tolerance);
    EXPECT_NEAR(edge.alpha, double(before.alpha) * 0.5 + 0.5, tolerance);
    const PF_PixelFloat inside = this->world.ReadFloat(5, 5);  // distance 1.41: k = 1
    EXPECT_EQ(inside.red, 1.0f);
    EXPECT_EQ(inside.blue, 0.0f);
    const PF_PixelFloat outside = this->world.ReadFloat(7, 4);  // distance 3
    EXPECT_EQ(outside.red, before.red);
}

TYPED_TEST(NodeDiscTest, MarkersOffTheEdgeOrDamagedAreClippedOrSkipped) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    this->Disc(-1, 4, 2);
    EXPECT_EQ(this->world.ReadFloat(0, 4).red, 1.0f);
    this->Disc(8.5, 8.5, 3);
    EXPECT_EQ(this->world.ReadFloat(8, 8).red, 1.0f);
    const PF_PixelFloat untouched = this->world.ReadFloat(4, 8);
    this->Disc(nan, 4, 2);
    this->Disc(4, inf, 2);
    this->Disc(4, 8, nan);
    this->Disc(1e30, -1e30, 5);
    EXPECT_EQ(this->world.ReadFloat(4, 8).green, untouched.green);
    this->Disc(4, 4, 1e30);  // covers the whole world
    EXPECT_EQ(this->world.ReadFloat(4, 8).red, 1.0f);
    EXPECT_TRUE(this->world.PaddingIntact());
}

TEST(NodeMarkers, EveryNodeIsDrawnAndMissingRadiiFallBackToHalfTheStartWidth) {
    ImageWorld world(20, 5, PixelDepth::k8);
    RopeRenderData record;
    record.nodePoints = {2, 2, 10, 2, 17, 2};
    record.nodeThickness = {0.5f};
    record.thicknessStart = 3;  // radius 1.5 for the other two
    DrawNodeMarkers(ViewOf<uint8_t>(world), record, 255.0);
    EXPECT_EQ(world.Read8(2, 2).red, 255);
    EXPECT_EQ(world.Read8(3, 2).red, 0);  // radius 0.5: one pixel
    EXPECT_EQ(world.Read8(11, 2).red, 255);
    EXPECT_EQ(world.Read8(18, 2).red, 255);
    EXPECT_EQ(world.Read8(17, 4).red, 0);  // distance 2 = radius + 0.5
}

}  // namespace
}  // namespace tarsivel
