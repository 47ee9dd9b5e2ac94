// The rope's coverage map: one float per output pixel (row-major, a row
// stride of `width` entries) holding how much of that pixel the rope covers,
// 0..1. Pieces combine by maximum, never by sum, so overlapping pieces of one
// stroke do not darken where they meet.
#ifndef TARSIVEL_RENDER_RASTER_COVERAGE_MAP_H
#define TARSIVEL_RENDER_RASTER_COVERAGE_MAP_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "rope_render_data.h"

namespace tarsivel {

// A coverage map that someone else owns: width × height entries.
struct CoverageMapView {
    float* entries = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// One drawn piece of the rope, from (x0, y0) to (x1, y1), with full widths
// (not radii) at its two ends.
struct TaperedPiece {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
    float thickStart = 0.0f;
    float thickEnd = 0.0f;
};

// A zeroed map of width × height entries; null when it cannot be allocated.
std::unique_ptr<float[]> AllocateCoverageMap(int32_t width, int32_t height);

// Raises the map to one tapered piece: 1 within half width − 0.5 of the
// piece, falling linearly to 0 at half width + 0.5, round ends. A piece
// shorter than 1e-6 adds nothing, and so does a piece with a coordinate or
// width that is not finite.
void AccumulateSegmentCoverage(const CoverageMapView& map, const TaperedPiece& piece);
// The same with the map and the piece given value by value.
void AccumulateSegmentCoverage(float* coverage, int32_t width, int32_t height, float x0, float y0,
                               float x1, float y1, float thickStart, float thickEnd);

// Calls visit(piece) for every piece of the record in order; a piece without
// its own widths takes the record's thicknessStart and thicknessEnd.
template <class Visit>
void ForEachRopePiece(const RopeRenderData& renderData, Visit visit) {
    const std::vector<float>& points = renderData.points;
    const std::vector<float>& widths = renderData.segThickness;
    const size_t pieces = points.size() / 4;
    for (size_t j = 0; j < pieces; ++j) {
        const float thickStart = 2 * j < widths.size() ? widths[2 * j] : renderData.thicknessStart;
        const float thickEnd =
            2 * j + 1 < widths.size() ? widths[2 * j + 1] : renderData.thicknessEnd;
        visit(TaperedPiece{points[4 * j], points[4 * j + 1], points[4 * j + 2], points[4 * j + 3],
                           thickStart, thickEnd});
    }
}

// The rope's coverage map kept in 32 × 32 tiles that exist only where some
// piece reached: a rope covers a few per cent of a frame, so only those tiles
// are zeroed, accumulated, swept and blended. Entry values are exactly those
// of the full-frame map (the same pieces in the same order through the same
// arithmetic); a pixel of a tile that was never made has coverage 0.
class CoverageTiles {
  public:
    static constexpr int32_t kShift = 5;
    static constexpr int32_t kSide = 1 << kShift;
    static constexpr int32_t kArea = kSide * kSide;

    // No tile yet for a width × height frame; false when the memory for the
    // tiles cannot be had.
    bool Reset(int32_t width, int32_t height);

    // One piece, skipped like the full-frame map skips it.
    void AddPiece(const TaperedPiece& drawn);
    // Every piece of the record in order.
    void AddRope(const RopeRenderData& renderData);

    // visit(column0, row0, columns, rows, tile) for every tile made, in row
    // order of the frame: the tile's top-left pixel, how many of its columns
    // and rows lie in the frame, and its entries (row stride kSide).
    template <class Visit>
    void ForEachTile(Visit visit) const {
        for (int32_t ty = 0; ty < tilesY_; ++ty) {
            for (int32_t tx = 0; tx < tilesX_; ++tx) {
                const int32_t slot = slots_[static_cast<std::ptrdiff_t>(ty) * tilesX_ + tx];
                if (slot < 0) {
                    continue;
                }
                const int32_t column0 = tx * kSide, row0 = ty * kSide;
                visit(column0, row0, std::min(kSide, width_ - column0),
                      std::min(kSide, height_ - row0),
                      static_cast<const float*>(pool_ + static_cast<std::ptrdiff_t>(slot) * kArea));
            }
        }
    }

    // The coverage of pixel (column, row) of the frame.
    float At(int32_t column, int32_t row) const;
    int32_t TileCount() const { return used_; }

  private:
    // The tile, zeroed when a piece first reaches it.
    float* TileAt(int32_t tx, int32_t ty) {
        int32_t& slot = slots_[static_cast<std::ptrdiff_t>(ty) * tilesX_ + tx];
        if (slot < 0) {
            slot = used_++;
            std::fill_n(pool_ + static_cast<std::ptrdiff_t>(slot) * kArea, kArea, 0.0f);
        }
        return pool_ + static_cast<std::ptrdiff_t>(slot) * kArea;
    }

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t tilesX_ = 0;
    int32_t tilesY_ = 0;
    int32_t used_ = 0;
    // One block: room for every tile (zeroed one tile at a time as pieces
    // reach it), then per tile its place in that room, or −1.
    std::unique_ptr<unsigned char[]> block_;
    float* pool_ = nullptr;
    int32_t* slots_ = nullptr;
};

}  // namespace tarsivel

#endif
