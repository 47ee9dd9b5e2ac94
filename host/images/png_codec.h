// The part of PNG that depends on the library doing it: a file's pixels as
// RGBA rows of 8- or 16-bit samples (grey, palette and alpha-less files
// expanded, 16-bit samples big-endian as the format stores them), and such
// rows back into a file's bytes. The Linux build does it with libpng; the
// Windows build, which has no libpng, reads with stb_image and writes through
// zlib. Both are built on Linux, so the tests hold each to the other.
#ifndef TARSIVEL_HOST_IMAGES_PNG_CODEC_H
#define TARSIVEL_HOST_IMAGES_PNG_CODEC_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarsivel::host {

// The largest width or height either codec takes, far above any layer's.
inline constexpr uint32_t kMaxPngSide = 0x7FFFFF;

struct PngRgba {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 8;  // 8 or 16
    // `height` rows of `width` × 4 samples, R, G, B, A, without padding.
    std::vector<uint8_t> pixels;
};

// Each throws std::runtime_error: "cannot read PATH: why" and "cannot encode a
// PNG image: why".
namespace libpng_codec {
PngRgba Decode(std::FILE* file, const std::string& path);
std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height,
                            int bitDepth);
}  // namespace libpng_codec

namespace portable_codec {
PngRgba Decode(std::FILE* file, const std::string& path);
std::vector<uint8_t> Encode(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height,
                            int bitDepth);
}  // namespace portable_codec

}  // namespace tarsivel::host

#endif
