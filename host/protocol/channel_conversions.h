// Every conversion of one channel value between the host's pixel depths and
// the PNG file depths, written once. Worlds hold straight (unpremultiplied)
// alpha, so channels convert independently. 16-bit worlds use 32768 as full
// value; 16-bit PNG files use 65535.
#ifndef TARSIVEL_HOST_PROTOCOL_CHANNEL_CONVERSIONS_H
#define TARSIVEL_HOST_PROTOCOL_CHANNEL_CONVERSIONS_H

#include <cstdint>
#include <type_traits>

namespace tarsivel::host {

inline constexpr uint32_t kFull16 = 32768;

// Between world depths. Same-type overloads are the identity so that world
// copies can be written once for every pair of depths.
inline uint8_t ToChannel8(uint8_t v) {
    return v;
}
uint8_t ToChannel8(uint16_t c);   // (c × 255 + 16384) / 32768, at most 255
uint8_t ToChannel8(float f);      // clamp to 0..1, × 255, nearest
uint16_t ToChannel16(uint8_t v);  // (v × 32768 + 127) / 255
inline uint16_t ToChannel16(uint16_t c) {
    return c;
}
uint16_t ToChannel16(float f);     // clamp to 0..1, × 32768, nearest
float ToChannelFloat(uint8_t v);   // v / 255
float ToChannelFloat(uint16_t c);  // c / 32768
inline float ToChannelFloat(float f) {
    return f;
}

// From a 16-bit PNG sample w (0 … 65535) into a world.
uint8_t Png16ToChannel8(uint16_t w);    // (w × 255 + 32767) / 65535
uint16_t Png16ToChannel16(uint16_t w);  // (w × 32768 + 32767) / 65535
float Png16ToChannelFloat(uint16_t w);  // w / 65535

// From a world into a 16-bit PNG sample.
uint16_t Channel8ToPng16(uint8_t v);    // v × 257
uint16_t Channel16ToPng16(uint16_t c);  // (c × 65535 + 16384) / 32768, at most 65535
uint16_t ChannelFloatToPng16(float f);  // clamp to 0..1, × 65535, nearest

// One channel from any world depth to the world depth `Dst`.
template <class Dst, class Src>
Dst ConvertChannel(Src v) {
    if constexpr (std::is_same_v<Dst, uint8_t>) {
        return ToChannel8(v);
    } else if constexpr (std::is_same_v<Dst, uint16_t>) {
        return ToChannel16(v);
    } else {
        static_assert(std::is_same_v<Dst, float>);
        return ToChannelFloat(v);
    }
}

}  // namespace tarsivel::host

#endif
