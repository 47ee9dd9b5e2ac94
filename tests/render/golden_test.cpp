// Whole frames compared with checked-in images, decoded pixel by pixel. Set
// TARSIVEL_UPDATE_GOLDEN=1 to write the images afresh (then look at them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "host/images/png_io.h"
#include "host/protocol/effect_instance.h"
#include "tests/render/render_test_support.h"

namespace tarsivel {
namespace {

using host::EffectInstance;
using host::ReadPng;
using host::WritePng;
using testing::ImageWorld;
using testing::PixelDepth;

constexpr int32_t kWidth = 96;
constexpr int32_t kHeight = 64;

std::string GoldenPath(const std::string& name) {
    return std::string(TARSIVEL_GOLDEN_DIR) + "/" + name;
}

bool Updating() {
    const char* flag = std::getenv("TARSIVEL_UPDATE_GOLDEN");
    return flag != nullptr && std::string(flag) == "1";
}

// A sagging rope of 24 pieces tapering from 8 to 2 pixels, with a marker on
// every fourth node.
RopeRenderData SaggingRope(float alpha, float red, float green, float blue, bool markers) {
    RopeRenderData record = testing::OpaqueRecord(red, green, blue);
    record.colorA = alpha;
    record.showNodes = markers;
    constexpr int kPieces = 24;
    auto at = [](int n) {
        const double t = double(n) / kPieces;
        const double x = 8.0 + 80.0 * t;
        const double y = 12.0 + 8.0 * t + 40.0 * 4.0 * t * (1.0 - t);
        return std::pair<float, float>(float(x), float(y));
    };
    for (int n = 0; n < kPieces; ++n) {
        const auto [x0, y0] = at(n);
        const auto [x1, y1] = at(n + 1);
        const float w0 = float(8.0 - 6.0 * n / kPieces);
        const float w1 = float(8.0 - 6.0 * (n + 1) / kPieces);
        testing::AddPiece(record, x0, y0, x1, y1, w0, w1);
    }
    for (int n = 0; n <= kPieces; n += 4) {
        const auto [x, y] = at(n);
        testing::AddNode(record, x, y, 2.0f);
    }
    return record;
}

void FillGradient(ImageWorld& world) {
    for (int32_t y = 0; y < world.Height(); ++y) {
        for (int32_t x = 0; x < world.Width(); ++x) {
            const float u = float(x) / float(world.Width() - 1);
            const float v = float(y) / float(world.Height() - 1);
            world.WriteFloat(x, y, PF_PixelFloat{0.3f + 0.7f * u, v, 0.5f, 1.0f - u});
        }
    }
}

class GoldenFrames : public ::testing::Test {
  protected:
    std::unique_ptr<ImageWorld> Render(PixelDepth depth, const RopeRenderData& record) {
        ImageWorld input(kWidth, kHeight, depth);
        FillGradient(input);
        auto output = std::make_unique<ImageWorld>(kWidth, kHeight, depth);
        const host::CommandResult result =
            testing::RenderThroughHost(instance, input, *output, record);
        EXPECT_EQ(result.err, PF_Err_NONE);
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
        return output;
    }

    // Compares every channel with the golden image read at the frame's depth;
    // `tolerance` covers the file's 16-bit quantisation of float frames.
    void ExpectMatchesGolden(const ImageWorld& frame, const std::string& name, int bits,
                             double tolerance) {
        if (Updating()) {
            WritePng(frame, GoldenPath(name), bits);
            GTEST_SKIP() << "wrote " << GoldenPath(name);
        }
        const std::unique_ptr<ImageWorld> golden = ReadPng(GoldenPath(name), frame.Depth());
        ASSERT_EQ(golden->Width(), frame.Width());
        ASSERT_EQ(golden->Height(), frame.Height());
        int mismatches = 0;
        for (int32_t y = 0; y < frame.Height(); ++y) {
            for (int32_t x = 0; x < frame.Width(); ++x) {
                const PF_PixelFloat p = frame.ReadFloat(x, y);
                const PF_PixelFloat g = golden->ReadFloat(x, y);
                const bool same = std::abs(double(p.alpha) - double(g.alpha)) <= tolerance &&
                                  std::abs(double(p.red) - double(g.red)) <= tolerance &&
                                  std::abs(double(p.green) - double(g.green)) <= tolerance &&
                                  std::abs(double(p.blue) - double(g.blue)) <= tolerance;
                if (!same && ++mismatches <= 5) {
                    ADD_FAILURE() << name << " differs at " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    EffectInstance instance{nullptr};
};

TEST_F(GoldenFrames, TaperedRopeWithMarkersOnTransparentEightBit) {
    const auto frame = Render(PixelDepth::k8, SaggingRope(1.0f, 0.9f, 0.6f, 0.2f, true));
    ExpectMatchesGolden(*frame, "tapered_rope_8bit.png", 8, 0.0);
}

TEST_F(GoldenFrames, TranslucentRopeCompositedOnSixteenBit) {
    RopeRenderData record = SaggingRope(0.7f, 0.1f, 0.5f, 1.0f, false);
    record.compositeOnOriginal = true;
    const auto frame = Render(PixelDepth::k16, record);
    ExpectMatchesGolden(*frame, "composite_16bit.png", 16, 0.0);
}

TEST_F(GoldenFrames, CompositedRopeWithMarkersInFloat) {
    RopeRenderData record = SaggingRope(0.85f, 0.2f, 0.9f, 0.4f, true);
    record.compositeOnOriginal = true;
    const auto frame = Render(PixelDepth::k32, record);
    ExpectMatchesGolden(*frame, "composite_float.png", 16, 0.5 / 65535.0 + 1e-7);
}

TEST_F(GoldenFrames, FramesAreIdenticalRunToRun) {
    RopeRenderData record = SaggingRope(0.85f, 0.2f, 0.9f, 0.4f, true);
    record.compositeOnOriginal = true;
    const auto first = Render(PixelDepth::k32, record);
    const auto second = Render(PixelDepth::k32, record);
    for (int32_t y = 0; y < kHeight; ++y) {
        EXPECT_EQ(std::memcmp(first->Row(y), second->Row(y), size_t(kWidth) * 16), 0) << y;
    }
}

}  // namespace
}  // namespace tarsivel
