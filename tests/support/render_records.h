// Render records built by hand, for the renderers' tests, the GPU check and the
// benchmarks.
#ifndef TARSIVEL_TESTS_SUPPORT_RENDER_RECORDS_H
#define TARSIVEL_TESTS_SUPPORT_RENDER_RECORDS_H

#include "physics/rope_render_data.h"

namespace tarsivel::testing {

inline RopeRenderData OpaqueRecord(float red, float green, float blue) {
    RopeRenderData record;
    record.colorA = 1.0f;
    record.colorR = red;
    record.colorG = green;
    record.colorB = blue;
    return record;
}

// push_back one by one: inserting initializer lists sets off a false
// -Wstringop-overflow in GCC 12 at -O3.
inline void AddPiece(RopeRenderData& record, float x0, float y0, float x1, float y1,
                     float thickStart, float thickEnd) {
    for (float value : {x0, y0, x1, y1}) {
        record.points.push_back(value);
    }
    record.segThickness.push_back(thickStart);
    record.segThickness.push_back(thickEnd);
}

inline void AddNode(RopeRenderData& record, float x, float y, float radius) {
    record.nodePoints.push_back(x);
    record.nodePoints.push_back(y);
    record.nodeThickness.push_back(radius);
}

// A rope sagging across a frame: `pieces` tapered pieces and, as a built
// record has, one node per four pieces plus one.
inline RopeRenderData SaggingRope(int width, int height, int pieces, bool markers,
                                  float opacity = 1.0f) {
    RopeRenderData record = OpaqueRecord(0.9f, 0.4f, 0.1f);
    record.colorA = opacity;
    record.thicknessStart = 8.0f;
    record.thicknessEnd = 3.0f;
    record.showNodes = markers;
    auto x = [&](int i) {
        return 0.05f * float(width) + 0.9f * float(width) * float(i) / float(pieces);
    };
    auto y = [&](int i) {
        const float u = float(i) / float(pieces);
        return 0.1f * float(height) + 0.8f * float(height) * 4.0f * u * (1.0f - u);
    };
    auto thickness = [&](int i) { return 8.0f + (3.0f - 8.0f) * float(i) / float(pieces); };
    for (int i = 0; i < pieces; ++i) {
        AddPiece(record, x(i), y(i), x(i + 1), y(i + 1), thickness(i), thickness(i + 1));
    }
    for (int i = 0; i <= pieces; i += 4) {
        AddNode(record, x(i), y(i), thickness(i) * 0.5f);
    }
    return record;
}

}  // namespace tarsivel::testing

#endif
