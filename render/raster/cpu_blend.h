// Lays the rope colour over the output through the coverage map: the
// straight-alpha "over" of the colour at opacity colorA × coverage, with the
// old colour weighted by its own alpha.
#ifndef TARSIVEL_RENDER_RASTER_CPU_BLEND_H
#define TARSIVEL_RENDER_RASTER_CPU_BLEND_H

#include "argb_view.h"

namespace tarsivel {

class CoverageTiles;

struct RopeColour {
    float alpha = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

// One sweep over the map (output.width × output.height entries) and the
// output rows; pixels with coverage ≤ 0 are left as they are.
template <class Channel>
void BlendRopeColour(const float* coverage, const ArgbView<Channel>& output, RopeColour colour);

// The same over the tiles of a tiled map, which must be of the output's size:
// only the pixels of tiles some piece reached are visited.
template <class Channel>
void BlendRopeColour(const CoverageTiles& coverage, const ArgbView<Channel>& output,
                     RopeColour colour);

extern template void BlendRopeColour<uint8_t>(const float*, const ArgbView<uint8_t>&, RopeColour);
extern template void BlendRopeColour<uint16_t>(const float*, const ArgbView<uint16_t>&, RopeColour);
extern template void BlendRopeColour<float>(const float*, const ArgbView<float>&, RopeColour);
extern template void BlendRopeColour<uint8_t>(const CoverageTiles&, const ArgbView<uint8_t>&,
                                              RopeColour);
extern template void BlendRopeColour<uint16_t>(const CoverageTiles&, const ArgbView<uint16_t>&,
                                               RopeColour);
extern template void BlendRopeColour<float>(const CoverageTiles&, const ArgbView<float>&,
                                            RopeColour);

}  // namespace tarsivel

#endif
