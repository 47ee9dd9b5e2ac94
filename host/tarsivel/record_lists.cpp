#include "host/tarsivel/record_lists.h"

#include "physics/rope_render_data.h"

namespace tarsivel::cli {

RecordLists ReadRecord(const void* record) {
    const auto& r = *static_cast<const RopeRenderData*>(record);
    return {.points = r.points,
            .segThickness = r.segThickness,
            .nodePoints = r.nodePoints,
            .nodeThickness = r.nodeThickness,
            .showNodes = r.showNodes,
            .compositeOnOriginal = r.compositeOnOriginal,
            .thicknessStart = r.thicknessStart,
            .thicknessEnd = r.thicknessEnd,
            .colorA = r.colorA,
            .colorR = r.colorR,
            .colorG = r.colorG,
            .colorB = r.colorB};
}

}  // namespace tarsivel::cli
