// The plain full-frame coverage map, for the tests and the benchmarks only:
// the yardstick that the renderer's tiled map is checked and timed against.
#ifndef TARSIVEL_TESTS_SUPPORT_COVERAGE_YARDSTICK_H
#define TARSIVEL_TESTS_SUPPORT_COVERAGE_YARDSTICK_H

#include "physics/rope_render_data.h"
#include "render/raster/coverage_map.h"

namespace tarsivel::testing {

// Every piece of the record raised into one map the size of the frame, in
// order; a piece without its own widths takes the record's thicknessStart
// and thicknessEnd.
void AccumulateRopeCoverage(const CoverageMapView& map, const RopeRenderData& renderData);

}  // namespace tarsivel::testing

#endif
