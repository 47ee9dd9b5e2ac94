#include "host/protocol/channel_conversions.h"

#include <cmath>

namespace tarsivel::host {
namespace {

// Clamps to 0..1 (NaN to 0), scales and rounds to nearest.
uint32_t ScaleUnit(float f, double scale) {
    const double v = static_cast<double>(f);
    if (!(v > 0.0)) {
        return 0;
    }
    if (v >= 1.0) {
        return static_cast<uint32_t>(scale);
    }
    return static_cast<uint32_t>(std::lround(v * scale));
}

uint32_t AtMost(uint32_t v, uint32_t limit) {
    return v < limit ? v : limit;
}

}  // namespace

uint8_t ToChannel8(uint16_t c) {
    return static_cast<uint8_t>(AtMost((uint32_t{c} * 255u + 16384u) / kFull16, 255u));
}

uint8_t ToChannel8(float f) {
    return static_cast<uint8_t>(ScaleUnit(f, 255.0));
}

uint16_t ToChannel16(uint8_t v) {
    return static_cast<uint16_t>((uint32_t{v} * kFull16 + 127u) / 255u);
}

uint16_t ToChannel16(float f) {
    return static_cast<uint16_t>(ScaleUnit(f, 32768.0));
}

float ToChannelFloat(uint8_t v) {
    return static_cast<float>(double(v) / 255.0);
}

float ToChannelFloat(uint16_t c) {
    return static_cast<float>(double(c) / 32768.0);
}

uint8_t Png16ToChannel8(uint16_t w) {
    return static_cast<uint8_t>((uint32_t{w} * 255u + 32767u) / 65535u);
}

uint16_t Png16ToChannel16(uint16_t w) {
    return static_cast<uint16_t>((uint32_t{w} * kFull16 + 32767u) / 65535u);
}

float Png16ToChannelFloat(uint16_t w) {
    return static_cast<float>(double(w) / 65535.0);
}

uint16_t Channel8ToPng16(uint8_t v) {
    return static_cast<uint16_t>(uint32_t{v} * 257u);
}

uint16_t Channel16ToPng16(uint16_t c) {
    // Samples above 32768 are out of range; they saturate rather than wrap.
    const uint32_t scaled = (uint32_t{c} * 65535u + 16384u) / kFull16;
    return static_cast<uint16_t>(scaled < 65535u ? scaled : 65535u);
}

uint16_t ChannelFloatToPng16(float f) {
    return static_cast<uint16_t>(ScaleUnit(f, 65535.0));
}

}  // namespace tarsivel::host
