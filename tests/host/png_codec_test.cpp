// The Windows build reads and writes PNG with the portable codec, the Linux
// build with libpng: each must read what the other writes, pixel for pixel,
// at 8 and 16 bits, and both must expand the other kinds of PNG file alike.
#include "host/images/png_codec.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tarsivel::host {
namespace {

namespace fs = std::filesystem;

// RGBA samples that use every bit: a ramp, an edge, full and empty alpha.
PngRgba Pattern(uint32_t width, uint32_t height, int bitDepth) {
    PngRgba image;
    image.width = width;
    image.height = height;
    image.bitDepth = bitDepth;
    const std::size_t samples = std::size_t(width) * height * 4;
    image.pixels.resize(samples * std::size_t(bitDepth / 8));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = static_cast<uint8_t>((i * 37 + i / 7) & 0xFF);
    }
    return image;
}

PngRgba DecodeBytes(const std::vector<uint8_t>& bytes, bool portable) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    PngRgba image = portable ? portable_codec::Decode(file, "memory.png")
                             : libpng_codec::Decode(file, "memory.png");
    std::fclose(file);
    return image;
}

TEST(PngCodecs, EachReadsWhatTheOtherWritesExactly) {
    for (const int bitDepth : {8, 16}) {
        for (const bool portableWrites : {false, true}) {
            const PngRgba image = Pattern(67, 29, bitDepth);
            const std::vector<uint8_t> bytes =
                portableWrites
                    ? portable_codec::Encode(image.pixels, image.width, image.height, bitDepth)
                    : libpng_codec::Encode(image.pixels, image.width, image.height, bitDepth);
            for (const bool portableReads : {false, true}) {
                const PngRgba back = DecodeBytes(bytes, portableReads);
                EXPECT_EQ(back.width, image.width);
                EXPECT_EQ(back.height, image.height);
                EXPECT_EQ(back.bitDepth, bitDepth);
                EXPECT_EQ(back.pixels, image.pixels)
                    << bitDepth << " bits, written by " << (portableWrites ? "portable" : "libpng")
                    << ", read by " << (portableReads ? "portable" : "libpng");
            }
        }
    }
}

TEST(PngCodecs, ASinglePixelAndASingleRowStillMakeFiles) {
    for (const auto& [width, height] : {std::pair{1u, 1u}, std::pair{300u, 1u}}) {
        const PngRgba image = Pattern(width, height, 16);
        const PngRgba back = DecodeBytes(portable_codec::Encode(image.pixels, width, height, 16),
                                         /*portable=*/false);
        EXPECT_EQ(back.pixels, image.pixels) << width << " x " << height;
    }
}

// Grey, palette and three-channel files come out as RGBA, the same from both.
TEST(PngCodecs, OtherKindsOfFileAreExpandedAlike) {
    const fs::path dir =
        fs::temp_directory_path() / ("tarsivel_png_codec_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // ffmpeg writes each kind from one test picture.
    for (const char* format : {"gray", "ya8", "rgb24", "pal8", "gray16be", "rgb48be"}) {
        const fs::path file = dir / (std::string(format) + ".png");
        const std::string command =
            "ffmpeg -v error -y -f lavfi -i testsrc=s=40x30 -frames:v 1 "
            "-pix_fmt " +
            std::string(format) + " " + file.string();
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::FILE* a = std::fopen(file.c_str(), "rb");
        std::FILE* b = std::fopen(file.c_str(), "rb");
        ASSERT_TRUE(a != nullptr && b != nullptr);
        const PngRgba fromLibpng = libpng_codec::Decode(a, file.string());
        const PngRgba fromPortable = portable_codec::Decode(b, file.string());
        std::fclose(a);
        std::fclose(b);
        EXPECT_EQ(fromPortable.bitDepth, fromLibpng.bitDepth) << format;
        EXPECT_EQ(fromPortable.pixels, fromLibpng.pixels) << format;
    }
    fs::remove_all(dir);
}

TEST(PngCodecs, DamagedFilesAreRefusedNamingThem) {
    const std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', 1, 2, 3};
    for (const bool portable : {false, true}) {
        try {
            DecodeBytes(bytes, portable);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("cannot read memory.png: ", 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace tarsivel::host
