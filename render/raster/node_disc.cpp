#include "node_disc.h"

#include <algorithm>
#include <cmath>

#include "channel_math.h"
#include "pixel_span.h"

namespace tarsivel {
namespace {

template <class Channel>
void FadeTowardsRed(const ArgbView<Channel>& output, int32_t j, int32_t i, double k, double max) {
    const double keep = 1.0 - k;
    const double red = static_cast<double>(output.Load(j, i, kRed));
    const double green = static_cast<double>(output.Load(j, i, kGreen));
    const double blue = static_cast<double>(output.Load(j, i, kBlue));
    const double alpha = static_cast<double>(output.Load(j, i, kAlpha));
    output.Store(j, i, kRed, ChannelFromDouble<Channel>(red * keep + max * k));
    output.Store(j, i, kGreen, ChannelFromDouble<Channel>(green * keep));
    output.Store(j, i, kBlue, ChannelFromDouble<Channel>(blue * keep));
    output.Store(j, i, kAlpha, ChannelFromDouble<Channel>(alpha * keep + max * k));
}

}  // namespace

template <class Channel>
void DrawNodeDisc(const ArgbView<Channel>& output, double x, double y, double radius, double max) {
    if (output.Empty() || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(radius)) {
        return;
    }
    const PixelSpan columns = ClippedSpan(x - radius, x + radius, output.width);
    const PixelSpan rows = ClippedSpan(y - radius, y + radius, output.height);
    // Beyond this distance k is below 0 even after rounding (a pixel of slack
    // and a millionth of the magnitudes), so those pixels skip the square root,
    // and each row visits only the chord of that circle.
    const double reach =
        std::max(0.0, radius + 1.5 + 1e-6 * (std::fabs(radius) + std::fabs(x) + std::fabs(y)));
    const double reachSq = reach * reach;
    for (int32_t i = rows.first; i <= rows.last; ++i) {
        const double offY = i - y;
        const double offYSq = offY * offY;
        if (offYSq > reachSq) {
            continue;
        }
        const double halfChord = std::sqrt(reachSq - offYSq);
        const PixelSpan chord = ClippedSpan(x - halfChord, x + halfChord, output.width);
        const int32_t first = std::max(columns.first, chord.first);
        const int32_t last = std::min(columns.last, chord.last);
        for (int32_t j = first; j <= last; ++j) {
            const double offX = j - x;
            const double distanceSq = offX * offX + offYSq;
            if (distanceSq > reachSq) {
                continue;
            }
            double k = radius + 0.5 - std::sqrt(distanceSq);
            if (k < 0.0) {
                continue;
            }
            k = std::min(k, 1.0);
            if (k > 0.0) {
                FadeTowardsRed(output, j, i, k, max);
            }
        }
    }
}

template <class Channel>
void DrawNodeMarkers(const ArgbView<Channel>& output, const RopeRenderData& renderData,
                     double max) {
    const std::vector<float>& nodes = renderData.nodePoints;
    const std::vector<float>& radii = renderData.nodeThickness;
    const size_t count = nodes.size() / 2;
    for (size_t n = 0; n < count; ++n) {
        const double radius = n < radii.size()
                                  ? static_cast<double>(radii[n])
                                  : static_cast<double>(renderData.thicknessStart) * 0.5;
        DrawNodeDisc(output, nodes[2 * n], nodes[2 * n + 1], radius, max);
    }
}

template void DrawNodeDisc<uint8_t>(const ArgbView<uint8_t>&, double, double, double, double);
template void DrawNodeDisc<uint16_t>(const ArgbView<uint16_t>&, double, double, double, double);
template void DrawNodeDisc<float>(const ArgbView<float>&, double, double, double, double);
template void DrawNodeMarkers<uint8_t>(const ArgbView<uint8_t>&, const RopeRenderData&, double);
template void DrawNodeMarkers<uint16_t>(const ArgbView<uint16_t>&, const RopeRenderData&, double);
template void DrawNodeMarkers<float>(const ArgbView<float>&, const RopeRenderData&, double);

}  // namespace tarsivel
