#include "tests/support/coverage_yardstick.h"

namespace tarsivel::testing {

void AccumulateRopeCoverage(const CoverageMapView& map, const RopeRenderData& renderData) {
    ForEachRopePiece(renderData,
                     [&](const TaperedPiece& piece) { AccumulateSegmentCoverage(map, piece); });
}

}  // namespace tarsivel::testing
