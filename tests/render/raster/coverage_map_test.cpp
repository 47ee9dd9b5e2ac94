#include "render/raster/coverage_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/render/render_test_support.h"
#include "tests/support/coverage_yardstick.h"

namespace tarsivel {
namespace {

// A map of exactly width × height entries, so the sanitizers catch any write
// outside it.
class CoverageMapTest : public ::testing::Test {
  protected:
    static constexpr int32_t kWidth = 24;
    static constexpr int32_t kHeight = 16;

    void Piece(float x0, float y0, float x1, float y1, float thickStart, float thickEnd) {
        AccumulateSegmentCoverage(map.data(), kWidth, kHeight, x0, y0, x1, y1, thickStart,
                                  thickEnd);
    }
    float At(int32_t x, int32_t y) const { return map[size_t(y) * kWidth + size_t(x)]; }
    bool AllZero() const {
        for (float v : map) {
            if (v != 0.0f) {
                return false;
            }
        }
        return true;
    }

    std::vector<float> map = std::vector<float>(size_t(kWidth) * kHeight, 0.0f);
};

TEST_F(CoverageMapTest, CoreIsFullAndEdgeFallsToZeroAtHalfWidthPlusHalf) {
    Piece(2, 4, 20, 4, 3, 3);
    EXPECT_EQ(At(10, 4), 1.0f);  // on the core line
    EXPECT_EQ(At(10, 5), 1.0f);  // distance 1 = half width - 0.5
    EXPECT_EQ(At(10, 6), 0.0f);  // distance 2 = half width + 0.5
    Piece(2, 10, 20, 10, 4, 4);
    EXPECT_FLOAT_EQ(At(10, 12), 0.5f);  // halfway through the soft edge
    EXPECT_EQ(At(10, 13), 0.0f);
}

TEST_F(CoverageMapTest, WidthOneIsFullOnItsCoreAndWidthZeroIsHalf) {
    Piece(2, 3, 20, 3, 1, 1);
    EXPECT_EQ(At(8, 3), 1.0f);
    EXPECT_EQ(At(8, 4), 0.0f);
    Piece(2, 9, 20, 9, 0, 0);
    EXPECT_EQ(At(8, 9), 0.5f);
    EXPECT_EQ(At(8, 10), 0.0f);
}

TEST_F(CoverageMapTest, PiecesCombineByMaximumInEitherOrder) {
    // Widths 0.2 and 0.4 give 0.6 and 0.7 at the crossing pixel (5, 5).
    Piece(0, 5, 12, 5, 0.2f, 0.2f);
    Piece(5, 0, 5, 12, 0.4f, 0.4f);
    EXPECT_NEAR(At(5, 5), 0.7f, 1e-6);
    std::fill(map.begin(), map.end(), 0.0f);
    Piece(5, 0, 5, 12, 0.4f, 0.4f);
    Piece(0, 5, 12, 5, 0.2f, 0.2f);
    EXPECT_NEAR(At(5, 5), 0.7f, 1e-6);
    // A piece lying over an identical one adds nothing.
    const float before = At(5, 3);
    Piece(5, 0, 5, 12, 0.4f, 0.4f);
    EXPECT_EQ(At(5, 3), before);
}

TEST_F(CoverageMapTest, WidthTapersAlongThePiece) {
    Piece(0, 6, 20, 6, 2, 6);
    EXPECT_EQ(At(0, 8), 0.0f);         // half width 1 at the start
    EXPECT_FLOAT_EQ(At(10, 8), 0.5f);  // half width 2 halfway
    EXPECT_EQ(At(20, 8), 1.0f);        // half width 3 at the end
}

TEST_F(CoverageMapTest, EndsAreRound) {
    Piece(5, 5, 10, 5, 4, 4);
    EXPECT_FLOAT_EQ(At(12, 5), 0.5f);  // two past the end, on the axis
    EXPECT_EQ(At(12, 7), 0.0f);        // a square end would give 0.5 here
    EXPECT_EQ(At(3, 7), 0.0f);
}

TEST_F(CoverageMapTest, ShortPiecesAddNothingButTheThresholdIsOnTheLength) {
    Piece(8, 8, 8, 8, 6, 6);
    Piece(8, 8, std::nextafter(8.0f, 9.0f), 8, 6, 6);  // length 9.5e-7
    EXPECT_TRUE(AllZero());
    // Length about 1e-4: its square is below 1e-6, the length is not.
    Piece(8, 8, 8.0001f, 8, 6, 6);
    EXPECT_EQ(At(8, 8), 1.0f);
}

TEST_F(CoverageMapTest, PiecesPartlyOrWhollyOffTheMapAreClipped) {
    Piece(-40, 3, 60, 3, 4, 4);
    for (int32_t x = 0; x < kWidth; ++x) {
        EXPECT_EQ(At(x, 3), 1.0f) << x;
    }
    Piece(3, -50, 3, -10, 4, 4);
    Piece(100, 3, 200, 3, 4, 4);
    Piece(-30, 30, -10, 60, 4, 4);
    EXPECT_EQ(At(3, 0), 0.0f);
    EXPECT_EQ(At(kWidth - 1, 8), 0.0f);
}

TEST_F(CoverageMapTest, NonFinitePiecesAreSkippedAndHugeOnesAreClipped) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Piece(nan, 4, 10, 4, 2, 2);
    Piece(4, 4, inf, 4, 2, 2);
    Piece(-inf, -inf, inf, inf, 2, 2);
    Piece(4, 4, 10, 4, nan, 2);
    Piece(4, 4, 10, 4, 2, inf);
    EXPECT_TRUE(AllZero());
    // Flung far away: nothing on the map, and no overflowing bounds.
    Piece(1e30f, 1e30f, 2e30f, -1e30f, 2, 2);
    Piece(-1e30f, 5, -2e30f, 5, 2, 2);
    EXPECT_TRUE(AllZero());
    // Crossing the whole map from very far away: bounded work, no overflow.
    Piece(-1e30f, 6, 1e30f, 6, 2, 2);
    // Astronomically wide: covers everything.
    Piece(12, 6, 13, 6, 1e30f, 1e30f);
    EXPECT_EQ(At(0, 0), 1.0f);
    EXPECT_EQ(At(kWidth - 1, kHeight - 1), 1.0f);
}

TEST_F(CoverageMapTest, RopePiecesWithoutTheirOwnWidthsTakeTheRecordsThicknesses) {
    RopeRenderData record;
    record.points = {2, 3, 20, 3, 2, 10, 20, 10};
    record.segThickness = {1, 1, 3};  // the second piece lacks its end width
    record.thicknessStart = 99;
    record.thicknessEnd = 5;
    testing::AccumulateRopeCoverage({map.data(), kWidth, kHeight}, record);
    EXPECT_EQ(At(20, 4), 0.0f);   // first piece: width 1 to its end
    EXPECT_EQ(At(20, 12), 1.0f);  // second piece ends with width 5
    EXPECT_EQ(At(2, 12), 0.0f);   // and starts with width 3, not 99
}

TEST(CoverageMapAllocation, IsZeroedAndEmptyForDegenerateSizes) {
    const std::unique_ptr<float[]> map = AllocateCoverageMap(7, 5);
    ASSERT_NE(map, nullptr);
    for (int n = 0; n < 35; ++n) {
        EXPECT_EQ(map[size_t(n)], 0.0f);
    }
    EXPECT_NE(AllocateCoverageMap(0, 5), nullptr);
    EXPECT_NE(AllocateCoverageMap(-3, 5), nullptr);
}

}  // namespace
}  // namespace tarsivel
