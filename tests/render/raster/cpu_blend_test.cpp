#include "render/raster/cpu_blend.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "tests/render/render_test_support.h"

namespace tarsivel {
namespace {

using testing::ImageWorld;
using testing::PixelDepth;
using testing::ViewOf;

// One pixel, blended with coverage `cov`.
template <class Channel>
void BlendOne(ImageWorld& world, float cov, RopeColour colour) {
    const std::vector<float> map(1, cov);
    BlendRopeColour(map.data(), ViewOf<Channel>(world), colour);
}

TEST(CpuBlend, EightBitChannelsTruncateRatherThanRound) {
    ImageWorld world(1, 1, PixelDepth::k8);
    BlendOne<uint8_t>(world, 1.0f, {1.0f, 1.0f, 0.5f, 0.0f});
    const PF_Pixel p = world.Read8(0, 0);
    EXPECT_EQ(p.alpha, 255);
    EXPECT_EQ(p.red, 255);
    EXPECT_EQ(p.green, 127);
    EXPECT_EQ(p.blue, 0);
}

TEST(CpuBlend, SixteenBitFullValueIs32768) {
    ImageWorld world(1, 1, PixelDepth::k16);
    BlendOne<uint16_t>(world, 1.0f, {1.0f, 1.0f, 0.0f, 0.25f});
    const PF_Pixel16 p = world.Read16(0, 0);
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.red, 32768);
    EXPECT_EQ(p.green, 0);
    EXPECT_EQ(p.blue, 8192);
}

TEST(CpuBlend, OldColourCountsWithItsOwnAlpha) {
    // Original alpha 128, red 200; rope red 0 at opacity 0.5. Weighting the
    // old red by its alpha gives 66; an unweighted blend would give 133.
    ImageWorld world(1, 1, PixelDepth::k8);
    world.Write8(0, 0, PF_Pixel{128, 200, 10, 255});
    BlendOne<uint8_t>(world, 1.0f, {0.5f, 0.0f, 0.0f, 0.0f});
    const PF_Pixel p = world.Read8(0, 0);
    EXPECT_EQ(p.alpha, 191);
    EXPECT_EQ(p.red, 66);
}

TEST(CpuBlend, OverAnOpaqueOrClearPixelIsTheUsualMix) {
    ImageWorld world(1, 1, PixelDepth::k32);
    world.WriteFloat(0, 0, PF_PixelFloat{1.0f, 1.0f, 0.0f, 0.5f});
    BlendOne<float>(world, 0.5f, {0.5f, 0.0f, 1.0f, 0.5f});
    PF_PixelFloat p = world.ReadFloat(0, 0);
    EXPECT_EQ(p.alpha, 1.0f);
    EXPECT_FLOAT_EQ(p.red, 0.75f);
    EXPECT_FLOAT_EQ(p.green, 0.25f);
    EXPECT_FLOAT_EQ(p.blue, 0.5f);
    // Over transparent black the colour is the rope's, at its opacity.
    world.WriteFloat(0, 0, PF_PixelFloat{0.0f, 0.0f, 0.0f, 0.0f});
    BlendOne<float>(world, 0.5f, {0.5f, 0.0f, 1.0f, 0.5f});
    p = world.ReadFloat(0, 0);
    EXPECT_FLOAT_EQ(p.alpha, 0.25f);
    EXPECT_FLOAT_EQ(p.green, 1.0f);
    EXPECT_FLOAT_EQ(p.blue, 0.5f);
}

TEST(CpuBlend, UncoveredPixelsAndTransparentRopesLeaveThePixelAlone) {
    ImageWorld world(3, 1, PixelDepth::k8);
    for (int32_t x = 0; x < 3; ++x) {
        world.Write8(x, 0, PF_Pixel{0, 40, 50, 60});
    }
    const std::vector<float> map = {0.0f, -0.5f, 1.0f};
    BlendRopeColour(map.data(), ViewOf<uint8_t>(world), RopeColour{0.0f, 1.0f, 1.0f, 1.0f});
    for (int32_t x = 0; x < 3; ++x) {
        const PF_Pixel p = world.Read8(x, 0);
        EXPECT_EQ(p.red, 40) << x;  // opacity 0 over alpha 0: no colour to weigh
        EXPECT_EQ(p.alpha, 0) << x;
    }
}

TEST(CpuBlend, OutOfRangeSixteenBitInputIsClampedNotWrapped) {
    ImageWorld world(1, 1, PixelDepth::k16);
    world.Write16(0, 0, PF_Pixel16{65535, 65535, 65535, 0});
    BlendOne<uint16_t>(world, 1.0f, {0.1f, 0.0f, 1.0f, 1.0f});
    const PF_Pixel16 p = world.Read16(0, 0);
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.red, 32768);
    EXPECT_EQ(p.green, 32768);
    EXPECT_LE(p.blue, 32768);
}

TEST(CpuBlend, DamagedColoursStayInsideTheChannelRange) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ImageWorld eight(1, 1, PixelDepth::k8);
    BlendOne<uint8_t>(eight, 1.0f, {3.0f, -2.0f, 1e30f, nan});
    const PF_Pixel p = eight.Read8(0, 0);
    EXPECT_EQ(p.alpha, 255);
    EXPECT_EQ(p.red, 0);
    EXPECT_EQ(p.green, 255);
    EXPECT_EQ(p.blue, 0);
    ImageWorld sixteen(1, 1, PixelDepth::k16);
    BlendOne<uint16_t>(sixteen, 1.0f, {nan, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(sixteen.Read16(0, 0).alpha, 0);
}

}  // namespace
}  // namespace tarsivel
