// One tapered piece as the coverage accumulation evaluates it, shared by the
// full-frame map and the tiled map so both give the same bits.
#ifndef TARSIVEL_RENDER_PIECE_COVERAGE_H
#define TARSIVEL_RENDER_PIECE_COVERAGE_H

#include <cstddef>
#include <cstdint>

#include "physics/rope_render_data.h"
#include "render/coverage_map.h"
#include "render/pixel_span.h"

namespace tarsivel {

struct CoveragePiece {
    double x0, y0, x1, y1;
    double len, ux, uy;
    double thickStart, thickEnd;
    // A distance from the piece beyond which every pixel's coverage is below
    // 0 even after rounding: the greater half width, the half-pixel ramp, one
    // pixel of slack and a share of the coordinates' magnitude.
    double reach;
    double reachSq;
    // Above any coverage the piece can give, rounding included.
    double peak;
    // The rows the piece may touch (its clipped bounding box with one pixel
    // of slack) and its columns on any of those rows.
    PixelSpan rows;
    PixelSpan columns;
    // Steep pieces get their columns narrowed row by row.
    bool narrowRows;
    double inverseDy;
};

// Prepares a piece for a map of width × height; false when it adds nothing (a
// coordinate or width that is not finite, or a length below 1e-6).
bool PrepareCoveragePiece(const TaperedPiece& drawn, int32_t width, int32_t height,
                          CoveragePiece& piece);

// The columns of `row` that the piece can raise: its bounding-box columns,
// narrowed for steep pieces to where the piece passes within reach of the row.
// Every column left out would get a coverage below 0.
PixelSpan CoveragePieceColumns(const CoveragePiece& piece, int32_t row, int32_t width);

// Raises entries[0 … last − first] (the map entries of columns first … last of
// `row`) to the piece's coverage where that is larger. Entries already at 1
// are left alone: coverage never exceeds 1.
void RaiseCoverageRow(const CoveragePiece& piece, int32_t row, int32_t first, int32_t last,
                      float* entries);

// Calls visit(piece) for every piece of the record in order; a piece without its own widths takes
// the record's thicknessStart and thicknessEnd.
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

}  // namespace tarsivel

#endif
