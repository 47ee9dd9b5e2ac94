// The rope kernel's per-pixel behaviour, run through the OpenCL path.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "render/kernel/rope_kernel_source.h"
#include "tests/render/gpu/gpu_test_support.h"

namespace tarsivel::testing {
namespace {

// Fast relaxed math allows approximate division and square roots.
constexpr float kFastMathTolerance = 1e-5f;

void ExpectPixel(const BgraPixel& p, float blue, float green, float red, float alpha,
                 float tolerance = kFastMathTolerance) {
    EXPECT_NEAR(p.blue, blue, tolerance);
    EXPECT_NEAR(p.green, green, tolerance);
    EXPECT_NEAR(p.red, red, tolerance);
    EXPECT_NEAR(p.alpha, alpha, tolerance);
}

TEST(RopeKernelSource, EmbeddedTextIsTheSourceFileExactly) {
    const std::string path =
        std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/tests/render/")) +
        "/render/kernel/rope_kernel.cl.h";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    file.seekg(0, std::ios::end);
    std::string text(static_cast<std::size_t>(file.tellg()), '\0');
    file.seekg(0);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    ASSERT_EQ(kRopeKernelSourceLength, text.size());
    EXPECT_EQ(std::string(kRopeKernelSource, kRopeKernelSourceLength), text);
    EXPECT_EQ(kRopeKernelSource[kRopeKernelSourceLength], '\0');
    EXPECT_EQ(std::string(kKernelDefineLine), "#define GF_OPENCL_SUPPORTS_16F 0\n");
}

using RopeKernelTest = OpenCLRenderTest;

TEST_F(RopeKernelTest, WritesEveryPixelOfAnOddFrameAndNothingBeyond) {
    // 100 × 37 launches 112 × 48 work items; the excess must write nothing, so
    // the padding (16 pixels a row) and the guard rows keep their pattern.
    auto input = NewWorld(100, 37, 256);
    auto output = NewWorld(100, 37, 256);
    output->Fill(BgraPixel{0.25f, 0.25f, 0.25f, 0.25f});
    RopeRenderData record = OpaqueRecord(1.0f, 0.0f, 0.0f);
    AddPiece(record, 5.0f, 5.0f, 95.0f, 30.0f, 4.0f, 2.0f);

    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    const auto pixels = output->ReadPixels();
    for (const BgraPixel& p : pixels) {
        ASSERT_NE(p.alpha, 0.25f) << "a pixel was not written";
    }
    EXPECT_TRUE(output->PaddingIntact());
    EXPECT_TRUE(input->PaddingIntact());
}

TEST_F(RopeKernelTest, NoPiecesAndNoMarkersGiveTheInputOrTransparentBlack) {
    auto input = NewWorld(24, 18);
    input->Fill(BgraPixel{0.1f, 0.2f, 0.3f, 0.4f});
    auto output = NewWorld(24, 18);
    RopeRenderData record = OpaqueRecord(1.0f, 1.0f, 1.0f);
    AddNode(record, 5.0f, 5.0f, 3.0f);  // present but not shown

    record.compositeOnOriginal = true;
    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    for (const BgraPixel& p : output->ReadPixels()) {
        ExpectPixel(p, 0.1f, 0.2f, 0.3f, 0.4f, 0.0f);
    }

    record.compositeOnOriginal = false;
    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    for (const BgraPixel& p : output->ReadPixels()) {
        ExpectPixel(p, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    }
}

TEST_F(RopeKernelTest, MarkersAreDrawnWithoutPiecesWithAnExactRedCentre) {
    RopeRenderData record = OpaqueRecord(0.0f, 1.0f, 0.0f);
    record.showNodes = true;
    AddNode(record, 10.0f, 8.0f, 3.0f);
    AddNode(record, 30.0f, 8.0f, 0.5f);
    const auto pixels = RenderOnBlack(40, 16, record);

    ExpectPixel(At(pixels, 40, 10, 8), 0.0f, 0.0f, 1.0f, 1.0f, 0.0f);
    ExpectPixel(At(pixels, 40, 30, 8), 0.0f, 0.0f, 1.0f, 1.0f, 0.0f);
    // Soft edge: radius 3 + 0.5 − distance 3 = 0.5.
    ExpectPixel(At(pixels, 40, 13, 8), 0.0f, 0.0f, 0.5f, 0.5f);
    ExpectPixel(At(pixels, 40, 20, 8), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(RopeKernelTest, MarkerCentreIsExactlyRedOverTheRope) {
    RopeRenderData record = OpaqueRecord(0.2f, 0.6f, 0.9f);
    record.showNodes = true;
    AddPiece(record, 0.0f, 8.0f, 40.0f, 8.0f, 6.0f, 6.0f);
    AddNode(record, 20.0f, 8.0f, 2.0f);
    const auto pixels = RenderOnBlack(40, 16, record);
    ExpectPixel(At(pixels, 40, 20, 8), 0.0f, 0.0f, 1.0f, 1.0f, 0.0f);
    ExpectPixel(At(pixels, 40, 5, 8), 0.9f, 0.6f, 0.2f, 1.0f);
}

TEST_F(RopeKernelTest, DegeneratePieceIsARoundDotOfTheStartWidth) {
    RopeRenderData record = OpaqueRecord(1.0f, 1.0f, 1.0f);
    // Squared length 0.0005² … below the threshold; the end width is ignored.
    AddPiece(record, 20.0f, 15.0f, 20.0005f, 15.0f, 6.0f, 40.0f);
    const auto pixels = RenderOnBlack(40, 30, record);
    EXPECT_NEAR(At(pixels, 40, 20, 15).alpha, 1.0f, kFastMathTolerance);
    EXPECT_NEAR(At(pixels, 40, 23, 15).alpha, 0.5f, kFastMathTolerance);  // 3 + 0.5 − 3
    EXPECT_NEAR(At(pixels, 40, 20, 12).alpha, 0.5f, kFastMathTolerance);
    EXPECT_EQ(At(pixels, 40, 24, 15).alpha, 0.0f);
}

TEST_F(RopeKernelTest, FullCoverageOfAnOpaqueColourIsExact) {
    RopeRenderData record = OpaqueRecord(0.25f, 0.5f, 0.75f);
    AddPiece(record, 2.0f, 10.0f, 30.0f, 10.0f, 8.0f, 8.0f);
    const auto pixels = RenderOnBlack(32, 20, record);
    ExpectPixel(At(pixels, 32, 16, 10), 0.75f, 0.5f, 0.25f, 1.0f, 0.0f);
}

TEST_F(RopeKernelTest, OverlappingPiecesTakeTheLargerCoverage) {
    RopeRenderData record = OpaqueRecord(1.0f, 1.0f, 1.0f);
    // At pixel (20, 10): the horizontal piece gives 1 + 0.5 − 0.9 = 0.6 and the
    // vertical one 1 + 0.5 − 0.8 = 0.7; a sum would saturate, "over" give 0.88.
    AddPiece(record, 0.0f, 10.9f, 40.0f, 10.9f, 2.0f, 2.0f);
    AddPiece(record, 20.8f, 0.0f, 20.8f, 30.0f, 2.0f, 2.0f);
    const auto pixels = RenderOnBlack(40, 30, record);
    EXPECT_NEAR(At(pixels, 40, 20, 10).alpha, 0.7f, 1e-4f);
    EXPECT_NEAR(At(pixels, 40, 10, 10).alpha, 0.6f, 1e-4f);
}

TEST_F(RopeKernelTest, BlendDoesNotWeightTheOldColourByItsAlpha) {
    auto input = NewWorld(20, 12);
    input->Fill(BgraPixel{0.2f, 0.4f, 0.6f, 0.5f});
    auto output = NewWorld(20, 12);
    RopeRenderData record = OpaqueRecord(1.0f, 0.5f, 0.0f);
    record.colorA = 0.5f;
    record.compositeOnOriginal = true;
    AddPiece(record, 0.0f, 6.0f, 20.0f, 6.0f, 6.0f, 6.0f);
    ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
    const auto pixels = output->ReadPixels();
    // srcA 0.5 over alpha 0.5: outA 0.75, colour (rope × 0.5 + old × 0.5) / 0.75.
    ExpectPixel(At(pixels, 20, 10, 6), (0.0f * 0.5f + 0.2f * 0.5f) / 0.75f,
                (0.5f * 0.5f + 0.4f * 0.5f) / 0.75f, (1.0f * 0.5f + 0.6f * 0.5f) / 0.75f, 0.75f);
}

TEST_F(RopeKernelTest, ZeroOpacityKeepsAlphaButDividesColourByIt) {
    auto input = NewWorld(30, 4);
    std::vector<BgraPixel> rows = {
        {0.2f, 0.3f, 0.4f, 0.5f}, {0.2f, 0.3f, 0.4f, 1.0f}, {0.2f, 0.3f, 0.4f, 0.0f}};
    RopeRenderData record = OpaqueRecord(1.0f, 1.0f, 1.0f);
    record.colorA = 0.0f;
    record.compositeOnOriginal = true;
    AddPiece(record, 0.0f, 2.0f, 30.0f, 2.0f, 10.0f, 10.0f);
    auto output = NewWorld(30, 4);
    for (const BgraPixel& old : rows) {
        input->Fill(old);
        ASSERT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
        const BgraPixel p = At(output->ReadPixels(), 30, 15, 2);
        const float divisor = old.alpha > 0.0f ? old.alpha : 1.0f;
        ExpectPixel(p, old.blue / divisor, old.green / divisor, old.red / divisor, old.alpha);
    }
}

}  // namespace
}  // namespace tarsivel::testing
