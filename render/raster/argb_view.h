// A plain view of an ARGB pixel buffer: rows `rowbytes` apart, four channels
// of type Channel (uint8_t, uint16_t or float) a pixel from each row's start.
// Channels are read and written byte-wise, so rows need neither be packed nor
// aligned to the channel size.
#ifndef TARSIVEL_RENDER_RASTER_ARGB_VIEW_H
#define TARSIVEL_RENDER_RASTER_ARGB_VIEW_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarsivel {

enum ArgbChannel : int32_t { kAlpha = 0, kRed = 1, kGreen = 2, kBlue = 3 };

template <class Channel>
struct ArgbView {
    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    std::ptrdiff_t rowbytes = 0;

    bool Empty() const { return data == nullptr || width <= 0 || height <= 0; }

    uint8_t* ChannelAddress(int32_t column, int32_t row, ArgbChannel channel) const {
        return data + static_cast<std::ptrdiff_t>(row) * rowbytes +
               (static_cast<std::ptrdiff_t>(column) * 4 + channel) *
                   static_cast<std::ptrdiff_t>(sizeof(Channel));
    }

    Channel Load(int32_t column, int32_t row, ArgbChannel channel) const {
        Channel value;
        std::memcpy(&value, ChannelAddress(column, row, channel), sizeof value);
        return value;
    }

    void Store(int32_t column, int32_t row, ArgbChannel channel, Channel value) const {
        std::memcpy(ChannelAddress(column, row, channel), &value, sizeof value);
    }
};

}  // namespace tarsivel

#endif
