// A CPU image world owned by the reference host: ARGB pixels at 8, 16 or 32
// bits per channel in padded rows. The padding holds a guard pattern so tests
// can prove that a renderer never writes past width × bytes per pixel.
#ifndef TARSIVEL_HOST_PROTOCOL_IMAGE_WORLD_H
#define TARSIVEL_HOST_PROTOCOL_IMAGE_WORLD_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hostapi/pf_api.h"

namespace tarsivel::host {

enum class PixelDepth { k8 = 8, k16 = 16, k32 = 32 };

int32_t BytesPerPixel(PixelDepth depth);
PF_PixelFormat FormatOf(PixelDepth depth);
// The CPU depth of a format; nothing for GPU and unknown formats.
std::optional<PixelDepth> DepthOf(PF_PixelFormat format);

// The fields of a world record that this host fills the same way for every
// world, CPU or GPU, beside its size, rows and pixels: the extent hint is the
// whole world (this host does not track where the pixels are transparent),
// square pixels, origin 0, no platform reference, the deep flag for 16-bit
// pixels, and reserved fields zero. A render's output is also marked writeable.
void FillWorldRecord(PF_EffectWorld& world, bool deep);

class ImageWorld {
  public:
    // Pixels start transparent black; the world registers itself with its format.
    ImageWorld(int32_t width, int32_t height, PixelDepth depth, int32_t rowPaddingBytes = 16);
    ~ImageWorld();

    // The registry is keyed by address, so a world never moves.
    ImageWorld(const ImageWorld&) = delete;
    ImageWorld& operator=(const ImageWorld&) = delete;
    ImageWorld(ImageWorld&&) = delete;
    ImageWorld& operator=(ImageWorld&&) = delete;

    PF_EffectWorld* World() { return &world_; }
    const PF_EffectWorld* World() const { return &world_; }
    int32_t Width() const { return world_.width; }
    int32_t Height() const { return world_.height; }
    int32_t Rowbytes() const { return world_.rowbytes; }
    PixelDepth Depth() const { return depth_; }
    PF_PixelFormat Format() const { return FormatOf(depth_); }

    // Channels as 0..1 floats: 8-bit v / 255, 16-bit v / 32768, float as stored.
    PF_PixelFloat ReadFloat(int32_t x, int32_t y) const;
    // Float to the world's depth: clamped to 0..1, scaled to 255 or 32768, rounded
    // to nearest; stored as is in a float world.
    void WriteFloat(int32_t x, int32_t y, PF_PixelFloat p);

    // Raw channel access at the world's own depth (8/16-bit only).
    PF_Pixel Read8(int32_t x, int32_t y) const;
    void Write8(int32_t x, int32_t y, PF_Pixel p);
    PF_Pixel16 Read16(int32_t x, int32_t y) const;
    void Write16(int32_t x, int32_t y, PF_Pixel16 p);

    void Fill(PF_PixelFloat colour);
    // Converts from a world of any depth and the same size.
    void CopyFrom(const ImageWorld& source);

    bool PaddingIntact() const;

    uint8_t* Row(int32_t y);
    const uint8_t* Row(int32_t y) const;

  private:
    void WriteGuard();
    uint8_t* PixelAt(int32_t x, int32_t y);
    const uint8_t* PixelAt(int32_t x, int32_t y) const;
    // Raw access for the 8-bit (PF_Pixel) and 16-bit (PF_Pixel16) worlds;
    // throws std::logic_error for a world of another depth.
    template <class Pixel>
    Pixel ReadRaw(int32_t x, int32_t y) const;
    template <class Pixel>
    void WriteRaw(int32_t x, int32_t y, Pixel p);
    template <class Pixel>
    void RequireRawDepth() const;

    PixelDepth depth_;
    std::vector<uint8_t> storage_;
    PF_EffectWorld world_{};
};

}  // namespace tarsivel::host

#endif
