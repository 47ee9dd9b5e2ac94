// PNG through libpng.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "host/images/png_codec.h"

namespace tarsivel::host::libpng_codec {
namespace {

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

// libpng takes rows as writable pointers even where it only reads them.
std::vector<png_bytep> RowPointers(const std::vector<uint8_t>& pixels, size_t rowbytes,
                                   size_t rows) {
    std::vector<png_bytep> pointers(rows);
    for (size_t y = 0; y < rows; ++y) {
        pointers[y] = const_cast<png_bytep>(pixels.data() + y * rowbytes);
    }
    return pointers;
}

}  // namespace

PngRgba Decode(std::FILE* file, const std::string& path) {
    PngStructs structs(PngMode::kRead);
    if (!structs.Valid()) {
        throw std::runtime_error("cannot read " + path + ": out of memory");
    }
    PngHeader header;
    if (!ReadHeaderExpandedToRgba(structs.Png(), structs.Info(), file, &header)) {
        throw std::runtime_error("cannot read " + path + ": " + structs.Message());
    }
    const size_t samples = size_t{4} * (header.bitDepth == 16 ? 2 : 1);
    if ((header.bitDepth != 8 && header.bitDepth != 16) ||
        header.rowbytes != header.width * samples || header.width > kMaxPngSide ||
        header.height > kMaxPngSide) {
        throw std::runtime_error("cannot read " + path + ": unsupported layout");
    }
    PngRgba image;
    image.width = header.width;
    image.height = header.height;
    image.bitDepth = header.bitDepth;
    image.pixels.resize(header.rowbytes * header.height);
    std::vector<png_bytep> rows = RowPointers(image.pixels, header.rowbytes, header.height);
    if (!ReadImage(structs.Png(), structs.Info(), rows.data())) {
        throw std::runtime_error("cannot read " + path + ": " + structs.Message());
    }
    return image;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height,
                            int bitDepth) {
    const size_t rowbytes = size_t{width} * 4 * size_t(bitDepth / 8);
    std::vector<png_bytep> rows = RowPointers(pixels, rowbytes, height);
    std::vector<uint8_t> bytes;
    PngStructs structs(PngMode::kWrite);
    if (!structs.Valid() ||
        !WriteImage(structs.Png(), structs.Info(), &bytes, width, height, bitDepth, rows.data())) {
        throw std::runtime_error("cannot encode a PNG image: " + structs.Message());
    }
    return bytes;
}

}  // namespace tarsivel::host::libpng_codec
