// The record that carries one simulated frame from pre-render to render. Its
// four lists are laid out exactly as the GPU kernel's buffers, so the GPU path
// uploads them as they stand and the CPU path reads them in the same order.
// Coordinates are output-buffer pixels (layer pixels minus the output origin).
#ifndef TARSIVEL_PHYSICS_ROPE_RENDER_DATA_H
#define TARSIVEL_PHYSICS_ROPE_RENDER_DATA_H

#include <vector>

#include "rope.h"

namespace tarsivel {

struct RopeRenderData {
    std::vector<float> points;         // 4 per piece: start x, start y, end x, end y
    std::vector<float> segThickness;   // 2 per piece: full width at start, at end
    std::vector<float> nodePoints;     // 2 per node: x, y
    std::vector<float> nodeThickness;  // 1 per node: marker radius
    bool showNodes = false;
    bool compositeOnOriginal = false;
    float thicknessStart = 0.0f;
    float thicknessEnd = 0.0f;
    float colorA = 0.0f;
    float colorR = 0.0f;
    float colorG = 0.0f;
    float colorB = 0.0f;
};

// A zero-filled record on the heap, or null when memory is exhausted.
RopeRenderData* CreateRopeRenderData() noexcept;

// Appends the drawable pieces (four Catmull-Rom pieces per intact link, widths
// tapering over every piece slot of the rope) and the node markers of `rope`,
// minus the output origin. Throws std::bad_alloc when a list cannot grow.
void FillRopeRenderLists(RopeRenderData& record, const Rope& rope, double originX, double originY);

}  // namespace tarsivel

// The host's pre-render data deleter: releases the lists, then the record. A
// null pointer does nothing.
extern "C" void DeleteRopeRenderData(void* record);

#endif
