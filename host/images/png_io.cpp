#include "host/images/png_io.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "host/images/file_bytes.h"
#include "host/protocol/channel_conversions.h"

namespace tarsivel::host {
namespace {

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

// libpng reports errors by longjmp. Every function that sets the jump point
// holds only trivially destructible locals, so no C++ destructor is skipped.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    size_t rowbytes = 0;
};

bool ReadHeaderExpandedToRgba(png_structp png, png_infop info, std::FILE* file, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    const bool transparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (transparencyChunk) {
        png_set_tRNS_to_alpha(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !transparencyChunk) {
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->rowbytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadImage(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

void AppendBytes(png_structp png, png_bytep data, size_t length) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

void FlushNothing(png_structp) {}

bool WriteImage(png_structp png, png_infop info, std::vector<uint8_t>* bytes, png_uint_32 width,
                png_uint_32 height, int bitDepth, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, bytes, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

// libpng's message of the last error, kept for the exception rather than
// printed; warnings are dropped.
struct PngMessage {
    char text[128] = "";
};

void KeepErrorAndJump(png_structp png, png_const_charp message) {
    auto* kept = static_cast<PngMessage*>(png_get_error_ptr(png));
    std::snprintf(kept->text, sizeof kept->text, "%s", message);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

enum class PngMode { kRead, kWrite };

// libpng's two records for one file, destroyed on every path.
class PngStructs {
  public:
    explicit PngStructs(PngMode mode) : mode_(mode) {
        png_ = mode == PngMode::kRead ? png_create_read_struct(PNG_LIBPNG_VER_STRING, &message_,
                                                               KeepErrorAndJump, IgnoreWarning)
                                      : png_create_write_struct(PNG_LIBPNG_VER_STRING, &message_,
                                                                KeepErrorAndJump, IgnoreWarning);
        info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    }
    ~PngStructs() {
        if (mode_ == PngMode::kRead) {
            png_destroy_read_struct(&png_, &info_, nullptr);
        } else {
            png_destroy_write_struct(&png_, &info_);
        }
    }
    PngStructs(const PngStructs&) = delete;
    PngStructs& operator=(const PngStructs&) = delete;

    bool Valid() const { return info_ != nullptr; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }
    std::string Message() const { return message_.text; }

  private:
    PngMode mode_;
    PngMessage message_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

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

std::vector<png_bytep> RowPointers(std::vector<uint8_t>& pixels, size_t rowbytes, size_t rows) {
    std::vector<png_bytep> pointers(rows);
    for (size_t y = 0; y < rows; ++y) {
        pointers[y] = pixels.data() + y * rowbytes;
    }
    return pointers;
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
    PngStructs structs(PngMode::kRead);
    if (!structs.Valid()) {
        throw std::runtime_error("cannot read " + path + ": out of memory");
    }
    PngHeader header;
    if (!ReadHeaderExpandedToRgba(structs.Png(), structs.Info(), file.get(), &header)) {
        throw std::runtime_error("cannot read " + path + ": " + structs.Message());
    }
    const size_t samples = size_t{4} * (header.bitDepth == 16 ? 2 : 1);
    if ((header.bitDepth != 8 && header.bitDepth != 16) ||
        header.rowbytes != header.width * samples || header.width > 0x7FFFFFu ||
        header.height > 0x7FFFFFu) {
        throw std::runtime_error("cannot read " + path + ": unsupported layout");
    }
    std::vector<uint8_t> pixels(header.rowbytes * header.height);
    std::vector<png_bytep> rows = RowPointers(pixels, header.rowbytes, header.height);
    if (!ReadImage(structs.Png(), structs.Info(), rows.data())) {
        throw std::runtime_error("cannot read " + path + ": " + structs.Message());
    }
    auto world =
        std::make_unique<ImageWorld>(static_cast<int32_t>(header.width),
                                     static_cast<int32_t>(header.height), depth, rowPaddingBytes);
    DecodeInto(*world, pixels, header.rowbytes, header.bitDepth);
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
    std::vector<png_bytep> rows = RowPointers(pixels, rowbytes, size_t(world.Height()));
    std::vector<uint8_t> bytes;
    PngStructs structs(PngMode::kWrite);
    if (!structs.Valid() ||
        !WriteImage(structs.Png(), structs.Info(), &bytes, static_cast<png_uint_32>(world.Width()),
                    static_cast<png_uint_32>(world.Height()), bitsPerChannel, rows.data())) {
        throw std::runtime_error("cannot encode a PNG image: " + structs.Message());
    }
    return bytes;
}

void WritePng(const ImageWorld& world, const std::string& path, int bitsPerChannel) {
    WriteFileBytes(path, EncodePng(world, bitsPerChannel));
}

}  // namespace tarsivel::host
