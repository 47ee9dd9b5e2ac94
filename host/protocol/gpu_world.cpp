#include "host/protocol/gpu_world.h"

#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

#include "host/protocol/image_world.h"
#include "host/protocol/world_registry.h"

namespace tarsivel::host {
namespace {

constexpr int32_t kBytesPerPixel = 16;

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<const PF_EffectWorld*, void*>& MemoryTable() {
    static std::map<const PF_EffectWorld*, void*> table;
    return table;
}

}  // namespace

GpuWorld::GpuWorld(int32_t width, int32_t height, int32_t rowPaddingBytes) {
    if (width < 0 || height < 0 || rowPaddingBytes < 0) {
        throw std::invalid_argument("GpuWorld: negative size");
    }
    const int32_t paddingPixels = (rowPaddingBytes + kBytesPerPixel - 1) / kBytesPerPixel;
    world_.width = width;
    world_.height = height;
    world_.rowbytes = (width + paddingPixels) * kBytesPerPixel;
    // data stays null: a GPU world's pixels are reached through the GPU suite.
    FillWorldRecord(world_, false);
}

GpuWorld::~GpuWorld() {
    Detach();
}

std::size_t GpuWorld::ByteSize() const {
    // Never zero: every framework refuses an empty allocation.
    const std::size_t rows = static_cast<std::size_t>(world_.height) + kGuardRows;
    const std::size_t bytes = rows * static_cast<std::size_t>(world_.rowbytes);
    return bytes > 0 ? bytes : kBytesPerPixel;
}

void GpuWorld::Attach(void* deviceMemory) {
    deviceMemory_ = deviceMemory;
    {
        std::lock_guard lock(TableMutex());
        MemoryTable()[&world_] = deviceMemory;
    }
    RegisterWorld(&world_, PF_PixelFormat_GPU_BGRA128);
}

void GpuWorld::Detach() {
    if (deviceMemory_ == nullptr) {
        return;
    }
    UnregisterWorld(&world_);
    std::lock_guard lock(TableMutex());
    MemoryTable().erase(&world_);
    deviceMemory_ = nullptr;
}

std::vector<uint8_t> GpuWorld::GuardedImage() const {
    return std::vector<uint8_t>(ByteSize(), kGuardByte);
}

void GpuWorld::StorePixel(std::vector<uint8_t>& bytes, std::size_t offset, BgraPixel pixel) {
    const float channels[4] = {pixel.blue, pixel.green, pixel.red, pixel.alpha};
    std::memcpy(bytes.data() + offset, channels, sizeof channels);
}

void GpuWorld::Upload(const ImageWorld& image) {
    if (image.Width() != Width() || image.Height() != Height()) {
        throw std::invalid_argument("GpuWorld::Upload: size differs");
    }
    std::vector<uint8_t> bytes = GuardedImage();
    for (int32_t y = 0; y < Height(); ++y) {
        for (int32_t x = 0; x < Width(); ++x) {
            const PF_PixelFloat p = image.ReadFloat(x, y);
            const std::size_t offset = static_cast<std::size_t>(y) * Rowbytes() +
                                       static_cast<std::size_t>(x) * kBytesPerPixel;
            StorePixel(bytes, offset, BgraPixel{p.blue, p.green, p.red, p.alpha});
        }
    }
    WriteBytes(bytes);
}

void GpuWorld::Fill(BgraPixel pixel) {
    std::vector<uint8_t> bytes = GuardedImage();
    for (int32_t y = 0; y < Height(); ++y) {
        for (int32_t x = 0; x < Width(); ++x) {
            StorePixel(bytes,
                       static_cast<std::size_t>(y) * Rowbytes() +
                           static_cast<std::size_t>(x) * kBytesPerPixel,
                       pixel);
        }
    }
    WriteBytes(bytes);
}

std::vector<BgraPixel> GpuWorld::ReadPixels() const {
    const std::vector<uint8_t> bytes = ReadBytes();
    std::vector<BgraPixel> pixels(static_cast<std::size_t>(Width()) * Height());
    for (int32_t y = 0; y < Height(); ++y) {
        std::memcpy(&pixels[static_cast<std::size_t>(y) * Width()],
                    bytes.data() + static_cast<std::size_t>(y) * Rowbytes(),
                    static_cast<std::size_t>(Width()) * kBytesPerPixel);
    }
    return pixels;
}

void GpuWorld::Download(ImageWorld& image) const {
    if (image.Width() != Width() || image.Height() != Height()) {
        throw std::invalid_argument("GpuWorld::Download: size differs");
    }
    const std::vector<BgraPixel> pixels = ReadPixels();
    for (int32_t y = 0; y < Height(); ++y) {
        for (int32_t x = 0; x < Width(); ++x) {
            const BgraPixel& p = pixels[static_cast<std::size_t>(y) * Width() + x];
            image.WriteFloat(x, y, PF_PixelFloat{p.alpha, p.red, p.green, p.blue});
        }
    }
}

bool GpuWorld::PaddingIntact() const {
    const std::vector<uint8_t> bytes = ReadBytes();
    const std::size_t rowPixelsBytes = static_cast<std::size_t>(Width()) * kBytesPerPixel;
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        const std::size_t row = offset / static_cast<std::size_t>(Rowbytes() > 0 ? Rowbytes() : 1);
        const std::size_t column =
            offset % static_cast<std::size_t>(Rowbytes() > 0 ? Rowbytes() : 1);
        const bool isPixel = row < static_cast<std::size_t>(Height()) && column < rowPixelsBytes;
        if (!isPixel && bytes[offset] != kGuardByte) {
            return false;
        }
    }
    return true;
}

void* GpuWorldMemory(const PF_EffectWorld* world) {
    std::lock_guard lock(TableMutex());
    auto it = MemoryTable().find(world);
    return it == MemoryTable().end() ? nullptr : it->second;
}

}  // namespace tarsivel::host
