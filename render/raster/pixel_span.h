// The clipped pixel range that a shape of some reach around a centre line can
// touch, with one pixel of slack, rounded outward.
#ifndef TARSIVEL_RENDER_RASTER_PIXEL_SPAN_H
#define TARSIVEL_RENDER_RASTER_PIXEL_SPAN_H

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tarsivel {

struct PixelSpan {
    int32_t first = 0;
    int32_t last = -1;  // inclusive; last < first is empty
};

// Pixels max(0, ⌊low − 1⌋) … min(count − 1, ⌈high + 1⌉). The bounds are
// clamped in double before they become integers, so pieces flung far off the
// frame (or infinitely far) give an empty or clipped span, never an overflow.
inline PixelSpan ClippedSpan(double low, double high, int32_t count) {
    const double first = std::max(0.0, std::floor(low - 1.0));
    const double last = std::min(static_cast<double>(count) - 1.0, std::ceil(high + 1.0));
    if (!(first <= last)) {
        return {};
    }
    return {static_cast<int32_t>(first), static_cast<int32_t>(last)};
}

}  // namespace tarsivel

#endif
