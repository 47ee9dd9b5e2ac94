// The node markers: opaque pure red discs with a one-pixel soft edge, laid
// over the rope and over earlier markers. They are not premultiplied and
// ignore the rope colour.
#ifndef TARSIVEL_RENDER_RASTER_NODE_DISC_H
#define TARSIVEL_RENDER_RASTER_NODE_DISC_H

#include "argb_view.h"
#include "rope_render_data.h"

namespace tarsivel {

// One marker of `radius` around (x, y); `max` is the channel type's full
// value (255, 32768 or 1). A marker with a coordinate or radius that is not
// finite draws nothing.
template <class Channel>
void DrawNodeDisc(const ArgbView<Channel>& output, double x, double y, double radius, double max);

// Every marker of the record in node order, so a later node covers an earlier
// one; a node without its own radius takes thicknessStart × 0.5.
template <class Channel>
void DrawNodeMarkers(const ArgbView<Channel>& output, const RopeRenderData& renderData, double max);

extern template void DrawNodeDisc<uint8_t>(const ArgbView<uint8_t>&, double, double, double,
                                           double);
extern template void DrawNodeDisc<uint16_t>(const ArgbView<uint16_t>&, double, double, double,
                                            double);
extern template void DrawNodeDisc<float>(const ArgbView<float>&, double, double, double, double);
extern template void DrawNodeMarkers<uint8_t>(const ArgbView<uint8_t>&, const RopeRenderData&,
                                              double);
extern template void DrawNodeMarkers<uint16_t>(const ArgbView<uint16_t>&, const RopeRenderData&,
                                               double);
extern template void DrawNodeMarkers<float>(const ArgbView<float>&, const RopeRenderData&, double);

}  // namespace tarsivel

#endif
