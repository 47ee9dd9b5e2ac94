#include "host/images/png_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "host/images/file_bytes.h"
#include "host/images/png_codec.h"
#include "host/protocol/channel_conversions.h"

namespace tarsivel::host {
namespace {

// The codec this build reads and writes with.
#if defined(TARSIVEL_PORTABLE_PNG)
namespace codec = portable_codec;
#else
namespace codec = libpng_codec;
#endif

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw std::runtime_error("cannot open " + path + ": it is a folder");
    }
    File file(std::fopen(path.c_str(), mode));
    if (!file) {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
    return file;
}

// 16-bit samples are big-endian in the file.
uint16_t Sample16(const uint8_t* bytes) {
    return static_cast<uint16_t>((uint32_t{bytes[0]} << 8) | bytes[1]);
}

void PutSample16(uint8_t* bytes, uint16_t w) {
    bytes[0] = static_cast<uint8_t>(w >> 8);
    bytes[1] = static_cast<uint8_t>(w & 0xFFu);
}

// File order is R, G, B, A; world order is A, R, G, B.
constexpr int kWorldChannelOfFileChannel[4] = {1, 2, 3, 0};

template <class Channel>
void StoreChannel(uint8_t* worldRow, int32_t index, Channel c) {
    std::memcpy(worldRow + static_cast<size_t>(index) * sizeof c, &c, sizeof c);
}

template <class Channel>
Channel LoadChannel(const uint8_t* worldRow, int32_t index) {
    Channel c;
    std::memcpy(&c, worldRow + static_cast<size_t>(index) * sizeof c, sizeof c);
    return c;
}

template <class Channel>
void DecodeRow(const uint8_t* fileRow, int bitDepth, int32_t width, uint8_t* worldRow) {
    for (int32_t x = 0; x < width; ++x) {
        for (int f = 0; f < 4; ++f) {
            const int32_t target = x * 4 + kWorldChannelOfFileChannel[f];
            const int32_t sample = x * 4 + f;
            if (bitDepth == 8) {
                StoreChannel(worldRow, target, ConvertChannel<Channel>(fileRow[sample]));
            } else {
                const uint16_t w = Sample16(fileRow + sample * 2);
                if constexpr (std::is_same_v<Channel, uint8_t>) {
                    StoreChannel(worldRow, target, Png16ToChannel8(w));
                } else if constexpr (std::is_same_v<Channel, uint16_t>) {
                    StoreChannel(worldRow, target, Png16ToChannel16(w));
                } else {
                    StoreChannel(worldRow, target, Png16ToChannelFloat(w));
                }
            }
        }
    }
}

template <class Channel>
void EncodeRow(const uint8_t* worldRow, int bitDepth, int32_t width, uint8_t* fileRow) {
    for (int32_t x = 0; x < width; ++x) {
        for (int f = 0; f < 4; ++f) {
            const Channel c = LoadChannel<Channel>(worldRow, x * 4 + kWorldChannelOfFileChannel[f]);
            const int32_t sample = x * 4 + f;
            if (bitDepth == 8) {
                fileRow[sample] = ConvertChannel<uint8_t>(c);
            } else if constexpr (std::is_same_v<Channel, uint8_t>) {
                PutSample16(fileRow + sample * 2, Channel8ToPng16(c));
            } else if constexpr (std::is_same_v<Channel, uint16_t>) {
                PutSample16(fileRow + sample * 2, Channel16ToPng16(c));
            } else {
                PutSample16(fileRow + sample * 2, ChannelFloatToPng16(c));
            }
        }
    }
}

void DecodeInto(ImageWorld& world, const std::vector<uint8_t>& pixels, size_t rowbytes,
                int bitDepth) {
    for (int32_t y = 0; y < world.Height(); ++y) {
        const uint8_t* fileRow = pixels.data() + static_cast<size_t>(y) * rowbytes;
        switch (world.Depth()) {
            case PixelDepth::k8:
                DecodeRow<uint8_t>(fileRow, bitDepth, world.Width(), world.Row(y));
                break;
            case PixelDepth::k16:
                DecodeRow<uint16_t>(fileRow, bitDepth, world.Width(), world.Row(y));
                break;
            case PixelDepth::k32:
                DecodeRow<float>(fileRow, bitDepth, world.Width(), world.Row(y));
                break;
        }
    }
}

uint32_t BigEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
           uint32_t(bytes[3]);
}

// Compares the size in the file's first chunk, which the format puts first,
// with `required`, and rewinds. libpng would check the chunk's CRC and read on
// to the pixels before telling the size. A file that does not start like a
// PNG is left to libpng to refuse.
void RequireHeaderSize(std::FILE* file, const std::string& path, const int32_t* required) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t head[24] = {};
    const bool read = std::fread(head, 1, sizeof head, file) == sizeof head;
    std::rewind(file);
    if (!read || std::memcmp(head, kSignature, sizeof kSignature) != 0 ||
        std::memcmp(head + 12, "IHDR", 4) != 0) {
        return;
    }
    const uint32_t width = BigEndian32(head + 16);
    const uint32_t height = BigEndian32(head + 20);
    if (width != uint32_t(required[0]) || height != uint32_t(required[1])) {
        throw PngSizeError(path, width, height, required[0], required[1]);
    }
}

// `required`: the width and height the file must have, or null for any.
std::unique_ptr<ImageWorld> ReadChecked(const std::string& path, PixelDepth depth,
                                        int32_t rowPaddingBytes, const int32_t* required) {
    File file = Open(path, "rb");
    if (required != nullptr) {
        RequireHeaderSize(file.get(), path, required);
    }
    const PngRgba image = codec::Decode(file.get(), path);
    const size_t rowbytes = size_t{image.width} * 4 * size_t(image.bitDepth / 8);
    auto world =
        std::make_unique<ImageWorld>(static_cast<int32_t>(image.width),
                                     static_cast<int32_t>(image.height), depth, rowPaddingBytes);
    DecodeInto(*world, image.pixels, rowbytes, image.bitDepth);
    return world;
}

}  // namespace

std::unique_ptr<ImageWorld> ReadPng(const std::string& path, PixelDepth depth,
                                    int32_t rowPaddingBytes) {
    return ReadChecked(path, depth, rowPaddingBytes, nullptr);
}

std::unique_ptr<ImageWorld> ReadPngOfSize(const std::string& path, PixelDepth depth, int32_t width,
                                          int32_t height) {
    const int32_t required[2] = {width, height};
    return ReadChecked(path, depth, 16, required);
}

std::vector<uint8_t> EncodePng(const ImageWorld& world, int bitsPerChannel) {
    if (bitsPerChannel != 8 && bitsPerChannel != 16) {
        throw std::invalid_argument("PNG files hold 8 or 16 bits a channel");
    }
    const size_t rowbytes = static_cast<size_t>(world.Width()) * 4 * size_t(bitsPerChannel / 8);
    std::vector<uint8_t> pixels(rowbytes * static_cast<size_t>(world.Height()));
    for (int32_t y = 0; y < world.Height(); ++y) {
        uint8_t* fileRow = pixels.data() + static_cast<size_t>(y) * rowbytes;
        switch (world.Depth()) {
            case PixelDepth::k8:
                EncodeRow<uint8_t>(world.Row(y), bitsPerChannel, world.Width(), fileRow);
                break;
            case PixelDepth::k16:
                EncodeRow<uint16_t>(world.Row(y), bitsPerChannel, world.Width(), fileRow);
                break;
            case PixelDepth::k32:
                EncodeRow<float>(world.Row(y), bitsPerChannel, world.Width(), fileRow);
                break;
        }
    }
    return codec::Encode(pixels, static_cast<uint32_t>(world.Width()),
                         static_cast<uint32_t>(world.Height()), bitsPerChannel);
}

void WritePng(const ImageWorld& world, const std::string& path, int bitsPerChannel) {
    WriteFileBytes(path, EncodePng(world, bitsPerChannel));
}

}  // namespace tarsivel::host
