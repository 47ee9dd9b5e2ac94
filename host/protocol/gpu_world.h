// A world in GPU memory, as this host hands one to GPU smart render: BGRA float
// pixels (PF_PixelFormat_GPU_BGRA128) in padded rows, followed by guard rows.
// Padding and guard rows hold a fixed pattern, so a test can prove a kernel
// never wrote outside width × height. Each framework supplies the memory.
#ifndef TARSIVEL_HOST_PROTOCOL_GPU_WORLD_H
#define TARSIVEL_HOST_PROTOCOL_GPU_WORLD_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/protocol/image_world.h"
#include "hostapi/pf_types.h"
#include "hostapi/pf_world.h"

namespace tarsivel::host {

// One GPU pixel in memory order.
struct BgraPixel {
    float blue = 0.0f;
    float green = 0.0f;
    float red = 0.0f;
    float alpha = 0.0f;
};

class GpuWorld {
  public:
    // Rows below the last one that only hold the guard pattern.
    static constexpr int32_t kGuardRows = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

    GpuWorld(const GpuWorld&) = delete;
    GpuWorld& operator=(const GpuWorld&) = delete;
    virtual ~GpuWorld();

    PF_EffectWorld* World() { return &world_; }
    const PF_EffectWorld* World() const { return &world_; }
    int32_t Width() const { return world_.width; }
    int32_t Height() const { return world_.height; }
    int32_t Rowbytes() const { return world_.rowbytes; }
    // The framework's handle to the memory (a cl_mem, or a CUDA device pointer),
    // which GetGPUWorldData hands out.
    void* DeviceMemory() const { return deviceMemory_; }

    // Every pixel from an image world of the same size (any depth), converted to
    // BGRA floats; padding and guard rows are rewritten with the guard pattern.
    void Upload(const ImageWorld& image);
    // Every pixel into an image world of the same size.
    void Download(ImageWorld& image) const;
    // Every pixel set to one colour, padding and guard rows to the pattern.
    void Fill(BgraPixel pixel);

    // The pixels row by row (width × height), waiting for queued work first.
    std::vector<BgraPixel> ReadPixels() const;
    bool PaddingIntact() const;

  protected:
    // `rowPaddingBytes` is rounded up to whole pixels, so the row pitch in pixels
    // is exact.
    GpuWorld(int32_t width, int32_t height, int32_t rowPaddingBytes);

    // Called once by the framework's constructor with its memory, which must hold
    // ByteSize() bytes; registers the world with the host.
    void Attach(void* deviceMemory);
    // Called by the framework's destructor before it frees the memory.
    void Detach();
    std::size_t ByteSize() const;

    virtual void WriteBytes(const std::vector<uint8_t>& bytes) = 0;
    virtual std::vector<uint8_t> ReadBytes() const = 0;

  private:
    std::vector<uint8_t> GuardedImage() const;
    static void StorePixel(std::vector<uint8_t>& bytes, std::size_t offset, BgraPixel pixel);

    PF_EffectWorld world_{};
    void* deviceMemory_ = nullptr;
};

// The device memory behind a live GPU world, or null for any other world.
void* GpuWorldMemory(const PF_EffectWorld* world);

}  // namespace tarsivel::host

#endif
