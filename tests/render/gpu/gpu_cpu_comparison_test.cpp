// The kernel against the CPU rasterizer on the same records at 32 bits: equal
// within fast single-precision error, except where the two are meant to differ
// (the blend over partly transparent pixels, degenerate pieces, markers with no
// pieces), and those differences are checked for what they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/render/gpu/gpu_test_support.h"

namespace tarsivel::testing {
namespace {

constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 64;
constexpr float kTolerance = 2e-3f;

// A hanging rope of 24 tapered pieces with its 25 nodes, like a built record.
RopeRenderData SaggingRope(float opacity) {
    RopeRenderData record = OpaqueRecord(0.8f, 0.45f, 0.1f);
    record.colorA = opacity;
    record.thicknessStart = 7.0f;
    record.thicknessEnd = 2.0f;
    record.showNodes = true;
    constexpr int kPieces = 24;
    auto x = [](int i) { return 4.0f + 56.0f * float(i) / float(kPieces); };
    auto y = [](int i) {
        const float u = float(i) / float(kPieces);
        return 8.0f + 44.0f * 4.0f * u * (1.0f - u);
    };
    auto width = [&](int i) { return 7.0f + (2.0f - 7.0f) * float(i) / float(kPieces - 1); };
    for (int i = 0; i < kPieces; ++i) {
        AddPiece(record, x(i), y(i), x(i + 1), y(i + 1), width(i), width(i + 1));
    }
    for (int i = 0; i <= kPieces; i += 3) {
        AddNode(record, x(i), y(i), width(std::min(i, kPieces - 1)) * 0.5f);
    }
    return record;
}

PF_PixelFloat ToArgb(const BgraPixel& p) {
    return PF_PixelFloat{p.alpha, p.red, p.green, p.blue};
}

float LargestDifference(const PF_PixelFloat& a, const PF_PixelFloat& b) {
    return std::max({std::fabs(a.alpha - b.alpha), std::fabs(a.red - b.red),
                     std::fabs(a.green - b.green), std::fabs(a.blue - b.blue)});
}

class GpuCpuComparisonTest : public OpenCLRenderTest {
  protected:
    // Renders `record` over `original` on both paths; returns (GPU, CPU).
    std::pair<std::vector<PF_PixelFloat>, std::vector<PF_PixelFloat>> RenderBoth(
        const ImageWorld& original, const RopeRenderData& record) {
        auto gpuInput = NewWorld(kWidth, kHeight);
        auto gpuOutput = NewWorld(kWidth, kHeight);
        gpuInput->Upload(original);
        EXPECT_EQ(Render(*gpuInput, *gpuOutput, record).err, PF_Err_NONE);

        ImageWorld cpuInput(kWidth, kHeight, PixelDepth::k32);
        cpuInput.CopyFrom(original);
        ImageWorld cpuOutput(kWidth, kHeight, PixelDepth::k32);
        EXPECT_EQ(RenderOnCpu(Instance(), cpuInput, cpuOutput, record).err, PF_Err_NONE);

        std::vector<PF_PixelFloat> gpu;
        std::vector<PF_PixelFloat> cpu;
        for (const BgraPixel& p : gpuOutput->ReadPixels()) {
            gpu.push_back(ToArgb(p));
        }
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                cpu.push_back(cpuOutput.ReadFloat(x, y));
            }
        }
        return {gpu, cpu};
    }

    static void ExpectClose(const std::vector<PF_PixelFloat>& gpu,
                            const std::vector<PF_PixelFloat>& cpu, const char* what) {
        float largest = 0.0f;
        for (std::size_t i = 0; i < gpu.size(); ++i) {
            largest = std::max(largest, LargestDifference(gpu[i], cpu[i]));
        }
        std::printf("[ largest ] %s: %.3g\n", what, double(largest));
        EXPECT_LE(largest, kTolerance) << what;
    }
};

TEST_F(GpuCpuComparisonTest, AgreeOverTransparentAndOpaqueOriginals) {
    ImageWorld original(kWidth, kHeight, PixelDepth::k32);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            original.WriteFloat(x, y,
                                PF_PixelFloat{1.0f, float(x) / 63.0f, float(y) / 63.0f, 0.5f});
        }
    }
    for (float opacity : {1.0f, 0.6f}) {
        RopeRenderData record = SaggingRope(opacity);
        record.compositeOnOriginal = false;
        auto [gpuCleared, cpuCleared] = RenderBoth(original, record);
        ExpectClose(gpuCleared, cpuCleared,
                    opacity == 1.0f ? "cleared, opaque rope" : "cleared, rope at 0.6");
        record.compositeOnOriginal = true;
        auto [gpuOpaque, cpuOpaque] = RenderBoth(original, record);
        ExpectClose(
            gpuOpaque, cpuOpaque,
            opacity == 1.0f ? "opaque original, opaque rope" : "opaque original, rope at 0.6");
    }
}

TEST_F(GpuCpuComparisonTest, BlendOverPartlyTransparentPixelsFollowsEachPathsFormula) {
    const PF_PixelFloat old{0.4f, 0.9f, 0.2f, 0.6f};
    ImageWorld original(kWidth, kHeight, PixelDepth::k32);
    original.Fill(old);
    RopeRenderData record = SaggingRope(0.7f);
    record.showNodes = false;

    // Over black the output alpha is the rope's opacity o at each pixel.
    ImageWorld black(kWidth, kHeight, PixelDepth::k32);
    auto [gpuOverBlack, cpuOverBlack] = RenderBoth(black, record);
    record.compositeOnOriginal = true;
    auto [gpu, cpu] = RenderBoth(original, record);

    int differing = 0;
    float largest = 0.0f;
    for (std::size_t i = 0; i < gpu.size(); ++i) {
        const float o = cpuOverBlack[i].alpha;
        if (o <= 0.0f) {
            continue;
        }
        const float a = old.alpha;
        const float outA = o + a * (1.0f - o);
        const PF_PixelFloat gpuExpected{outA, (record.colorR * o + old.red * (1.0f - o)) / outA,
                                        (record.colorG * o + old.green * (1.0f - o)) / outA,
                                        (record.colorB * o + old.blue * (1.0f - o)) / outA};
        const PF_PixelFloat cpuExpected{outA, (old.red * a * (1.0f - o) + record.colorR * o) / outA,
                                        (old.green * a * (1.0f - o) + record.colorG * o) / outA,
                                        (old.blue * a * (1.0f - o) + record.colorB * o) / outA};
        largest = std::max(largest, LargestDifference(gpu[i], gpuExpected));
        ASSERT_LE(LargestDifference(cpu[i], cpuExpected), 1e-5f) << "pixel " << i;
        if (LargestDifference(gpu[i], cpu[i]) > 1e-2f) {
            ++differing;
        }
    }
    std::printf("[ largest ] unweighted blend against its formula: %.3g\n", double(largest));
    EXPECT_LE(largest, kTolerance);
    EXPECT_GT(differing, 100) << "the two blends should differ over partly transparent pixels";
}

TEST_F(GpuCpuComparisonTest, OnlyTheKernelDrawsDegeneratePiecesAndMarkersWithoutPieces) {
    ImageWorld black(kWidth, kHeight, PixelDepth::k32);

    RopeRenderData dot = OpaqueRecord(1.0f, 1.0f, 1.0f);
    AddPiece(dot, 30.0f, 30.0f, 30.0f, 30.0f, 8.0f, 8.0f);
    auto [gpuDot, cpuDot] = RenderBoth(black, dot);
    const std::size_t centre = 30 * kWidth + 30;
    EXPECT_EQ(gpuDot[centre].alpha, 1.0f);
    EXPECT_EQ(cpuDot[centre].alpha, 0.0f);

    RopeRenderData markers = OpaqueRecord(1.0f, 1.0f, 1.0f);
    markers.showNodes = true;
    AddNode(markers, 30.0f, 30.0f, 3.0f);
    auto [gpuMarkers, cpuMarkers] = RenderBoth(black, markers);
    EXPECT_EQ(gpuMarkers[centre].red, 1.0f);
    EXPECT_EQ(cpuMarkers[centre].alpha, 0.0f);
}

}  // namespace
}  // namespace tarsivel::testing
