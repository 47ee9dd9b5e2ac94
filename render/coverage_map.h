// The rope's coverage map: one float per output pixel (row-major, a row
// stride of `width` entries) holding how much of that pixel the rope covers,
// 0..1. Pieces combine by maximum, never by sum, so overlapping pieces of one
// stroke do not darken where they meet.
#ifndef TARSIVEL_RENDER_COVERAGE_MAP_H
#define TARSIVEL_RENDER_COVERAGE_MAP_H

#include <cstdint>
#include <memory>

#include "physics/rope_render_data.h"

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

// Every piece of the record in order; a piece without its own widths takes
// the record's thicknessStart and thicknessEnd.
void AccumulateRopeCoverage(const CoverageMapView& map, const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
