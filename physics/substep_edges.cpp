#include "physics/substep_edges.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "physics/vec2.h"

namespace tarsivel {

void InterpolateSubstepEdges(std::span<const MaskCollider> start, std::span<const MaskCollider> end,
                             double sEnd, std::span<MaskCollider> edges) {
    assert(edges.size() == end.size());
    if (start.size() != end.size()) {
        std::copy(end.begin(), end.end(), edges.begin());
        return;
    }
    for (std::size_t k = 0; k < end.size(); ++k) {
        edges[k] = {Lerp(start[k].x0, end[k].x0, sEnd), Lerp(start[k].y0, end[k].y0, sEnd),
                    Lerp(start[k].x1, end[k].x1, sEnd), Lerp(start[k].y1, end[k].y1, sEnd)};
    }
}

}  // namespace tarsivel
