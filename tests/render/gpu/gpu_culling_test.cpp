// The kernel lists, per 16 x 16 work-group, only the pieces and markers that
// can reach its tile. A piece beyond that reach gives coverage exactly 0 there,
// so for finite records every frame must equal, bit for bit, the same kernel
// code listing every piece and marker for every tile. Against the plain loop
// (every work item over every piece and marker, compiled as other code) the
// frames agree within fast-math rounding. Non-finite pieces and markers are
// skipped, as the CPU rasterizer skips them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "tests/render/gpu/gpu_test_support.h"
#include "tests/support/yardstick_kernels.h"

namespace tarsivel::testing {
namespace {

// Fast-math rounding, magnified where the ramp subtracts nearly equal
// distances and where the blend divides by a small alpha: the bound the
// kernel is held to against the CPU rasterizer.
constexpr float kPlainTolerance = 2e-3f;

class GpuCullingTest : public OpenCLRenderTest {
  protected:
    static void SetUpTestSuite() {
        OpenCLRenderTest::SetUpTestSuite();
        if (HasDevice()) {
            plain_ = new YardstickKernel(Device().Context(), Device().Device(), kPlainKernelName);
            unculled_ =
                new YardstickKernel(Device().Context(), Device().Device(), kUnculledKernelName);
        }
    }
    static void TearDownTestSuite() {
        delete plain_;
        delete unculled_;
        plain_ = unculled_ = nullptr;
        OpenCLRenderTest::TearDownTestSuite();
    }
    void SetUp() override {
        OpenCLRenderTest::SetUp();
        if (!IsSkipped()) {
            ASSERT_TRUE(plain_ != nullptr && plain_->Built());
            ASSERT_TRUE(unculled_ != nullptr && unculled_->Built());
        }
    }

    struct Frames {
        std::vector<BgraPixel> culled, unculled, plain;
    };

    // Renders `record` over `input` with the plug-in's kernel and the two
    // yardsticks.
    Frames RenderAll(int32_t width, int32_t height, const RopeRenderData& record,
                     const ImageWorld& input) {
        auto source = NewWorld(width, height);
        source->Upload(input);
        auto render = [&](const void* gpuData) {
            auto output = NewWorld(width, height);
            EXPECT_EQ(Render(*source, *output, record, PF_PixelFormat_GPU_BGRA128, {},
                             PF_GPU_Framework_OPENCL, gpuData)
                          .err,
                      PF_Err_NONE);
            return output->ReadPixels();
        };
        return {render(GpuData()), render(unculled_->GpuData()), render(plain_->GpuData())};
    }

    // Counts the pixels that differ in any bit and prints the first few.
    static int Differences(const std::vector<BgraPixel>& a, const std::vector<BgraPixel>& b,
                           int32_t width, const std::string& what) {
        int count = 0;
        for (std::size_t n = 0; n < a.size(); ++n) {
            if (std::memcmp(&a[n], &b[n], sizeof(BgraPixel)) == 0) {
                continue;
            }
            if (++count <= 5) {
                std::printf(
                    "[ differs ] %s at (%d, %d): %.9g %.9g %.9g %.9g against %.9g %.9g "
                    "%.9g %.9g\n",
                    what.c_str(), int(n % std::size_t(width)), int(n / std::size_t(width)),
                    double(a[n].blue), double(a[n].green), double(a[n].red), double(a[n].alpha),
                    double(b[n].blue), double(b[n].green), double(b[n].red), double(b[n].alpha));
            }
        }
        return count;
    }

    static float LargestDifference(const std::vector<BgraPixel>& a,
                                   const std::vector<BgraPixel>& b) {
        float largest = 0.0f;
        for (std::size_t n = 0; n < a.size(); ++n) {
            largest = std::max({largest, std::fabs(a[n].blue - b[n].blue),
                                std::fabs(a[n].green - b[n].green), std::fabs(a[n].red - b[n].red),
                                std::fabs(a[n].alpha - b[n].alpha)});
        }
        return largest;
    }

  private:
    static inline YardstickKernel* plain_ = nullptr;
    static inline YardstickKernel* unculled_ = nullptr;
};

// Whether every coordinate of the record lies within 10,000 pixels.
bool NearTheFrame(const RopeRenderData& record) {
    return std::all_of(record.points.begin(), record.points.end(),
                       [](float v) { return std::fabs(v) < 1e4f; });
}

// Random pixels, with runs of opaque and of clear ones.
void FillRandomly(ImageWorld& image, std::mt19937& random) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const float roll = unit(random);
            const float alpha = roll < 0.3f ? 1.0f : (roll < 0.5f ? 0.0f : unit(random));
            image.WriteFloat(x, y, PF_PixelFloat{alpha, unit(random), unit(random), unit(random)});
        }
    }
}

// A random rope winding across tile borders, with widths from nothing to
// enormous, degenerate pieces, pieces from far away and random markers.
RopeRenderData RandomRope(std::mt19937& random, int32_t width, int32_t height, int pieces) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto thickness = [&]() {
        const float roll = unit(random);
        if (roll < 0.08f) {
            return 0.0f;
        }
        if (roll < 0.15f) {
            return unit(random) * 0.3f;
        }
        if (roll < 0.2f) {
            return -unit(random) * 4.0f;
        }
        if (roll < 0.25f) {
            return 30.0f + unit(random) * 300.0f;
        }
        return unit(random) * 14.0f;
    };
    RopeRenderData record = OpaqueRecord(unit(random), unit(random), unit(random));
    record.colorA = unit(random) < 0.5f ? 1.0f : unit(random);
    record.showNodes = unit(random) < 0.6f;
    float x = unit(random) * float(width), y = unit(random) * float(height);
    for (int n = 0; n < pieces; ++n) {
        const float roll = unit(random);
        float nx = x + (unit(random) - 0.5f) * 20.0f;
        float ny = y + (unit(random) - 0.5f) * 20.0f;
        if (roll < 0.05f) {
            nx = x;  // degenerate: a round dot
            ny = y + (unit(random) < 0.5f ? 0.0f : 5e-4f);
        } else if (roll < 0.15f) {
            nx = -20.0f + unit(random) * float(width + 40);
            ny = -20.0f + unit(random) * float(height + 40);
        } else if (roll < 0.18f) {
            nx = (unit(random) - 0.5f) * 2e6f;
            ny = (unit(random) - 0.5f) * 2e6f;
        }
        AddPiece(record, x, y, nx, ny, thickness(), thickness());
        if (n % 3 == 0) {
            AddNode(record, x, y, unit(random) < 0.1f ? 200.0f : thickness() * 0.5f);
        }
        x = nx;
        y = ny;
    }
    return record;
}

TEST_F(GpuCullingTest, FramesEqualTheUnculledKernelBitForBit) {
    std::mt19937 random(2024);
    struct Case {
        int32_t width, height;
        RopeRenderData record;
        bool composite;
    };
    std::vector<Case> cases;
    // The records of the other kernel tests and the benchmark's rope, with
    // more pieces and markers than one list chunk holds.
    for (bool markers : {false, true}) {
        cases.push_back({100, 37, SaggingRope(100, 37, 24, markers), false});
        cases.push_back({64, 64, SaggingRope(64, 64, 300, markers, 0.6f), true});
        cases.push_back({161, 97, SaggingRope(161, 97, 2200, markers), false});
    }
    // More markers than two list chunks hold, overlapping, so their order
    // shows: two full chunks and a tail short enough for one work item.
    RopeRenderData dotted = SaggingRope(90, 70, 12, true, 0.8f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int n = 0; n < 4122; ++n) {
        AddNode(dotted, unit(random) * 90.0f, unit(random) * 70.0f, unit(random) * 4.0f);
    }
    cases.push_back({90, 70, dotted, true});
    // Thousands of pieces on one tile: every chunk's list is full.
    RopeRenderData crowded = OpaqueRecord(0.3f, 0.9f, 0.5f);
    crowded.colorA = 0.7f;
    for (int n = 0; n < 3000; ++n) {
        AddPiece(crowded, 2.0f + unit(random) * 12.0f, 2.0f + unit(random) * 12.0f,
                 2.0f + unit(random) * 12.0f, 2.0f + unit(random) * 12.0f, unit(random) * 1.5f,
                 unit(random) * 1.5f);
    }
    cases.push_back({33, 29, crowded, true});
    RopeRenderData record = OpaqueRecord(1.0f, 0.0f, 0.0f);
    AddPiece(record, 5.0f, 5.0f, 95.0f, 30.0f, 4.0f, 2.0f);
    AddPiece(record, 40.0f, 20.0f, 40.0f, 20.0f, 9.0f, 1.0f);  // a == b: a dot
    AddNode(record, 20.0f, 10.0f, 3.0f);
    record.showNodes = true;
    cases.push_back({100, 37, record, true});
    // Random ropes on frames that are not whole tiles.
    const int32_t sizes[][2] = {{1, 1}, {17, 15}, {50, 33}, {131, 70}};
    for (int n = 0; n < 24; ++n) {
        const int32_t* size = sizes[std::size_t(n) % std::size(sizes)];
        cases.push_back(
            {size[0], size[1], RandomRope(random, size[0], size[1], 5 + n * 12), n % 2 == 0});
    }

    int culledAgainstUnculled = 0;
    int culledAgainstPlain = 0;
    float largest = 0.0f;
    float largestAnywhere = 0.0f;
    for (std::size_t c = 0; c < cases.size(); ++c) {
        Case& test = cases[c];
        test.record.compositeOnOriginal = test.composite;
        ImageWorld input(test.width, test.height, PixelDepth::k32);
        FillRandomly(input, random);
        const Frames frames = RenderAll(test.width, test.height, test.record, input);
        const std::string what = "case " + std::to_string(c);
        culledAgainstUnculled +=
            Differences(frames.culled, frames.unculled, test.width, what + ", unculled");
        culledAgainstPlain +=
            Differences(frames.culled, frames.plain, test.width, what + ", plain");
        const float difference = LargestDifference(frames.culled, frames.plain);
        largestAnywhere = std::max(largestAnywhere, difference);
        if (NearTheFrame(test.record)) {
            largest = std::max(largest, difference);
        }
    }
    EXPECT_EQ(culledAgainstUnculled, 0);
    // The plain loop is compiled as other code (the OpenCL compiler may
    // vectorise it across pixels, with its own fast-math division and square
    // root), so its last bits may differ; report how many and by how much. With
    // pieces from a million pixels away, whose coordinates are only good to a
    // sixteenth of a pixel, the difference is larger, and not bounded here.
    std::printf(
        "[ plain   ] %d pixels differ from the plain loop, by at most %.3g (%.3g with "
        "far-off pieces)\n",
        culledAgainstPlain, double(largest), double(largestAnywhere));
    EXPECT_LE(largest, kPlainTolerance);
}

TEST_F(GpuCullingTest, NonFinitePiecesAndMarkersAreSkipped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    constexpr int32_t kWidth = 48, kHeight = 40;
    RopeRenderData clean = OpaqueRecord(0.2f, 0.6f, 0.9f);
    clean.showNodes = true;
    AddPiece(clean, 4.0f, 30.0f, 44.0f, 10.0f, 6.0f, 3.0f);
    AddNode(clean, 24.0f, 20.0f, 3.0f);
    // Every field of a piece and of a marker in turn, NaN and both infinities,
    // including a mask vertex at 1e308 that made the rope NaN.
    RopeRenderData damaged = clean;
    for (int field = 0; field < 6; ++field) {
        for (float bad : {nan, inf, -inf}) {
            float values[6] = {10.0f, 10.0f, 30.0f, 30.0f, 4.0f, 4.0f};
            values[field] = bad;
            AddPiece(damaged, values[0], values[1], values[2], values[3], values[4], values[5]);
        }
    }
    for (int field = 0; field < 3; ++field) {
        for (float bad : {nan, inf, -inf}) {
            float values[3] = {12.0f, 12.0f, 5.0f};
            values[field] = bad;
            AddNode(damaged, values[0], values[1], values[2]);
        }
    }

    ImageWorld black(kWidth, kHeight, PixelDepth::k32);
    black.Fill(PF_PixelFloat{0.0f, 0.0f, 0.0f, 0.0f});
    const Frames damagedFrames = RenderAll(kWidth, kHeight, damaged, black);
    const Frames cleanFrames = RenderAll(kWidth, kHeight, clean, black);
    EXPECT_EQ(Differences(damagedFrames.culled, cleanFrames.culled, kWidth, "damaged"), 0);
    EXPECT_EQ(Differences(damagedFrames.unculled, cleanFrames.unculled, kWidth, "unculled"), 0);
    // Far from the clean rope and marker nothing was drawn: no blob at the
    // damaged pieces' points.
    for (const auto& [x, y] : {std::pair{10, 10}, {30, 30}, {12, 12}}) {
        EXPECT_EQ(At(damagedFrames.culled, kWidth, x, y).alpha, 0.0f) << x << "," << y;
    }
    // The plain loop, which does not skip them, draws blobs there.
    EXPECT_GT(At(damagedFrames.plain, kWidth, 10, 10).alpha, 0.0f);
}

}  // namespace
}  // namespace tarsivel::testing
