// How the rasterizer turns its double results into channel values, and how it
// reads channels back as 0..1 values.
#ifndef TARSIVEL_RENDER_RASTER_CHANNEL_MATH_H
#define TARSIVEL_RENDER_RASTER_CHANNEL_MATH_H

#include <cstdint>
#include <type_traits>

namespace tarsivel {

// Full value of a channel type: 255, 32768 (not 65535) or 1.
template <class Channel>
constexpr double FullValue() {
    if constexpr (std::is_same_v<Channel, uint8_t>) {
        return 255.0;
    } else if constexpr (std::is_same_v<Channel, uint16_t>) {
        return 32768.0;
    } else {
        return 1.0;
    }
}

// A channel as a 0..1 value, computed in single precision as the host's own
// scale: 8-bit v / 255, 16-bit v / 32768 (exactly v × 1/32768), float as is.
template <class Channel>
float UnitValue(Channel c) {
    if constexpr (std::is_same_v<Channel, float>) {
        return c;
    } else {
        return static_cast<float>(c) / static_cast<float>(FullValue<Channel>());
    }
}

// A double result as a channel. Integer channels truncate toward zero after
// clamping to 0 … full value (NaN becomes 0): out-of-range input (16-bit
// channels above 32768) or a damaged colour must neither wrap nor reach an
// undefined conversion. Valid results already lie in 0 … full value and are
// unaffected. Float channels are stored as floats.
template <class Channel>
Channel ChannelFromDouble(double v) {
    if constexpr (std::is_same_v<Channel, float>) {
        return static_cast<float>(v);
    } else {
        constexpr double kFull = FullValue<Channel>();
        if (!(v > 0.0)) {
            return 0;
        }
        if (v >= kFull) {
            return static_cast<Channel>(kFull);
        }
        return static_cast<Channel>(v);
    }
}

}  // namespace tarsivel

#endif
