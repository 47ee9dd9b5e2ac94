#include <gtest/gtest.h>

#include "entry/suites/scoped_suite.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/image_world.h"
#include "host/protocol/world_registry.h"
#include "hostapi/pf_suites.h"
#include "support/world_record.h"

namespace tarsivel::host {
namespace {

class WorldSuitesTest : public ::testing::Test {
  protected:
    // Runs `body` with both world suites held, as a command would.
    template <class Body>
    CommandResult WithSuites(Body body, CommandSettings settings = {}) {
        return instance.RunHandler(
            [&](PF_InData* in_data, PF_OutData*) -> PF_Err {
                ScopedSuite<PF_WorldSuite2> world(in_data, kPFWorldSuite, kPFWorldSuiteVersion2);
                ScopedSuite<PF_WorldTransformSuite1> transform(in_data, kPFWorldTransformSuite,
                                                               kPFWorldTransformSuiteVersion1);
                return body(in_data->effect_ref, *world, *transform);
            },
            settings);
    }

    EffectInstance instance{nullptr};
};

TEST_F(WorldSuitesTest, PixelFormatIsAnsweredForKnownWorldsOnly) {
    ImageWorld eight(2, 2, PixelDepth::k8);
    ImageWorld sixteen(2, 2, PixelDepth::k16);
    ImageWorld wide(2, 2, PixelDepth::k32);
    PF_EffectWorld stranger = WorldRecord(2, 2, 8, nullptr);
    const CommandResult result =
        WithSuites([&](PF_ProgPtr, const PF_WorldSuite2& suite, const PF_WorldTransformSuite1&) {
            PF_PixelFormat format = PF_PixelFormat_INVALID;
            EXPECT_EQ(suite.PF_GetPixelFormat(eight.World(), &format), PF_Err_NONE);
            EXPECT_EQ(format, PF_PixelFormat_ARGB32);
            EXPECT_EQ(suite.PF_GetPixelFormat(sixteen.World(), &format), PF_Err_NONE);
            EXPECT_EQ(format, PF_PixelFormat_ARGB64);
            EXPECT_EQ(suite.PF_GetPixelFormat(wide.World(), &format), PF_Err_NONE);
            EXPECT_EQ(format, PF_PixelFormat_ARGB128);
            EXPECT_EQ(suite.PF_GetPixelFormat(&stranger, &format), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(suite.PF_GetPixelFormat(nullptr, &format), PF_Err_BAD_CALLBACK_PARAM);
            EXPECT_EQ(suite.PF_GetPixelFormat(eight.World(), nullptr), PF_Err_BAD_CALLBACK_PARAM);
            RegisterWorld(&stranger, PF_PixelFormat_GPU_BGRA128);
            EXPECT_EQ(suite.PF_GetPixelFormat(&stranger, &format), PF_Err_NONE);
            EXPECT_EQ(format, PF_PixelFormat_GPU_BGRA128);
            UnregisterWorld(&stranger);
            return PF_Err_NONE;
        });
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(WorldSuitesTest, PixelFormatFollowsTheCommandsFailurePlan) {
    ImageWorld world(2, 2, PixelDepth::k8);
    CommandSettings settings;
    settings.failures.FailNth(HostCall::GetPixelFormat, 2, 42);
    WithSuites(
        [&](PF_ProgPtr, const PF_WorldSuite2& suite, const PF_WorldTransformSuite1&) {
            PF_PixelFormat format = PF_PixelFormat_INVALID;
            EXPECT_EQ(suite.PF_GetPixelFormat(world.World(), &format), PF_Err_NONE);
            format = PF_PixelFormat_INVALID;
            EXPECT_EQ(suite.PF_GetPixelFormat(world.World(), &format), 42);
            EXPECT_EQ(format, PF_PixelFormat_INVALID);
            return PF_Err_NONE;
        },
        settings);
}

TEST_F(WorldSuitesTest, CopyMovesWholeWorldsAndRectanglesAndConvertsDepths) {
    ImageWorld source(4, 3, PixelDepth::k8, 2);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            source.Write8(x, y, PF_Pixel{255, uint8_t(x * 60), uint8_t(y * 100), 7});
        }
    }
    ImageWorld same(4, 3, PixelDepth::k8, 9);
    ImageWorld wide(4, 3, PixelDepth::k32, 3);
    ImageWorld corner(4, 3, PixelDepth::k16);
    const CommandResult result = WithSuites(
        [&](PF_ProgPtr ref, const PF_WorldSuite2&, const PF_WorldTransformSuite1& suite) {
            EXPECT_EQ(suite.copy(ref, source.World(), same.World(), nullptr, nullptr), 0);
            EXPECT_EQ(suite.copy(ref, source.World(), wide.World(), nullptr, nullptr), 0);
            PF_Rect from{2, 1, 4, 3};
            PF_Rect to{0, 0, 2, 2};
            EXPECT_EQ(suite.copy(ref, source.World(), corner.World(), &from, &to), 0);
            return PF_Err_NONE;
        });
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(same.Read8(x, y).red, x * 60);
            EXPECT_EQ(wide.ReadFloat(x, y).green, float(double(y * 100) / 255.0));
        }
    }
    EXPECT_EQ(corner.Read16(1, 1).red, (180 * 32768 + 127) / 255);
    EXPECT_EQ(corner.Read16(1, 1).green, (200 * 32768 + 127) / 255);
    EXPECT_EQ(corner.Read16(2, 2).alpha, 0);  // outside the target rectangle
    EXPECT_TRUE(same.PaddingIntact() && wide.PaddingIntact() && corner.PaddingIntact());
}

TEST_F(WorldSuitesTest, CopyRefusesWhatItCannotDoAndLeavesTheTargetAlone) {
    ImageWorld source(4, 3, PixelDepth::k8);
    source.Fill(PF_PixelFloat{1, 1, 1, 1});
    ImageWorld smaller(3, 3, PixelDepth::k8);
    ImageWorld target(4, 3, PixelDepth::k8);
    PF_EffectWorld stranger = WorldRecord(4, 3, 16, target.World()->data);
    PF_EffectWorld gpu = WorldRecord(4, 3, 64, target.World()->data);
    RegisterWorld(&gpu, PF_PixelFormat_GPU_BGRA128);
    WithSuites([&](PF_ProgPtr ref, const PF_WorldSuite2&, const PF_WorldTransformSuite1& suite) {
        EXPECT_EQ(suite.copy(ref, source.World(), smaller.World(), nullptr, nullptr),
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(suite.copy(ref, source.World(), &stranger, nullptr, nullptr),
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(suite.copy(ref, source.World(), &gpu, nullptr, nullptr),
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(suite.copy(ref, nullptr, target.World(), nullptr, nullptr),
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(suite.copy(nullptr, source.World(), target.World(), nullptr, nullptr),
                  PF_Err_BAD_CALLBACK_PARAM);
        PF_Rect outside{2, 1, 6, 3};
        PF_Rect fits{0, 0, 4, 2};
        EXPECT_EQ(suite.copy(ref, source.World(), target.World(), &outside, &fits),
                  PF_Err_BAD_CALLBACK_PARAM);
        PF_Rect huge{-2147483647, 0, 2147483647, 1};
        EXPECT_EQ(suite.copy(ref, source.World(), target.World(), &huge, &fits),
                  PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err_NONE;
    });
    UnregisterWorld(&gpu);
    EXPECT_EQ(target.Read8(0, 0).alpha, 0);

    CommandSettings settings;
    settings.failures.FailAlways(HostCall::WorldCopy, 31);
    WithSuites(
        [&](PF_ProgPtr ref, const PF_WorldSuite2&, const PF_WorldTransformSuite1& suite) {
            EXPECT_EQ(suite.copy(ref, source.World(), target.World(), nullptr, nullptr), 31);
            return PF_Err_NONE;
        },
        settings);
    EXPECT_EQ(target.Read8(0, 0).alpha, 0);
}

TEST_F(WorldSuitesTest, CopyWithinOneWorldReadsEveryRowBeforeOverwritingIt) {
    ImageWorld world(3, 4, PixelDepth::k16);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            world.Write16(x, y, PF_Pixel16{uint16_t(y), uint16_t(x), 0, 0});
        }
    }
    WithSuites([&](PF_ProgPtr ref, const PF_WorldSuite2&, const PF_WorldTransformSuite1& suite) {
        PF_Rect from{0, 0, 3, 3};
        PF_Rect down{0, 1, 3, 4};
        EXPECT_EQ(suite.copy(ref, world.World(), world.World(), &from, &down), 0);
        PF_Rect left{1, 0, 3, 4};
        PF_Rect to{0, 0, 2, 4};
        EXPECT_EQ(suite.copy(ref, world.World(), world.World(), &left, &to), 0);
        return PF_Err_NONE;
    });
    for (int32_t y = 1; y < 4; ++y) {
        EXPECT_EQ(world.Read16(0, y).alpha, y - 1);
        EXPECT_EQ(world.Read16(0, y).red, 1);
        EXPECT_EQ(world.Read16(1, y).red, 2);
    }
}

}  // namespace
}  // namespace tarsivel::host
