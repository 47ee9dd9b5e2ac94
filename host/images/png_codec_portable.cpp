// PNG where libpng is not at hand (the Windows build): stb_image reads every
// kind of PNG file, and the writer, which needs 16-bit samples that
// stb_image's own writer lacks, is a few chunks around zlib's deflate.
#include "host/images/png_codec.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace tarsivel::host::portable_codec {
namespace {

std::vector<uint8_t> ReadAll(std::FILE* file, const std::string& path) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    if (std::ferror(file) != 0) {
        throw std::runtime_error("cannot read " + path + ": a read failed");
    }
    return bytes;
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(v >> shift));
    }
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data,
              std::size_t size) {
    PutBigEndian32(out, static_cast<uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + start, static_cast<uInt>(size + 4));
    PutBigEndian32(out, static_cast<uint32_t>(crc));
}

// Each row behind the filter byte 0 (none), deflated as one stream.
std::vector<uint8_t> Deflated(const std::vector<uint8_t>& pixels, std::size_t rowbytes,
                              uint32_t height) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw std::runtime_error("cannot encode a PNG image: zlib cannot start");
    }
    std::vector<uint8_t> out;
    uint8_t buffer[1 << 16];
    const auto pump = [&](const uint8_t* data, std::size_t size, int flush) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            if (deflate(&z, flush) == Z_STREAM_ERROR) {
                deflateEnd(&z);
                throw std::runtime_error("cannot encode a PNG image: zlib failed");
            }
            out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in > 0));
    };
    static constexpr uint8_t kNoFilter = 0;
    for (uint32_t y = 0; y < height; ++y) {
        pump(&kNoFilter, 1, Z_NO_FLUSH);
        pump(pixels.data() + y * rowbytes, rowbytes, Z_NO_FLUSH);
    }
    pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    return out;
}

}  // namespace

PngRgba Decode(std::FILE* file, const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAll(file, path);
    if (bytes.size() > std::size_t(std::numeric_limits<int>::max())) {
        throw std::runtime_error("cannot read " + path + ": the file is too large");
    }
    const int size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), size, &width, &height, &channels) == 0) {
        throw std::runtime_error("cannot read " + path + ": " + stbi_failure_reason());
    }
    if (uint32_t(width) > kMaxPngSide || uint32_t(height) > kMaxPngSide) {
        throw std::runtime_error("cannot read " + path + ": unsupported layout");
    }
    PngRgba image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.bitDepth = stbi_is_16_bit_from_memory(bytes.data(), size) != 0 ? 16 : 8;
    const std::size_t samples = std::size_t(image.width) * image.height * 4;
    if (image.bitDepth == 16) {
        stbi_us* decoded =
            stbi_load_16_from_memory(bytes.data(), size, &width, &height, &channels, 4);
        if (decoded == nullptr) {
            throw std::runtime_error("cannot read " + path + ": " + stbi_failure_reason());
        }
        // The format's order, big-endian, as the other build hands them over.
        image.pixels.resize(samples * 2);
        for (std::size_t i = 0; i < samples; ++i) {
            image.pixels[2 * i] = static_cast<uint8_t>(decoded[i] >> 8);
            image.pixels[2 * i + 1] = static_cast<uint8_t>(decoded[i] & 0xFFu);
        }
        stbi_image_free(decoded);
    } else {
        stbi_uc* decoded = stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, 4);
        if (decoded == nullptr) {
            throw std::runtime_error("cannot read " + path + ": " + stbi_failure_reason());
        }
        image.pixels.assign(decoded, decoded + samples);
        stbi_image_free(decoded);
    }
    return image;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height,
                            int bitDepth) {
    const std::size_t rowbytes = std::size_t(width) * 4 * std::size_t(bitDepth / 8);
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian32(header, width);
    PutBigEndian32(header, height);
    // Bit depth, colour type 6 (RGBA), deflate, adaptive filtering, no interlace.
    header.insert(header.end(), {static_cast<uint8_t>(bitDepth), 6, 0, 0, 0});
    PutChunk(out, "IHDR", header.data(), header.size());
    const std::vector<uint8_t> data = Deflated(pixels, rowbytes, height);
    constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
    std::size_t at = 0;
    do {
        const std::size_t size = std::min(kMaxChunk, data.size() - at);
        PutChunk(out, "IDAT", data.data() + at, size);
        at += size;
    } while (at < data.size());
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

}  // namespace tarsivel::host::portable_codec
