#include "render/render_rope_cpu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "hostapi/pf_suites.h"
#include "render/raster/coverage_map.h"
#include "support/world_record.h"
#include "tests/render/failing_allocation.h"
#include "tests/render/render_test_support.h"
#include "tests/support/coverage_yardstick.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::EffectInstance;
using host::HostCall;
using testing::AccumulateRopeCoverage;
using testing::AddNode;
using testing::AddPiece;
using testing::ImageWorld;
using testing::OpaqueRecord;
using testing::PixelDepth;
using testing::RenderThroughHost;
using testing::SamePixels;

constexpr PF_PixelFormat kUnknownFormat = 0x3F3F3F3Fu;
constexpr PF_PixelFloat kBackground{1.0f, 0.2f, 0.4f, 0.6f};
constexpr PF_PixelFloat kStale{0.5f, 0.9f, 0.9f, 0.9f};

bool IsTransparentBlack(const PF_PixelFloat& p) {
    return p.alpha == 0.0f && p.red == 0.0f && p.green == 0.0f && p.blue == 0.0f;
}

bool AllTransparentBlack(const ImageWorld& world) {
    for (int32_t y = 0; y < world.Height(); ++y) {
        for (int32_t x = 0; x < world.Width(); ++x) {
            if (!IsTransparentBlack(world.ReadFloat(x, y))) {
                return false;
            }
        }
    }
    return true;
}

class RenderRopeCpuTest : public ::testing::Test {
  protected:
    CommandResult Render(ImageWorld& input, ImageWorld& output, const RopeRenderData& record,
                         PF_PixelFormat format = 0, CommandSettings settings = {}) {
        return RenderThroughHost(instance, input, output, record, format, settings);
    }

    EffectInstance instance{nullptr};
};

TEST_F(RenderRopeCpuTest, CompositeOffClearsEveryPixelButNotThePadding) {
    for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::k32}) {
        ImageWorld input(12, 7, depth);
        ImageWorld output(12, 7, depth, 5);
        input.Fill(kBackground);
        output.Fill(kStale);
        const CommandResult result = Render(input, output, OpaqueRecord(1, 1, 1));
        EXPECT_EQ(result.err, PF_Err_NONE);
        EXPECT_TRUE(AllTransparentBlack(output));
        EXPECT_TRUE(output.PaddingIntact());
        EXPECT_EQ(result.accounts.TotalSuiteAcquisitions(), 0);
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    }
}

TEST_F(RenderRopeCpuTest, CompositeOnCopiesTheInputThroughTheTransformSuite) {
    ImageWorld input(12, 7, PixelDepth::k16);
    ImageWorld output(12, 7, PixelDepth::k16, 3);
    input.Fill(kBackground);
    output.Fill(kStale);
    RopeRenderData record = OpaqueRecord(1, 0, 0);
    record.compositeOnOriginal = true;
    const CommandResult result = Render(input, output, record);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(SamePixels(input, output));
    EXPECT_TRUE(output.PaddingIntact());
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFWorldTransformSuite, 1), 1);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(RenderRopeCpuTest, AFailedCopyIsReturnedAndNothingIsDrawn) {
    ImageWorld input(12, 7, PixelDepth::k8);
    ImageWorld output(12, 7, PixelDepth::k8);
    output.Fill(kStale);
    ImageWorld stale(12, 7, PixelDepth::k8);
    stale.Fill(kStale);
    RopeRenderData record = OpaqueRecord(1, 0, 0);
    record.compositeOnOriginal = true;
    record.showNodes = true;
    AddPiece(record, 0, 3, 11, 3, 4, 4);
    AddNode(record, 5, 3, 2);
    CommandSettings settings;
    settings.failures.FailAlways(HostCall::WorldCopy, 77);
    const CommandResult result = Render(input, output, record, 0, settings);
    EXPECT_EQ(result.err, 77);
    EXPECT_TRUE(SamePixels(output, stale));
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(RenderRopeCpuTest, AMissingTransformSuiteIsReportedAs13) {
    instance.Suites().Withdraw(kPFWorldTransformSuite, 1);
    ImageWorld input(4, 4, PixelDepth::k8);
    ImageWorld output(4, 4, PixelDepth::k8);
    RopeRenderData record = OpaqueRecord(1, 0, 0);
    record.compositeOnOriginal = true;
    const CommandResult result = Render(input, output, record);
    EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
    EXPECT_STREQ(result.out.return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(result.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(RenderRopeCpuTest, AllLinksTornLeavesOnlyThePreparedOutputEvenWithMarkersOn) {
    ImageWorld input(16, 8, PixelDepth::k8);
    ImageWorld output(16, 8, PixelDepth::k8);
    input.Fill(kBackground);
    RopeRenderData record = OpaqueRecord(0, 1, 0);
    record.showNodes = true;
    AddNode(record, 4, 4, 3);
    AddNode(record, 12, 4, 3);
    record.points = {1, 1, 2};  // fewer than four floats: no piece
    EXPECT_EQ(Render(input, output, record).err, PF_Err_NONE);
    EXPECT_TRUE(AllTransparentBlack(output));
    record.compositeOnOriginal = true;
    EXPECT_EQ(Render(input, output, record).err, PF_Err_NONE);
    EXPECT_TRUE(SamePixels(input, output));
}

TEST_F(RenderRopeCpuTest, AZeroLengthPieceAddsNothingWhileItsNeighboursAndMarkersDraw) {
    ImageWorld input(40, 20, PixelDepth::k8);
    ImageWorld output(40, 20, PixelDepth::k8);
    RopeRenderData record = OpaqueRecord(0, 0, 1);
    record.showNodes = true;
    AddPiece(record, 2, 5, 12, 5, 3, 3);
    AddPiece(record, 30, 15, 30, 15, 12, 12);  // zero length, would be a wide dot
    AddPiece(record, 12, 5, 20, 5, 3, 3);
    AddNode(record, 2, 5, 1);
    AddNode(record, 20, 5, 1);
    ASSERT_EQ(Render(input, output, record).err, PF_Err_NONE);
    EXPECT_EQ(output.Read8(30, 15).alpha, 0);
    EXPECT_EQ(output.Read8(28, 15).alpha, 0);
    const PF_Pixel rope = output.Read8(8, 5);
    EXPECT_EQ(rope.alpha, 255);
    EXPECT_EQ(rope.blue, 255);
    // Markers lie over the rope: pure red where they are opaque.
    const PF_Pixel marker = output.Read8(20, 5);
    EXPECT_EQ(marker.alpha, 255);
    EXPECT_EQ(marker.red, 255);
    EXPECT_EQ(marker.blue, 0);
}

TEST_F(RenderRopeCpuTest, MarkersAreDrawnOnlyWhenDisplayed) {
    ImageWorld input(20, 10, PixelDepth::k32);
    ImageWorld output(20, 10, PixelDepth::k32);
    RopeRenderData record = OpaqueRecord(0, 1, 0);
    AddPiece(record, 2, 5, 18, 5, 2, 2);
    AddNode(record, 10, 5, 2);
    ASSERT_EQ(Render(input, output, record).err, PF_Err_NONE);
    EXPECT_EQ(output.ReadFloat(10, 5).red, 0.0f);
    EXPECT_EQ(output.ReadFloat(10, 5).green, 1.0f);
}

TEST_F(RenderRopeCpuTest, UnknownFormatClearsFourBytesAPixelAndReturns516WithOrWithoutPieces) {
    RopeRenderData withPiece = OpaqueRecord(1, 1, 1);
    AddPiece(withPiece, 0, 2, 9, 2, 4, 4);
    withPiece.showNodes = true;
    AddNode(withPiece, 1, 1, 2);
    for (const RopeRenderData& record : {OpaqueRecord(1, 1, 1), withPiece}) {
        ImageWorld input(10, 5, PixelDepth::k16);
        ImageWorld output(10, 5, PixelDepth::k16);  // 8 bytes a pixel
        output.Fill(kStale);
        const testing::NothrowArrayAllocationsFail noMap;
        const CommandResult result = Render(input, output, record, kUnknownFormat);
        EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(noMap.Refused(), 0) << "no coverage map is asked for";
        for (int32_t y = 0; y < 5; ++y) {
            for (int32_t x = 0; x < 10; ++x) {
                // 4 × width bytes are the first five 8-byte pixels.
                EXPECT_EQ(IsTransparentBlack(output.ReadFloat(x, y)), x < 5) << x << "," << y;
            }
        }
        EXPECT_TRUE(output.PaddingIntact());
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    }
}

TEST_F(RenderRopeCpuTest, TheClearNeverWritesPastRowbytes) {
    // A world narrower in bytes than an unknown format's 4 bytes a pixel
    // claims: each row is cleared only up to rowbytes.
    constexpr int32_t kRowbytes = 24;
    constexpr size_t kRows = 3, kTail = 32;
    std::vector<uint8_t> pixels(kRowbytes * kRows + kTail, 0xEE);
    PF_EffectWorld world = WorldRecord(10, int32_t{kRows}, kRowbytes, pixels.data());
    const RopeRenderData record = OpaqueRecord(1, 1, 1);
    const CommandResult result = instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
        return RenderRopeCPU(in, out, kUnknownFormat, &world, &world, nullptr, record);
    });
    EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
    for (size_t n = 0; n < pixels.size(); ++n) {
        EXPECT_EQ(pixels[n], n < kRowbytes * kRows ? 0 : 0xEE) << n;
    }
}

TEST_F(RenderRopeCpuTest, AnUnallocatableCoverageMapIsOutOfMemoryAndKeepsThePreparedOutput) {
    ImageWorld input(16, 8, PixelDepth::k8);
    ImageWorld output(16, 8, PixelDepth::k8);
    input.Fill(kBackground);
    RopeRenderData record = OpaqueRecord(1, 0, 0);
    record.compositeOnOriginal = true;
    record.showNodes = true;
    AddPiece(record, 0, 4, 15, 4, 4, 4);
    AddNode(record, 8, 4, 3);
    const testing::NothrowArrayAllocationsFail noMap;
    const CommandResult result = Render(input, output, record);
    EXPECT_EQ(result.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(noMap.Refused(), 1);
    EXPECT_TRUE(SamePixels(input, output));
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(RenderRopeCpuTest, EveryDepthAndRowLayoutDrawsTheSameCoverage) {
    RopeRenderData record = OpaqueRecord(0.25f, 0.5f, 1.0f);
    AddPiece(record, 1.5f, 2.25f, 20.75f, 11.5f, 1.0f, 5.0f);
    AddPiece(record, 20.75f, 11.5f, 28.0f, 3.0f, 5.0f, 0.5f);
    AddPiece(record, 3.0f, 12.0f, 3.0f, 12.5f, 2.0f, 2.0f);
    constexpr int32_t kW = 31, kH = 15;
    std::vector<float> coverage(size_t(kW) * kH, 0.0f);
    AccumulateRopeCoverage({coverage.data(), kW, kH}, record);
    for (int32_t padding : {0, 3, 13}) {
        ImageWorld input(kW, kH, PixelDepth::k8);
        ImageWorld out8(kW, kH, PixelDepth::k8, padding);
        ImageWorld out16(kW, kH, PixelDepth::k16, padding);
        ImageWorld out32(kW, kH, PixelDepth::k32, padding);
        ASSERT_EQ(Render(input, out8, record).err, PF_Err_NONE);
        ASSERT_EQ(Render(input, out16, record).err, PF_Err_NONE);
        ASSERT_EQ(Render(input, out32, record).err, PF_Err_NONE);
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                const double cov = coverage[size_t(y) * kW + size_t(x)];
                EXPECT_EQ(out32.ReadFloat(x, y).alpha, static_cast<float>(cov)) << x << "," << y;
                EXPECT_EQ(out16.Read16(x, y).alpha, uint16_t(cov * 32768.0)) << x << "," << y;
                EXPECT_EQ(out8.Read8(x, y).alpha, uint8_t(cov * 255.0)) << x << "," << y;
            }
        }
        EXPECT_TRUE(out8.PaddingIntact() && out16.PaddingIntact() && out32.PaddingIntact());
    }
}

TEST_F(RenderRopeCpuTest, DivergedRecordsRenderWithoutCrashing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    RopeRenderData record = OpaqueRecord(1, 1, 0);
    record.showNodes = true;
    AddPiece(record, nan, 1, 5, 5, 2, 2);
    AddPiece(record, -inf, inf, 5, 5, 2, 2);
    AddPiece(record, 1e30f, -1e30f, -1e30f, 1e30f, 3, 3);
    AddPiece(record, 3, 3, 8, 3, nan, inf);
    AddPiece(record, 3, 3, 8, 3, 1e30f, -1e30f);
    AddPiece(record, 2, 6, 14, 6, 2, 2);  // an intact piece among them still draws
    AddNode(record, nan, 2, 1);
    AddNode(record, 2, 2, inf);
    AddNode(record, -1e30f, 1e30f, 1e30f);
    record.nodeThickness.pop_back();
    record.thicknessStart = nan;  // the last node's fallback radius
    for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::k32}) {
        ImageWorld input(16, 10, depth);
        ImageWorld output(16, 10, depth, 3);
        EXPECT_EQ(Render(input, output, record).err, PF_Err_NONE);
        EXPECT_EQ(output.ReadFloat(10, 6).alpha, 1.0f);
        EXPECT_TRUE(output.PaddingIntact());
    }
}

TEST_F(RenderRopeCpuTest, AMissingOutputWorldOrBufferIsRefused) {
    ImageWorld input(4, 4, PixelDepth::k8);
    const RopeRenderData record = OpaqueRecord(1, 1, 1);
    PF_EffectWorld noBuffer = WorldRecord(4, 4, 16);
    for (PF_EffectWorld* output : {static_cast<PF_EffectWorld*>(nullptr), &noBuffer}) {
        const CommandResult result = instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
            return RenderRopeCPU(in, out, PF_PixelFormat_ARGB32, input.World(), output, nullptr,
                                 record);
        });
        EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
    }
}

}  // namespace
}  // namespace tarsivel
