#include "host/protocol/world_block_copy.h"

#include <cstring>
#include <vector>

#include "host/protocol/channel_conversions.h"

namespace tarsivel::host {
namespace {

uint8_t* PixelAddress(const WorldBlock& block, int32_t x, int32_t y) {
    auto* data = reinterpret_cast<uint8_t*>(block.world->data);
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(block.top + y) * block.world->rowbytes;
    return data + row + static_cast<std::ptrdiff_t>(block.left + x) * BytesPerPixel(block.depth);
}

template <class Src, class Dst>
void ConvertRow(const uint8_t* source, uint8_t* target, int32_t width) {
    const int32_t channels = width * 4;
    for (int32_t c = 0; c < channels; ++c) {
        Src in;
        std::memcpy(&in, source + c * int32_t{sizeof(Src)}, sizeof in);
        const Dst out = ConvertChannel<Dst>(in);
        std::memcpy(target + c * int32_t{sizeof(Dst)}, &out, sizeof out);
    }
}

template <class Src>
void ConvertRowTo(PixelDepth targetDepth, const uint8_t* source, uint8_t* target, int32_t width) {
    switch (targetDepth) {
        case PixelDepth::k8:
            ConvertRow<Src, uint8_t>(source, target, width);
            break;
        case PixelDepth::k16:
            ConvertRow<Src, uint16_t>(source, target, width);
            break;
        case PixelDepth::k32:
            ConvertRow<Src, float>(source, target, width);
            break;
    }
}

void ConvertRowBetween(PixelDepth sourceDepth, PixelDepth targetDepth, const uint8_t* source,
                       uint8_t* target, int32_t width) {
    if (sourceDepth == targetDepth) {
        std::memcpy(target, source,
                    static_cast<size_t>(width) * size_t(BytesPerPixel(sourceDepth)));
        return;
    }
    switch (sourceDepth) {
        case PixelDepth::k8:
            ConvertRowTo<uint8_t>(targetDepth, source, target, width);
            break;
        case PixelDepth::k16:
            ConvertRowTo<uint16_t>(targetDepth, source, target, width);
            break;
        case PixelDepth::k32:
            ConvertRowTo<float>(targetDepth, source, target, width);
            break;
    }
}

}  // namespace

void CopyWorldBlock(const WorldBlock& source, const WorldBlock& target, int32_t width,
                    int32_t height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    // A world copied onto itself: each row passes through a scratch row, and
    // rows are visited from the side the block moves towards, so no source
    // row is overwritten before it is read. Separate worlds convert directly.
    const bool sameWorld = source.world->data == target.world->data;
    const bool upwards = sameWorld && target.top > source.top;
    std::vector<uint8_t> scratch(
        sameWorld ? static_cast<size_t>(width) * size_t(BytesPerPixel(source.depth)) : 0);
    for (int32_t n = 0; n < height; ++n) {
        const int32_t y = upwards ? height - 1 - n : n;
        const uint8_t* row = PixelAddress(source, 0, y);
        if (sameWorld) {
            std::memcpy(scratch.data(), row, scratch.size());
            row = scratch.data();
        }
        ConvertRowBetween(source.depth, target.depth, row, PixelAddress(target, 0, y), width);
    }
}

}  // namespace tarsivel::host
