#include "render/raster/node_disc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "render/raster/channel_math.h"
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

// The disc as first written: every pixel of the clipped box through the whole
// formula. The drawn discs must match it bit for bit.
template <class Channel>
void PlainDisc(const ArgbView<Channel>& output, double x, double y, double radius, double max) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(radius)) {
        return;
    }
    const double c0 = std::max(0.0, std::floor(x - radius - 1.0));
    const double c1 = std::min(output.width - 1.0, std::ceil(x + radius + 1.0));
    const double r0 = std::max(0.0, std::floor(y - radius - 1.0));
    const double r1 = std::min(output.height - 1.0, std::ceil(y + radius + 1.0));
    if (!(c0 <= c1) || !(r0 <= r1)) {
        return;
    }
    for (int32_t i = int32_t(r0); i <= int32_t(r1); ++i) {
        for (int32_t j = int32_t(c0); j <= int32_t(c1); ++j) {
            double k = radius + 0.5 - std::sqrt((j - x) * (j - x) + (i - y) * (i - y));
            if (k < 0.0) {
                continue;
            }
            k = std::min(k, 1.0);
            if (k > 0.0) {
                const double keep = 1.0 - k;
                const double red = output.Load(j, i, kRed), green = output.Load(j, i, kGreen);
                const double blue = output.Load(j, i, kBlue), alpha = output.Load(j, i, kAlpha);
                output.Store(j, i, kRed, ChannelFromDouble<Channel>(red * keep + max * k));
                output.Store(j, i, kGreen, ChannelFromDouble<Channel>(green * keep));
                output.Store(j, i, kBlue, ChannelFromDouble<Channel>(blue * keep));
                output.Store(j, i, kAlpha, ChannelFromDouble<Channel>(alpha * keep + max * k));
            }
        }
    }
}

TYPED_TEST(NodeDiscTest, RandomDiscsEqualThePlainLoopBitForBit) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    ImageWorld plain(37, 23, TestFixture::Depth());
    ImageWorld fast(37, 23, TestFixture::Depth());
    for (int32_t yy = 0; yy < 23; ++yy) {
        for (int32_t xx = 0; xx < 37; ++xx) {
            const PF_PixelFloat pixel{unit(random), unit(random), unit(random), unit(random)};
            plain.WriteFloat(xx, yy, pixel);
            fast.WriteFloat(xx, yy, pixel);
        }
    }
    auto same = [&] {
        return std::memcmp(plain.World()->data, fast.World()->data,
                           size_t(plain.Rowbytes()) * size_t(plain.Height())) == 0;
    };
    // Each disc is compared on its own: later discs would paint over the
    // difference an earlier one made.
    for (int n = 0; n < 300; ++n) {
        const float roll = unit(random);
        const double x = -10.0 + 57.0 * double(unit(random));
        const double y = -10.0 + 43.0 * double(unit(random));
        double radius = 12.0 * double(unit(random));
        if (roll < 0.1f) {
            radius = -2.0 * double(unit(random));
        } else if (roll < 0.2f) {
            radius = 0.5 * double(unit(random));
        }
        PlainDisc(ViewOf<TypeParam>(plain), x, y, radius, TestFixture::kMax);
        DrawNodeDisc(ViewOf<TypeParam>(fast), x, y, radius, TestFixture::kMax);
        ASSERT_TRUE(same()) << "disc " << n << " at (" << x << ", " << y << "), radius " << radius;
    }
    // Enormous discs, one from far away, cover everything last.
    PlainDisc(ViewOf<TypeParam>(plain), 20.0, 5.0, 1e6, TestFixture::kMax);
    DrawNodeDisc(ViewOf<TypeParam>(fast), 20.0, 5.0, 1e6, TestFixture::kMax);
    PlainDisc(ViewOf<TypeParam>(plain), -1e20, 5.0, 1e20 + 3.0, TestFixture::kMax);
    DrawNodeDisc(ViewOf<TypeParam>(fast), -1e20, 5.0, 1e20 + 3.0, TestFixture::kMax);
    EXPECT_TRUE(same());
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
