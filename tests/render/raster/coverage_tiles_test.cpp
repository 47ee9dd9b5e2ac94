// The fast paths must not move one bit: the narrowed, paired and tiled
// accumulation against the plain per-pixel loop over each piece's whole
// bounding box, and the tiled blend against the plain sweep over every pixel.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "render/raster/channel_math.h"
#include "render/raster/coverage_map.h"
#include "render/raster/cpu_blend.h"
#include "tests/render/render_test_support.h"
#include "tests/support/coverage_yardstick.h"

namespace tarsivel {
namespace {

using testing::AccumulateRopeCoverage;
using testing::AddPiece;

// The loop as first written: every pixel of the clipped bounding box, every
// step of the formula, no shortcut.
void PlainSegmentCoverage(std::vector<float>& map, int32_t width, int32_t height, float x0,
                          float y0, float x1, float y1, float thickStart, float thickEnd) {
    const double ax = x0, ay = y0, bx = x1, by = y1, ts = thickStart, te = thickEnd;
    for (double v : {ax, ay, bx, by, ts, te}) {
        if (!std::isfinite(v)) {
            return;
        }
    }
    const double dx = bx - ax, dy = by - ay;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-6) {
        return;
    }
    const double margin = std::max(ts, te) * 0.5;
    const double c0 = std::max(0.0, std::floor(std::min(ax, bx) - margin - 1.0));
    const double c1 = std::min(width - 1.0, std::ceil(std::max(ax, bx) + margin + 1.0));
    const double r0 = std::max(0.0, std::floor(std::min(ay, by) - margin - 1.0));
    const double r1 = std::min(height - 1.0, std::ceil(std::max(ay, by) + margin + 1.0));
    if (!(c0 <= c1) || !(r0 <= r1)) {
        return;
    }
    const double ux = dx / len, uy = dy / len;
    for (int32_t i = int32_t(r0); i <= int32_t(r1); ++i) {
        for (int32_t j = int32_t(c0); j <= int32_t(c1); ++j) {
            double s = (j - ax) * ux + (i - ay) * uy;
            s = s < 0.0 ? 0.0 : std::min(s, len);
            const double offX = j - (ax + ux * s), offY = i - (ay + uy * s);
            const double d = std::sqrt(offX * offX + offY * offY);
            const double t = s / len;
            double g = ((1.0 - t) * ts + t * te) * 0.5 + 0.5 - d;
            if (g < 0.0) {
                continue;
            }
            g = std::min(g, 1.0);
            float& entry = map[size_t(i) * size_t(width) + size_t(j)];
            if (g > 0.0 && static_cast<float>(g) > entry) {
                entry = static_cast<float>(g);
            }
        }
    }
}

// Random records meant to find the edges of the shortcuts: ropes winding
// across tile borders, long steep pieces, widths from 0 to enormous and
// negative, pieces too short to draw, far-off and non-finite coordinates.
RopeRenderData RandomRecord(std::mt19937& random, int32_t width, int32_t height) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto coordinate = [&](int32_t extent) { return -20.0f + unit(random) * float(extent + 40); };
    auto thickness = [&]() {
        const float roll = unit(random);
        if (roll < 0.1f) {
            return 0.0f;
        }
        if (roll < 0.2f) {
            return unit(random) * 0.6f;
        }
        if (roll < 0.25f) {
            return -unit(random) * 3.0f;
        }
        if (roll < 0.3f) {
            return 40.0f + unit(random) * 200.0f;
        }
        return unit(random) * 16.0f;
    };
    RopeRenderData record = testing::OpaqueRecord(unit(random), unit(random), unit(random));
    record.colorA = unit(random) < 0.5f ? 1.0f : unit(random);
    float x = coordinate(width), y = coordinate(height);
    const int pieces = 1 + int(unit(random) * 60.0f);
    for (int n = 0; n < pieces; ++n) {
        const float roll = unit(random);
        float nx, ny;
        if (roll < 0.5f) {  // a short step along the rope
            nx = x + (unit(random) - 0.5f) * 12.0f;
            ny = y + (unit(random) - 0.5f) * 12.0f;
        } else if (roll < 0.75f) {  // a long piece, often steep
            nx = coordinate(width);
            ny = coordinate(height);
        } else if (roll < 0.8f) {  // too short to draw, or barely long enough
            nx = x + (unit(random) < 0.5f ? 0.0f : 2e-6f);
            ny = y;
        } else if (roll < 0.85f) {  // flung far off
            nx = (unit(random) - 0.5f) * 2e7f;
            ny = (unit(random) - 0.5f) * 2e7f;
        } else if (roll < 0.9f) {  // exactly horizontal or vertical
            nx = roll < 0.875f ? coordinate(width) : x;
            ny = roll < 0.875f ? y : coordinate(height);
        } else {
            nx = coordinate(width);
            ny = coordinate(height);
        }
        AddPiece(record, x, y, nx, ny, thickness(), thickness());
        x = nx;
        y = ny;
    }
    return record;
}

void AddSpecialPieces(RopeRenderData& record, int32_t width, int32_t height) {
    const float inf = std::numeric_limits<float>::infinity();
    const float w = float(width), h = float(height);
    AddPiece(record, -1e30f, h * 0.5f, 1e30f, h * 0.3f, 3.0f, 5.0f);  // across from afar
    AddPiece(record, 0.3f * w, -1e9f, 0.6f * w, 1e9f, 2.0f, 7.0f);    // steep from afar
    AddPiece(record, w * 0.5f, h * 0.5f, w * 0.5f + 1.0f, h * 0.5f, 1e30f, 2.0f);
    AddPiece(record, 2.0f, 2.0f, inf, 3.0f, 2.0f, 2.0f);
    AddPiece(record, 2.0f, 2.0f, 9.0f, 3.0f, std::nanf(""), 2.0f);
    AddPiece(record, 31.5f, 0.0f, 32.5f, h, 0.0f, 0.0f);  // along a tile border
    AddPiece(record, 0.0f, 31.9f, w, 32.1f, 1.0f, 1.0f);
}

struct Frame {
    int32_t width, height;
};

constexpr Frame kFrames[] = {{1, 1}, {33, 31}, {77, 45}, {64, 64}, {130, 97}};

std::vector<float> PlainMap(const RopeRenderData& record, const Frame& frame) {
    std::vector<float> map(size_t(frame.width) * size_t(frame.height), 0.0f);
    const size_t pieces = record.points.size() / 4;
    for (size_t n = 0; n < pieces; ++n) {
        PlainSegmentCoverage(map, frame.width, frame.height, record.points[4 * n],
                             record.points[4 * n + 1], record.points[4 * n + 2],
                             record.points[4 * n + 3], record.segThickness[2 * n],
                             record.segThickness[2 * n + 1]);
    }
    return map;
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(CoverageShortcuts, FullAndTiledMapsEqualThePlainLoopBitForBit) {
    std::mt19937 random(1234);
    int mismatches = 0;
    for (int round = 0; round < 60; ++round) {
        for (const Frame& frame : kFrames) {
            RopeRenderData record = RandomRecord(random, frame.width, frame.height);
            if (round % 10 == 0) {
                AddSpecialPieces(record, frame.width, frame.height);
            }
            const std::vector<float> plain = PlainMap(record, frame);
            std::vector<float> full(plain.size(), 0.0f);
            AccumulateRopeCoverage({full.data(), frame.width, frame.height}, record);
            CoverageTiles tiles;
            ASSERT_TRUE(tiles.Reset(frame.width, frame.height));
            tiles.AddRope(record);
            for (int32_t y = 0; y < frame.height; ++y) {
                for (int32_t x = 0; x < frame.width; ++x) {
                    const float want = plain[size_t(y) * size_t(frame.width) + size_t(x)];
                    const float gotFull = full[size_t(y) * size_t(frame.width) + size_t(x)];
                    const float gotTiles = tiles.At(x, y);
                    if (!SameBits(want, gotFull) || !SameBits(want, gotTiles)) {
                        if (++mismatches <= 10) {
                            ADD_FAILURE()
                                << "round " << round << ", " << frame.width << " x " << frame.height
                                << " at (" << x << ", " << y << "): plain " << want << ", full "
                                << gotFull << ", tiles " << gotTiles;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(CoverageShortcuts, TilesExistOnlyWhereAPieceReached) {
    CoverageTiles tiles;
    ASSERT_TRUE(tiles.Reset(200, 100));
    EXPECT_EQ(tiles.TileCount(), 0);
    tiles.AddPiece({10, 10, 20, 10, 4, 4});  // well inside the first tile
    EXPECT_EQ(tiles.TileCount(), 1);
    tiles.AddPiece({150, 80, 150, 80, 4, 4});  // too short: nothing
    tiles.AddPiece({150, 80, 160, 80, std::nanf(""), 4});
    EXPECT_EQ(tiles.TileCount(), 1);
    // A long diagonal reaches the tiles along it, not its whole bounding box.
    tiles.AddPiece({0, 0, 199, 99, 2, 2});
    EXPECT_LT(tiles.TileCount(), 7 * 4);
    EXPECT_EQ(tiles.At(190, 5), 0.0f);
    EXPECT_EQ(tiles.At(100, 50), 1.0f);
}

// The blend of the same map through the plain sweep and through the tiles,
// over a background of random pixels, partly transparent ones included.
template <class Channel>
void ExpectTiledBlendMatchesPlain(std::mt19937& random, host::PixelDepth depth) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int round = 0; round < 12; ++round) {
        const Frame& frame = kFrames[size_t(round) % std::size(kFrames)];
        RopeRenderData record = RandomRecord(random, frame.width, frame.height);
        host::ImageWorld plain(frame.width, frame.height, depth);
        host::ImageWorld tiled(frame.width, frame.height, depth);
        for (int32_t y = 0; y < frame.height; ++y) {
            for (int32_t x = 0; x < frame.width; ++x) {
                // Runs of equal pixels, as a real background has.
                const bool plainRun = x % 7 < 4;
                const float a = plainRun ? 1.0f : unit(random);
                const PF_PixelFloat pixel{round % 3 == 0 ? 0.0f : a, plainRun ? 0.5f : unit(random),
                                          unit(random) < 0.5f ? 0.25f : unit(random),
                                          plainRun ? 0.0f : unit(random)};
                plain.WriteFloat(x, y, pixel);
                tiled.WriteFloat(x, y, pixel);
            }
        }
        std::vector<float> map(size_t(frame.width) * size_t(frame.height), 0.0f);
        AccumulateRopeCoverage({map.data(), frame.width, frame.height}, record);
        CoverageTiles tiles;
        ASSERT_TRUE(tiles.Reset(frame.width, frame.height));
        tiles.AddRope(record);
        const RopeColour colour{record.colorA, record.colorR, record.colorG, record.colorB};
        BlendRopeColour(map.data(), testing::ViewOf<Channel>(plain), colour);
        BlendRopeColour(tiles, testing::ViewOf<Channel>(tiled), colour);
        ASSERT_EQ(std::memcmp(plain.World()->data, tiled.World()->data,
                              size_t(plain.Rowbytes()) * size_t(frame.height)),
                  0)
            << "round " << round;
    }
}

TEST(CoverageShortcuts, TiledBlendEqualsThePlainSweepAtEveryDepth) {
    std::mt19937 random(99);
    ExpectTiledBlendMatchesPlain<uint8_t>(random, host::PixelDepth::k8);
    ExpectTiledBlendMatchesPlain<uint16_t>(random, host::PixelDepth::k16);
    ExpectTiledBlendMatchesPlain<float>(random, host::PixelDepth::k32);
}

// The blend of one pixel as first written, for the sweep's memo of the last
// pixel: the same old pixel and coverage must give the same bits as computing.
template <class Channel>
void PlainBlendPixel(const ArgbView<Channel>& output, int32_t j, int32_t i, double o,
                     const RopeColour& colour) {
    constexpr double kFull = FullValue<Channel>();
    const double a = UnitValue(output.Load(j, i, kAlpha));
    const double alphaOut = a * (1.0 - o) + o;
    output.Store(j, i, kAlpha, ChannelFromDouble<Channel>(alphaOut * kFull));
    if (!(alphaOut > 0.0)) {
        return;
    }
    const ArgbChannel channels[3] = {kRed, kGreen, kBlue};
    const double rope[3] = {colour.red, colour.green, colour.blue};
    for (int n = 0; n < 3; ++n) {
        const double old = UnitValue(output.Load(j, i, channels[n]));
        const double blended = (old * a * (1.0 - o) + rope[n] * o) / alphaOut;
        output.Store(j, i, channels[n], ChannelFromDouble<Channel>(blended * kFull));
    }
}

TEST(CoverageShortcuts, RepeatedPixelsBlendAsIfEachWereComputed) {
    // Signed zeros and equal-looking floats must not share a result.
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    constexpr int32_t kWidth = 64;
    host::ImageWorld swept(kWidth, 1, host::PixelDepth::k32);
    host::ImageWorld oneByOne(kWidth, 1, host::PixelDepth::k32);
    std::vector<float> coverage(kWidth);
    for (int32_t x = 0; x < kWidth; ++x) {
        const PF_PixelFloat pixel{x % 4 == 0 ? 0.0f : (x % 4 == 1 ? -0.0f : 0.5f),
                                  x % 3 == 0 ? -0.0f : 0.0f, 0.25f, 0.0f};
        swept.WriteFloat(x, 0, pixel);
        oneByOne.WriteFloat(x, 0, pixel);
        coverage[size_t(x)] = x % 5 == 0 ? unit(random) : 1.0f;
    }
    const RopeColour colour{0.0f, 0.0f, 0.0f, 0.0f};  // zero opacity keeps zeros' signs
    BlendRopeColour(coverage.data(), testing::ViewOf<float>(swept), colour);
    const ArgbView<float> view = testing::ViewOf<float>(oneByOne);
    for (int32_t x = 0; x < kWidth; ++x) {
        PlainBlendPixel(view, x, 0, double(colour.alpha) * double(coverage[size_t(x)]), colour);
    }
    EXPECT_EQ(std::memcmp(swept.World()->data, oneByOne.World()->data, size_t(swept.Rowbytes())),
              0);
}

}  // namespace
}  // namespace tarsivel
