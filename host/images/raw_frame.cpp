#include "host/images/raw_frame.h"

#include "host/images/file_bytes.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tarsivel::host {
namespace {

constexpr std::array<char, 4> kMagic = {'T', 'R', 'A', 'W'};
constexpr std::size_t kHeaderBytes = 20;
// Far beyond any frame the host renders; keeps a corrupt header from asking
// for an absurd allocation.
constexpr uint32_t kMaxSide = 1u << 16;

void PutLe32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = uint8_t(v >> (8 * i));
    }
}

uint32_t GetLe32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

std::runtime_error Fault(const std::string& path, const std::string& why) {
    return std::runtime_error(path + ": " + why);
}

PixelDepth DepthFromHeader(uint32_t bits, uint32_t format, const std::string& path) {
    if (bits != 8 && bits != 16 && bits != 32) {
        throw Fault(path, "raw frame of " + std::to_string(bits) + " bits per channel");
    }
    const auto depth = PixelDepth(bits);
    if (format != uint32_t(FormatOf(depth))) {
        throw Fault(path, "raw frame's pixel format does not match its depth");
    }
    return depth;
}

}  // namespace

bool IsRawFramePath(const std::string& path) {
    return std::filesystem::path(path).extension() == ".raw";
}

std::vector<uint8_t> EncodeRawFrame(const ImageWorld& world) {
    const auto rowBytes = std::size_t(int64_t{world.Width()} * BytesPerPixel(world.Depth()));
    std::vector<uint8_t> bytes(kHeaderBytes + rowBytes * std::size_t(world.Height()));
    std::memcpy(bytes.data(), kMagic.data(), kMagic.size());
    PutLe32(&bytes[4], uint32_t(world.Width()));
    PutLe32(&bytes[8], uint32_t(world.Height()));
    PutLe32(&bytes[12], uint32_t(world.Depth()));
    PutLe32(&bytes[16], uint32_t(world.Format()));
    // Both supported platforms are little-endian, so each row's bytes are
    // the file's bytes.
    for (int32_t y = 0; y < world.Height(); ++y) {
        std::memcpy(&bytes[kHeaderBytes + rowBytes * std::size_t(y)], world.Row(y), rowBytes);
    }
    return bytes;
}

void WriteRawFrame(const ImageWorld& world, const std::string& path) {
    WriteFileBytes(path, EncodeRawFrame(world));
}

std::unique_ptr<ImageWorld> ReadRawFrame(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Fault(path, "cannot open the raw frame");
    }
    std::array<uint8_t, kHeaderBytes> header{};
    in.read(reinterpret_cast<char*>(header.data()), std::streamsize(header.size()));
    if (in.gcount() != std::streamsize(header.size()) ||
        std::memcmp(header.data(), kMagic.data(), kMagic.size()) != 0) {
        throw Fault(path, "not a raw frame");
    }
    const uint32_t width = GetLe32(&header[4]);
    const uint32_t height = GetLe32(&header[8]);
    const PixelDepth depth = DepthFromHeader(GetLe32(&header[12]), GetLe32(&header[16]), path);
    if (width > kMaxSide || height > kMaxSide) {
        throw Fault(path, "raw frame of " + std::to_string(width) + " × " + std::to_string(height) +
                              " pixels");
    }
    const uint64_t rowBytes = uint64_t{width} * uint64_t(BytesPerPixel(depth));
    in.seekg(0, std::ios::end);
    const auto fileBytes = uint64_t(in.tellg());
    if (fileBytes != kHeaderBytes + rowBytes * height) {
        throw Fault(path, "raw frame holds " + std::to_string(fileBytes) +
                              " bytes, its header says " +
                              std::to_string(kHeaderBytes + rowBytes * height));
    }
    in.seekg(std::streamoff(kHeaderBytes));
    auto world = std::make_unique<ImageWorld>(int32_t(width), int32_t(height), depth);
    for (int32_t y = 0; y < world->Height(); ++y) {
        in.read(reinterpret_cast<char*>(world->Row(y)), std::streamsize(rowBytes));
    }
    if (!in) {
        throw Fault(path, "cannot read the raw frame");
    }
    return world;
}

}  // namespace tarsivel::host
