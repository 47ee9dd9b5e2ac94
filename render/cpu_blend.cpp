#include "render/cpu_blend.h"

#include <cstddef>

#include "render/channel_math.h"

namespace tarsivel {
namespace {

template <class Channel>
void BlendPixel(const ArgbView<Channel>& output, int32_t j, int32_t i, double o,
                const RopeColour& colour) {
    constexpr double kFull = FullValue<Channel>();
    const double a = UnitValue(output.Load(j, i, kAlpha));
    const double alphaOut = a * (1.0 - o) + o;
    output.Store(j, i, kAlpha, ChannelFromDouble<Channel>(alphaOut * kFull));
    if (!(alphaOut > 0.0)) {
        return;
    }
    const ArgbChannel channels[3] = {kRed, kGreen, kBlue};
    const double rope[3] = {colour.red, colour.green, colour.blue};
    for (int n = 0; n < 3; ++n) {
        const double old = UnitValue(output.Load(j, i, channels[n]));
        const double blended = (old * a * (1.0 - o) + rope[n] * o) / alphaOut;
        output.Store(j, i, channels[n], ChannelFromDouble<Channel>(blended * kFull));
    }
}

}  // namespace

template <class Channel>
void BlendRopeColour(const float* coverage, const ArgbView<Channel>& output, RopeColour colour) {
    if (output.Empty()) {
        return;
    }
    const double opacity = colour.alpha;
    for (int32_t i = 0; i < output.height; ++i) {
        const float* row = coverage + static_cast<std::ptrdiff_t>(i) * output.width;
        for (int32_t j = 0; j < output.width; ++j) {
            const float cov = row[j];
            if (cov <= 0.0f) {
                continue;
            }
            BlendPixel(output, j, i, opacity * static_cast<double>(cov), colour);
        }
    }
}

template void BlendRopeColour<uint8_t>(const float*, const ArgbView<uint8_t>&, RopeColour);
template void BlendRopeColour<uint16_t>(const float*, const ArgbView<uint16_t>&, RopeColour);
template void BlendRopeColour<float>(const float*, const ArgbView<float>&, RopeColour);

}  // namespace tarsivel
