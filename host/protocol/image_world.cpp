#include "host/protocol/image_world.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "host/protocol/channel_conversions.h"
#include "host/protocol/world_block_copy.h"
#include "host/protocol/world_registry.h"

namespace tarsivel::host {
namespace {

// Differs from byte to byte and row to row, so a shifted or partial overwrite
// never reproduces it by accident.
uint8_t GuardByte(int32_t row, int32_t offset) {
    return static_cast<uint8_t>(0xA5u ^ static_cast<uint32_t>(row * 31 + offset * 7));
}

int32_t CheckedRowbytes(int32_t width, int32_t height, PixelDepth depth, int32_t padding) {
    if (width < 0 || height < 0 || padding < 0) {
        throw std::invalid_argument("image world: negative size or padding");
    }
    const int64_t rowbytes = int64_t{width} * BytesPerPixel(depth) + padding;
    if (rowbytes > std::numeric_limits<int32_t>::max()) {
        throw std::invalid_argument("image world: rows too long");
    }
    return static_cast<int32_t>(rowbytes);
}

template <class Channel>
PF_PixelFloat ReadAs(const uint8_t* pixel) {
    Channel c[4];
    std::memcpy(c, pixel, sizeof c);
    return PF_PixelFloat{ConvertChannel<float>(c[0]), ConvertChannel<float>(c[1]),
                         ConvertChannel<float>(c[2]), ConvertChannel<float>(c[3])};
}

template <class Channel>
void WriteAs(uint8_t* pixel, PF_PixelFloat p) {
    const Channel c[4] = {ConvertChannel<Channel>(p.alpha), ConvertChannel<Channel>(p.red),
                          ConvertChannel<Channel>(p.green), ConvertChannel<Channel>(p.blue)};
    std::memcpy(pixel, c, sizeof c);
}

}  // namespace

int32_t BytesPerPixel(PixelDepth depth) {
    switch (depth) {
        case PixelDepth::k8:
            return 4;
        case PixelDepth::k16:
            return 8;
        case PixelDepth::k32:
            return 16;
    }
    return 4;
}

PF_PixelFormat FormatOf(PixelDepth depth) {
    switch (depth) {
        case PixelDepth::k8:
            return PF_PixelFormat_ARGB32;
        case PixelDepth::k16:
            return PF_PixelFormat_ARGB64;
        case PixelDepth::k32:
            return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

std::optional<PixelDepth> DepthOf(PF_PixelFormat format) {
    switch (format) {
        case PF_PixelFormat_ARGB32:
            return PixelDepth::k8;
        case PF_PixelFormat_ARGB64:
            return PixelDepth::k16;
        case PF_PixelFormat_ARGB128:
            return PixelDepth::k32;
        default:
            return std::nullopt;
    }
}

void FillWorldRecord(PF_EffectWorld& world, bool deep) {
    world.extent_hint = PF_UnionableRect{0, 0, world.width, world.height};
    world.pix_aspect_ratio = PF_RationalScale{1, 1};
    world.origin_x = 0;
    world.origin_y = 0;
    world.platform_ref = nullptr;
    world.world_flags = deep ? PF_WorldFlag_DEEP : 0;
}

ImageWorld::ImageWorld(int32_t width, int32_t height, PixelDepth depth, int32_t rowPaddingBytes)
    : depth_(depth) {
    const int32_t rowbytes = CheckedRowbytes(width, height, depth, rowPaddingBytes);
    // One byte more than the rows need, so that data() is never null.
    storage_.assign(static_cast<size_t>(rowbytes) * static_cast<size_t>(height) + 1, 0);
    world_.width = width;
    world_.height = height;
    world_.rowbytes = rowbytes;
    world_.data = reinterpret_cast<PF_PixelPtr>(storage_.data());
    FillWorldRecord(world_, depth == PixelDepth::k16);
    WriteGuard();
    RegisterWorld(&world_, FormatOf(depth_));
}

ImageWorld::~ImageWorld() {
    UnregisterWorld(&world_);
}

uint8_t* ImageWorld::Row(int32_t y) {
    return storage_.data() + static_cast<size_t>(y) * static_cast<size_t>(world_.rowbytes);
}

const uint8_t* ImageWorld::Row(int32_t y) const {
    return storage_.data() + static_cast<size_t>(y) * static_cast<size_t>(world_.rowbytes);
}

void ImageWorld::WriteGuard() {
    const int32_t used = world_.width * BytesPerPixel(depth_);
    for (int32_t y = 0; y < world_.height; ++y) {
        for (int32_t offset = used; offset < world_.rowbytes; ++offset) {
            Row(y)[offset] = GuardByte(y, offset);
        }
    }
}

bool ImageWorld::PaddingIntact() const {
    const int32_t used = world_.width * BytesPerPixel(depth_);
    for (int32_t y = 0; y < world_.height; ++y) {
        for (int32_t offset = used; offset < world_.rowbytes; ++offset) {
            if (Row(y)[offset] != GuardByte(y, offset)) {
                return false;
            }
        }
    }
    return true;
}

uint8_t* ImageWorld::PixelAt(int32_t x, int32_t y) {
    return Row(y) + static_cast<size_t>(x) * size_t(BytesPerPixel(depth_));
}

const uint8_t* ImageWorld::PixelAt(int32_t x, int32_t y) const {
    return Row(y) + static_cast<size_t>(x) * size_t(BytesPerPixel(depth_));
}

PF_PixelFloat ImageWorld::ReadFloat(int32_t x, int32_t y) const {
    const uint8_t* pixel = PixelAt(x, y);
    switch (depth_) {
        case PixelDepth::k8:
            return ReadAs<uint8_t>(pixel);
        case PixelDepth::k16:
            return ReadAs<uint16_t>(pixel);
        case PixelDepth::k32:
            return ReadAs<float>(pixel);
    }
    return {};
}

void ImageWorld::WriteFloat(int32_t x, int32_t y, PF_PixelFloat p) {
    uint8_t* pixel = PixelAt(x, y);
    switch (depth_) {
        case PixelDepth::k8:
            WriteAs<uint8_t>(pixel, p);
            break;
        case PixelDepth::k16:
            WriteAs<uint16_t>(pixel, p);
            break;
        case PixelDepth::k32:
            WriteAs<float>(pixel, p);
            break;
    }
}

template <class Pixel>
Pixel ImageWorld::ReadRaw(int32_t x, int32_t y) const {
    RequireRawDepth<Pixel>();
    Pixel p;
    std::memcpy(&p, PixelAt(x, y), sizeof p);
    return p;
}

template <class Pixel>
void ImageWorld::WriteRaw(int32_t x, int32_t y, Pixel p) {
    RequireRawDepth<Pixel>();
    std::memcpy(PixelAt(x, y), &p, sizeof p);
}

template <class Pixel>
void ImageWorld::RequireRawDepth() const {
    constexpr bool eight = std::is_same_v<Pixel, PF_Pixel>;
    static_assert(eight || std::is_same_v<Pixel, PF_Pixel16>);
    if (depth_ != (eight ? PixelDepth::k8 : PixelDepth::k16)) {
        throw std::logic_error(eight ? "image world: not an 8-bit world"
                                     : "image world: not a 16-bit world");
    }
}

PF_Pixel ImageWorld::Read8(int32_t x, int32_t y) const {
    return ReadRaw<PF_Pixel>(x, y);
}

void ImageWorld::Write8(int32_t x, int32_t y, PF_Pixel p) {
    WriteRaw(x, y, p);
}

PF_Pixel16 ImageWorld::Read16(int32_t x, int32_t y) const {
    return ReadRaw<PF_Pixel16>(x, y);
}

void ImageWorld::Write16(int32_t x, int32_t y, PF_Pixel16 p) {
    WriteRaw(x, y, p);
}

void ImageWorld::Fill(PF_PixelFloat colour) {
    for (int32_t y = 0; y < world_.height; ++y) {
        for (int32_t x = 0; x < world_.width; ++x) {
            WriteFloat(x, y, colour);
        }
    }
}

void ImageWorld::CopyFrom(const ImageWorld& source) {
    if (source.Width() != Width() || source.Height() != Height()) {
        throw std::invalid_argument("image world: copy between different sizes");
    }
    CopyWorldBlock({source.World(), source.Depth(), 0, 0}, {World(), Depth(), 0, 0}, Width(),
                   Height());
}

}  // namespace tarsivel::host
