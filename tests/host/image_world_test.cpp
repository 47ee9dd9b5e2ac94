#include "host/protocol/image_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/protocol/channel_conversions.h"
#include "host/protocol/world_registry.h"

namespace tarsivel::host {
namespace {

TEST(ChannelConversions, IntegerFormulasRoundAsWritten) {
    EXPECT_EQ(ToChannel16(uint8_t{0}), 0);
    EXPECT_EQ(ToChannel16(uint8_t{1}), 129);
    EXPECT_EQ(ToChannel16(uint8_t{128}), 16448);
    EXPECT_EQ(ToChannel16(uint8_t{255}), 32768);
    EXPECT_EQ(Png16ToChannel16(1), 1);
    EXPECT_EQ(Png16ToChannel16(32767), 16384);
    EXPECT_EQ(Png16ToChannel16(65535), 32768);
    EXPECT_EQ(Channel16ToPng16(16384), 32768);
    EXPECT_EQ(Channel16ToPng16(32768), 65535);
    EXPECT_EQ(Channel16ToPng16(65535), 65535);  // out of range saturates
    EXPECT_EQ(Channel8ToPng16(255), 65535);
    EXPECT_EQ(ToChannel8(uint16_t{32768}), 255);
    EXPECT_EQ(ToChannel8(uint16_t{65535}), 255);
}

TEST(ChannelConversions, FloatsClampAndRoundToNearest) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(ToChannel8(0.5f), 128);  // 127.5 rounds up
    EXPECT_EQ(ToChannel8(0.4f / 255.0f), 0);
    EXPECT_EQ(ToChannel8(0.6f / 255.0f), 1);
    EXPECT_EQ(ToChannel8(-1.0f), 0);
    EXPECT_EQ(ToChannel8(7.0f), 255);
    EXPECT_EQ(ToChannel8(nan), 0);
    EXPECT_EQ(ToChannel16(0.5f), 16384);
    EXPECT_EQ(ToChannel16(2.0f), 32768);
    EXPECT_EQ(ChannelFloatToPng16(1.0f), 65535);
    EXPECT_EQ(ChannelFloatToPng16(0.5f), 32768);
    EXPECT_EQ(ToChannelFloat(uint8_t{255}), 1.0f);
    EXPECT_EQ(ToChannelFloat(uint16_t{16384}), 0.5f);
    EXPECT_EQ(Png16ToChannelFloat(65535), 1.0f);
}

TEST(ChannelConversions, EveryValueSurvivesTheRoundTripsItsFilesMake) {
    for (uint32_t c = 0; c <= kFull16; ++c) {
        const auto v = static_cast<uint16_t>(c);
        ASSERT_EQ(Png16ToChannel16(Channel16ToPng16(v)), v) << c;
        ASSERT_EQ(ToChannel16(ToChannelFloat(v)), v) << c;
    }
    for (uint32_t c = 0; c <= 255; ++c) {
        const auto v = static_cast<uint8_t>(c);
        ASSERT_EQ(ToChannel8(ToChannel16(v)), v) << c;
        ASSERT_EQ(ToChannel8(ToChannelFloat(v)), v) << c;
        ASSERT_EQ(Png16ToChannel8(Channel8ToPng16(v)), v) << c;
    }
}

TEST(ImageWorld, StartsTransparentBlackWithGuardedPaddingAndRegistersItsFormat) {
    const PF_EffectWorld* address = nullptr;
    {
        ImageWorld world(5, 3, PixelDepth::k16, 6);
        address = world.World();
        EXPECT_EQ(world.Rowbytes(), 5 * 8 + 6);
        EXPECT_EQ(world.World()->rowbytes, world.Rowbytes());
        EXPECT_EQ(world.Format(), PF_PixelFormat_ARGB64);
        EXPECT_EQ(RegisteredFormat(address), PF_PixelFormat_ARGB64);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < 5; ++x) {
                const PF_Pixel16 p = world.Read16(x, y);
                EXPECT_EQ(p.alpha | p.red | p.green | p.blue, 0);
            }
        }
        EXPECT_TRUE(world.PaddingIntact());
        world.Row(1)[5 * 8 + 2] ^= 1;  // one padding byte of the middle row
        EXPECT_FALSE(world.PaddingIntact());
    }
    EXPECT_FALSE(RegisteredFormat(address).has_value());
    EXPECT_THROW(ImageWorld(-1, 3, PixelDepth::k8), std::invalid_argument);
    EXPECT_THROW(ImageWorld(1 << 28, 1, PixelDepth::k32), std::invalid_argument);
}

TEST(ImageWorld, FloatAccessUsesEachDepthsScale) {
    ImageWorld eight(2, 1, PixelDepth::k8, 1);
    ImageWorld sixteen(2, 1, PixelDepth::k16, 3);
    ImageWorld wide(2, 1, PixelDepth::k32, 5);
    const PF_PixelFloat colour{1.0f, 0.5f, 0.25f, 2.0f};
    for (ImageWorld* world : {&eight, &sixteen, &wide}) {
        world->WriteFloat(1, 0, colour);
        EXPECT_TRUE(world->PaddingIntact());
    }
    const PF_Pixel p8 = eight.Read8(1, 0);
    EXPECT_EQ(p8.alpha, 255);
    EXPECT_EQ(p8.red, 128);
    EXPECT_EQ(p8.green, 64);
    EXPECT_EQ(p8.blue, 255);
    const PF_Pixel16 p16 = sixteen.Read16(1, 0);
    EXPECT_EQ(p16.red, 16384);
    EXPECT_EQ(p16.blue, 32768);
    EXPECT_EQ(wide.ReadFloat(1, 0).blue, 2.0f);  // float worlds keep any value
    EXPECT_EQ(eight.ReadFloat(1, 0).green, 64.0f / 255.0f);
    EXPECT_EQ(sixteen.ReadFloat(1, 0).red, 0.5f);
}

// Raw access reads and writes a pixel where the float access does, and only
// at the world's own depth: anything else is a caller's mistake, refused
// before a byte is touched.
TEST(ImageWorld, RawAccessIsAtTheWorldsOwnDepthOnly) {
    ImageWorld eight(3, 2, PixelDepth::k8, 3);
    ImageWorld sixteen(3, 2, PixelDepth::k16, 3);
    eight.Write8(2, 1, PF_Pixel{255, 0, 51, 255});
    sixteen.Write16(2, 1, PF_Pixel16{32768, 0, 16384, 32768});
    EXPECT_EQ(eight.ReadFloat(2, 1).green, 0.2f);
    EXPECT_EQ(sixteen.ReadFloat(2, 1).green, 0.5f);
    EXPECT_EQ(eight.ReadFloat(1, 1).alpha, 0.0f);
    EXPECT_TRUE(eight.PaddingIntact() && sixteen.PaddingIntact());

    ImageWorld wide(3, 2, PixelDepth::k32);
    EXPECT_THROW(sixteen.Read8(0, 0), std::logic_error);
    EXPECT_THROW(wide.Write8(0, 0, PF_Pixel{}), std::logic_error);
    EXPECT_THROW(eight.Read16(0, 0), std::logic_error);
    EXPECT_THROW(wide.Write16(0, 0, PF_Pixel16{}), std::logic_error);
    EXPECT_EQ(wide.ReadFloat(0, 0).alpha, 0.0f);
}

TEST(ImageWorld, CopyFromConvertsBetweenDepthsWithTheSameFormulas) {
    ImageWorld source(3, 2, PixelDepth::k8);
    source.Write8(2, 1, PF_Pixel{255, 128, 1, 0});
    ImageWorld sixteen(3, 2, PixelDepth::k16, 7);
    sixteen.CopyFrom(source);
    const PF_Pixel16 p = sixteen.Read16(2, 1);
    EXPECT_EQ(p.alpha, 32768);
    EXPECT_EQ(p.red, 16448);
    EXPECT_EQ(p.green, 129);
    ImageWorld wide(3, 2, PixelDepth::k32);
    wide.CopyFrom(sixteen);
    EXPECT_EQ(wide.ReadFloat(2, 1).red, 16448.0f / 32768.0f);
    ImageWorld back(3, 2, PixelDepth::k8, 2);
    back.CopyFrom(wide);
    EXPECT_EQ(back.Read8(2, 1).red, 128);
    EXPECT_TRUE(sixteen.PaddingIntact() && back.PaddingIntact());
    ImageWorld other(4, 2, PixelDepth::k8);
    EXPECT_THROW(other.CopyFrom(source), std::invalid_argument);
}

TEST(WorldRegistry, WorldsComeAndGoFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const PixelDepth depth = t % 2 == 0 ? PixelDepth::k8 : PixelDepth::k32;
            for (int n = 0; n < 200; ++n) {
                ImageWorld world(2, 2, depth);
                if (RegisteredFormat(world.World()) != FormatOf(depth)) {
                    ++failures[size_t(t)];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace tarsivel::host
