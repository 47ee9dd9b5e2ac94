#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"
#include "host/protocol/channel_conversions.h"
#include "host/protocol/image_world.h"

namespace tarsivel::host {
namespace {

namespace fs = std::filesystem;

class ImageFilesTest : public ::testing::Test {
  protected:
    ImageFilesTest() {
        directory = fs::temp_directory_path() /
                    ("tarsivel_image_files_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory);
    }
    ~ImageFilesTest() override { fs::remove_all(directory); }
    std::string Path(const char* name) const { return (directory / name).string(); }

    fs::path directory;
};

// Every channel of every pixel differs, with extremes in the first pixels.
void FillPattern(ImageWorld& world) {
    for (int32_t y = 0; y < world.Height(); ++y) {
        for (int32_t x = 0; x < world.Width(); ++x) {
            const float base = float(x + y * world.Width()) / float(world.Width() * world.Height());
            world.WriteFloat(x, y,
                             PF_PixelFloat{1.0f - base, base, base * 0.5f, x == 0 ? 1.0f : 0.0f});
        }
    }
}

// A file of any PNG colour type written directly with libpng.
void WriteRawPng(const std::string& path, int width, int height, int colourType, int bitDepth,
                 const std::vector<uint8_t>& pixels, const std::vector<png_color>& palette = {},
                 const std::vector<png_byte>& transparency = {},
                 const png_color_16* transparentColour = nullptr) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    if (!transparency.empty() || transparentColour != nullptr) {
        png_set_tRNS(png, info, transparency.empty() ? nullptr : transparency.data(),
                     int(transparency.size()), transparentColour);
    }
    png_write_info(png, info);
    const size_t rowbytes = pixels.size() / size_t(height);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, pixels.data() + size_t(y) * rowbytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

TEST_F(ImageFilesTest, EightAndSixteenBitWorldsSurviveTheirOwnFileDepth) {
    ImageWorld eight(7, 5, PixelDepth::k8, 3);
    FillPattern(eight);
    WritePng(eight, Path("eight.png"), 8);
    const auto eightBack = ReadPng(Path("eight.png"), PixelDepth::k8);
    ImageWorld sixteen(7, 5, PixelDepth::k16);
    FillPattern(sixteen);
    sixteen.Write16(1, 0, PF_Pixel16{32768, 32767, 1, 16385});
    WritePng(sixteen, Path("sixteen.png"), 16);
    const auto sixteenBack = ReadPng(Path("sixteen.png"), PixelDepth::k16, 5);
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 7; ++x) {
            const PF_Pixel a = eight.Read8(x, y), b = eightBack->Read8(x, y);
            EXPECT_TRUE(a.alpha == b.alpha && a.red == b.red && a.green == b.green &&
                        a.blue == b.blue)
                << x << "," << y;
            const PF_Pixel16 c = sixteen.Read16(x, y), d = sixteenBack->Read16(x, y);
            EXPECT_TRUE(c.alpha == d.alpha && c.red == d.red && c.green == d.green &&
                        c.blue == d.blue)
                << x << "," << y;
        }
    }
    EXPECT_TRUE(sixteenBack->PaddingIntact());
}

TEST_F(ImageFilesTest, FilesConvertIntoOtherDepthsWithTheExactFormulas) {
    ImageWorld eight(2, 1, PixelDepth::k8);
    eight.Write8(0, 0, PF_Pixel{255, 128, 1, 0});
    WritePng(eight, Path("eight.png"), 8);
    const auto asSixteen = ReadPng(Path("eight.png"), PixelDepth::k16);
    EXPECT_EQ(asSixteen->Read16(0, 0).red, 16448);
    EXPECT_EQ(asSixteen->Read16(0, 0).green, 129);
    EXPECT_EQ(asSixteen->Read16(0, 0).alpha, 32768);
    EXPECT_EQ(ReadPng(Path("eight.png"), PixelDepth::k32)->ReadFloat(0, 0).red,
              float(128.0 / 255.0));

    ImageWorld wide(1, 1, PixelDepth::k32);
    wide.WriteFloat(0, 0, PF_PixelFloat{1.0f, 0.5f, 1.5f, -0.25f});
    WritePng(wide, Path("wide16.png"), 16);
    const auto back = ReadPng(Path("wide16.png"), PixelDepth::k32);
    EXPECT_EQ(back->ReadFloat(0, 0).red, float(32768.0 / 65535.0));
    EXPECT_EQ(back->ReadFloat(0, 0).green, 1.0f);  // clamped on the way out
    EXPECT_EQ(back->ReadFloat(0, 0).blue, 0.0f);
    const auto back16 = ReadPng(Path("wide16.png"), PixelDepth::k16);
    EXPECT_EQ(back16->Read16(0, 0).red, (32768u * 32768u + 32767u) / 65535u);
    WritePng(wide, Path("wide8.png"), 8);
    EXPECT_EQ(ReadPng(Path("wide8.png"), PixelDepth::k8)->Read8(0, 0).red, 128);
}

TEST_F(ImageFilesTest, GreyPaletteAndAlphaLessFilesAreExpandedToRgbaWithFullAlpha) {
    WriteRawPng(Path("grey.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 8, {10, 200});
    WriteRawPng(Path("grey16.png"), 1, 1, PNG_COLOR_TYPE_GRAY, 16, {0xFF, 0xFF});
    WriteRawPng(Path("rgb.png"), 1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3});
    WriteRawPng(Path("palette.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0},
                {png_color{9, 8, 7}, png_color{50, 60, 70}}, {255, 128});
    WriteRawPng(Path("grey_alpha.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {90, 40});

    const auto grey = ReadPng(Path("grey.png"), PixelDepth::k8);
    EXPECT_EQ(grey->Read8(1, 0).alpha, 255);
    EXPECT_EQ(grey->Read8(1, 0).red, 200);
    EXPECT_EQ(grey->Read8(1, 0).blue, 200);
    const auto grey16 = ReadPng(Path("grey16.png"), PixelDepth::k16);
    EXPECT_EQ(grey16->Read16(0, 0).alpha, 32768);
    EXPECT_EQ(grey16->Read16(0, 0).green, 32768);
    const auto rgb = ReadPng(Path("rgb.png"), PixelDepth::k32);
    EXPECT_EQ(rgb->ReadFloat(0, 0).alpha, 1.0f);
    EXPECT_EQ(rgb->ReadFloat(0, 0).blue, float(3.0 / 255.0));
    const auto palette = ReadPng(Path("palette.png"), PixelDepth::k8);
    EXPECT_EQ(palette->Read8(0, 0).red, 50);
    EXPECT_EQ(palette->Read8(0, 0).alpha, 128);
    EXPECT_EQ(palette->Read8(1, 0).green, 8);
    EXPECT_EQ(palette->Read8(1, 0).alpha, 255);
    const auto greyAlpha = ReadPng(Path("grey_alpha.png"), PixelDepth::k8);
    EXPECT_EQ(greyAlpha->Read8(0, 0).green, 90);
    EXPECT_EQ(greyAlpha->Read8(0, 0).alpha, 40);
}

TEST_F(ImageFilesTest, UnreadableAndUnwritableFilesAreReportedNotFatal) {
    EXPECT_THROW(ReadPng(Path("missing.png"), PixelDepth::k8), std::runtime_error);
    std::ofstream(Path("text.png")) << "not an image at all";
    EXPECT_THROW(ReadPng(Path("text.png"), PixelDepth::k8), std::runtime_error);
    ImageWorld world(2, 2, PixelDepth::k8);
    WritePng(world, Path("whole.png"), 8);
    fs::resize_file(Path("whole.png"), fs::file_size(Path("whole.png")) / 2);
    EXPECT_THROW(ReadPng(Path("whole.png"), PixelDepth::k8), std::runtime_error);
    EXPECT_THROW(WritePng(world, Path("no/such/dir.png"), 8), std::runtime_error);
    EXPECT_THROW(WritePng(world, Path("twelve.png"), 12), std::invalid_argument);
    EXPECT_THROW(WriteExr(world, Path("no/such/dir.exr")), std::runtime_error);
}

// A header's size is compared before anything is decoded: a small file whose
// header claims 16384 × 16384 (2 GiB of pixels) is refused at once, with the
// sizes, instead of the pixels being set aside and then found missing.
TEST_F(ImageFilesTest, AFileOfTheWrongSizeIsRefusedByItsHeader) {
    ImageWorld world(4, 3, PixelDepth::k8);
    WritePng(world, Path("small.png"), 8);
    EXPECT_EQ(ReadPngOfSize(Path("small.png"), PixelDepth::k16, 4, 3)->Height(), 3);
    EXPECT_THROW(ReadPngOfSize(Path("small.png"), PixelDepth::k8, 3, 4), PngSizeError);

    // The IHDR chunk (bytes 8 … 32): width and height from byte 16, its CRC from byte 29.
    std::ifstream in(Path("small.png"), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    for (int i = 0; i < 2; ++i) {
        const unsigned char claimed[4] = {0, 0, 0x40, 0};  // 16384, big-endian
        std::copy(claimed, claimed + 4, bytes.begin() + 16 + 4 * i);
    }
    const uLong crc = crc32(crc32(0, nullptr, 0), bytes.data() + 12, 17);
    for (int i = 0; i < 4; ++i) {
        bytes[std::size_t(29 + i)] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    }
    std::ofstream(Path("huge.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    try {
        ReadPngOfSize(Path("huge.png"), PixelDepth::k32, 64, 48);
        ADD_FAILURE() << "accepted";
    } catch (const PngSizeError& e) {
        EXPECT_EQ(std::string(e.what()),
                  Path("huge.png") + " is 16384 × 16384 pixels, not 64 × 48");
    }
    // Cut after its first chunk, whose CRC is wrong: still refused for its size, which callers
    // can word their own way.
    bytes.resize(33);
    bytes[29] ^= 0xFF;
    std::ofstream(Path("cut.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    try {
        ReadPngOfSize(Path("cut.png"), PixelDepth::k32, 64, 48);
        ADD_FAILURE() << "accepted";
    } catch (const ImageSizeError& e) {
        EXPECT_EQ(e.Width(), 16384);
        EXPECT_EQ(e.Height(), 16384);
    }
}

// The format's alpha is associated: colour is stored multiplied by alpha.
TEST_F(ImageFilesTest, ExrHoldsTheWorldsFloatChannelsPremultiplied) {
    ImageWorld sixteen(5, 3, PixelDepth::k16, 2);
    FillPattern(sixteen);
    sixteen.WriteFloat(2, 1, PF_PixelFloat{0.5f, 1.0f, 0.5f, 0.25f});
    ImageWorld wide(5, 3, PixelDepth::k32);
    FillPattern(wide);
    wide.WriteFloat(4, 2, PF_PixelFloat{0.125f, 3.5f, -1.0f, 1e-8f});  // kept unclamped
    // A half-covered rope edge: straight 1.0, 0.502, 0.251 at alpha 0.5.
    wide.WriteFloat(3, 1, PF_PixelFloat{0.5f, 1.0f, 0.502f, 0.251f});
    for (const ImageWorld* world : {&sixteen, &wide}) {
        WriteExr(*world, Path("frame.exr"));
        Imf::InputFile file(Path("frame.exr").c_str());
        const Imath::Box2i window = file.header().dataWindow();
        ASSERT_EQ(window.max.x - window.min.x + 1, 5);
        ASSERT_EQ(window.max.y - window.min.y + 1, 3);
        for (const char* name : {"R", "G", "B", "A"}) {
            const Imf::Channel* channel = file.header().channels().findChannel(name);
            ASSERT_NE(channel, nullptr) << name;
            EXPECT_EQ(channel->type, Imf::FLOAT) << name;
        }
        std::vector<float> r(15), g(15), b(15), a(15);
        Imf::FrameBuffer frame;
        const size_t row = 5 * sizeof(float);
        frame.insert("R",
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(r.data()), sizeof(float), row));
        frame.insert("G",
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(g.data()), sizeof(float), row));
        frame.insert("B",
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(b.data()), sizeof(float), row));
        frame.insert("A",
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(a.data()), sizeof(float), row));
        file.setFrameBuffer(frame);
        file.readPixels(window.min.y, window.max.y);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < 5; ++x) {
                const PF_PixelFloat p = world->ReadFloat(x, y);
                const size_t n = size_t(y) * 5 + size_t(x);
                EXPECT_EQ(r[n], p.red * p.alpha);
                EXPECT_EQ(g[n], p.green * p.alpha);
                EXPECT_EQ(b[n], p.blue * p.alpha);
                EXPECT_EQ(a[n], p.alpha);
            }
        }
    }
}

// What a written frame holds comes back, straight again, at every depth; where
// nothing covers a pixel its colour is gone, as the format stores it.
TEST_F(ImageFilesTest, ExrReadBackIsStraightAndRoundTrips) {
    ImageWorld wide(6, 4, PixelDepth::k32);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            wide.WriteFloat(x, y,
                            PF_PixelFloat{0.25f + 0.125f * float(y), float(x) / 5.0f,
                                          0.9f - 0.2f * float(y), float(x + y) / 8.0f});
        }
    }
    wide.WriteFloat(5, 3, PF_PixelFloat{0.0f, 0.7f, 0.7f, 0.7f});
    WriteExr(wide, Path("wide.exr"));
    const auto back = ReadExr(Path("wide.exr"), PixelDepth::k32);
    ASSERT_EQ(back->Width(), 6);
    ASSERT_EQ(back->Height(), 4);
    ImageWorld sixteen(6, 4, PixelDepth::k16);
    FillPattern(sixteen);  // alpha from 1 down to 1/24
    WriteExr(sixteen, Path("sixteen.exr"), ExrChannels::kHalf);
    const auto sixteenBack = ReadExr(Path("sixteen.exr"), PixelDepth::k16);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            const bool covered = x != 5 || y != 3;
            const PF_PixelFloat p = wide.ReadFloat(x, y), q = back->ReadFloat(x, y);
            EXPECT_EQ(q.alpha, p.alpha);
            EXPECT_NEAR(q.red, covered ? p.red : 0.0f, 1e-6f) << x << "," << y;
            EXPECT_NEAR(q.green, covered ? p.green : 0.0f, 1e-6f) << x << "," << y;
            EXPECT_NEAR(q.blue, covered ? p.blue : 0.0f, 1e-6f) << x << "," << y;
            const PF_PixelFloat s16 = sixteen.ReadFloat(x, y);
            const PF_PixelFloat b16 = sixteenBack->ReadFloat(x, y);
            EXPECT_NEAR(b16.alpha, s16.alpha, 1e-3f);
            EXPECT_NEAR(b16.red, s16.red, 2e-3f) << x << "," << y;
            EXPECT_NEAR(b16.green, s16.green, 2e-3f) << x << "," << y;
            EXPECT_NEAR(b16.blue, s16.blue, 2e-3f) << x << "," << y;
        }
    }
    EXPECT_TRUE(sixteenBack->PaddingIntact());
}

// The frame rate as the smallest fraction; a still has none.
TEST_F(ImageFilesTest, ExrNamesTheFramesRate) {
    ImageWorld world(2, 2, PixelDepth::k32);
    for (const auto& [rate, n, d] : {std::tuple{ExrFrameRate{3000, 100}, 30, 1u},
                                     std::tuple{ExrFrameRate{2997, 100}, 2997, 100u},
                                     std::tuple{ExrFrameRate{30000, 1001}, 30000, 1001u}}) {
        WriteExr(world, Path("f.exr"), ExrChannels::kFloat, rate);
        Imf::InputFile file(Path("f.exr").c_str());
        ASSERT_TRUE(Imf::hasFramesPerSecond(file.header()));
        EXPECT_EQ(Imf::framesPerSecond(file.header()).n, n);
        EXPECT_EQ(Imf::framesPerSecond(file.header()).d, d);
    }
    WriteExr(world, Path("still.exr"));
    EXPECT_FALSE(Imf::hasFramesPerSecond(Imf::InputFile(Path("still.exr").c_str()).header()));
}

// A file of given channels and windows, each channel filled with `value`.
void WriteExrFile(const std::string& path, const Imath::Box2i& display, const Imath::Box2i& data,
                  const std::vector<std::pair<const char*, float>>& channels) {
    Imf::Header header(display, data);
    const size_t width = size_t(data.max.x - data.min.x + 1);
    const size_t height = size_t(data.max.y - data.min.y + 1);
    std::vector<std::vector<float>> planes;
    Imf::FrameBuffer frame;
    for (const auto& [name, value] : channels) {
        header.channels().insert(name, Imf::Channel(Imf::FLOAT));
        planes.emplace_back(width * height, value);
        frame.insert(name, Imf::Slice::Make(Imf::FLOAT, planes.back().data(), data));
    }
    Imf::OutputFile file(path.c_str(), header);
    file.setFrameBuffer(frame);
    file.writePixels(int(height));
}

TEST_F(ImageFilesTest, ExrFilesFromElsewhereAreReadAsTheirDisplayWindowShows) {
    const Imath::Box2i display({0, 0}, {3, 2});
    // Only Y: grey; no A: opaque.
    WriteExrFile(Path("grey.exr"), display, display, {{"Y", 0.25f}});
    const PF_PixelFloat grey = ReadExr(Path("grey.exr"), PixelDepth::k32)->ReadFloat(3, 2);
    EXPECT_EQ(grey.alpha, 1.0f);
    EXPECT_EQ(grey.red, 0.25f);
    EXPECT_EQ(grey.blue, 0.25f);
    // A data window of one pixel, partly outside: the rest is transparent.
    WriteExrFile(Path("small.exr"), display, Imath::Box2i({1, 1}, {4, 1}),
                 {{"R", 0.4f}, {"G", 0.2f}, {"B", 0.1f}, {"A", 0.5f}});
    const auto small = ReadExr(Path("small.exr"), PixelDepth::k32);
    EXPECT_EQ(small->Width(), 4);
    EXPECT_EQ(small->ReadFloat(0, 1).alpha, 0.0f);
    EXPECT_EQ(small->ReadFloat(2, 0).alpha, 0.0f);
    EXPECT_EQ(small->ReadFloat(3, 1).alpha, 0.5f);
    EXPECT_EQ(small->ReadFloat(3, 1).red, 0.8f);
    // Alpha 0 with colour (light that adds): the colour is kept.
    WriteExrFile(Path("glow.exr"), display, display, {{"R", 0.3f}, {"A", 0.0f}});
    EXPECT_EQ(ReadExr(Path("glow.exr"), PixelDepth::k32)->ReadFloat(0, 0).red, 0.3f);

    // A header that claims a huge picture is refused before any pixel memory is taken.
    WriteExrFile(Path("huge.exr"), Imath::Box2i({0, 0}, {19999, 19999}),
                 Imath::Box2i({0, 0}, {0, 0}), {{"R", 1.0f}});
    try {
        ReadExr(Path("huge.exr"), PixelDepth::k32);
        ADD_FAILURE() << "read";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("huge.exr is 20000 × 20000 pixels; at most 16384"),
                  std::string::npos)
            << e.what();
    }
    std::ofstream(Path("text.exr")) << "not an image";
    try {
        ReadExr(Path("text.exr"), PixelDepth::k8);
        ADD_FAILURE() << "read";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("text.exr"), std::string::npos) << e.what();
    }
}

std::string Little32(int32_t v) {
    const auto u = uint32_t(v);
    return {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
}

// An EXR header alone: magic number, version and flags, the two windows.
void WriteExrHeader(const std::string& path, int32_t flags, int32_t side) {
    std::string bytes = Little32(20000630) + Little32(2 | flags);
    for (const char* name : {"dataWindow", "displayWindow"}) {
        bytes += std::string(name) + '\0' + "box2i" + '\0' + Little32(16) + Little32(0) +
                 Little32(0) + Little32(side - 1) + Little32(side - 1);
    }
    std::ofstream(path, std::ios::binary) << bytes << '\0';
}

// The size is the display window's, compared before the library opens the
// file (it would fail on the missing pixels, or size its tables first); the
// picture is read in bands of rows, each in its place.
TEST_F(ImageFilesTest, ExrOfSizeChecksTheHeaderFirstAndReadsEveryRowInPlace) {
    ImageWorld tall(700, 400, PixelDepth::k32);
    for (int32_t y = 0; y < 400; ++y) {
        for (int32_t x = 0; x < 700; ++x) {
            tall.WriteFloat(x, y, {1.0f, float(x) / 700.0f, float(y) / 400.0f, 0.5f});
        }
    }
    WriteExr(tall, Path("tall.exr"));
    const auto back = ReadExrOfSize(Path("tall.exr"), PixelDepth::k32, 700, 400);
    for (int32_t y = 0; y < 400; ++y) {
        for (int32_t x = 0; x < 700; ++x) {
            ASSERT_EQ(back->ReadFloat(x, y).red, float(x) / 700.0f) << x << "," << y;
            ASSERT_EQ(back->ReadFloat(x, y).green, float(y) / 400.0f) << x << "," << y;
        }
    }
    // A data window inside the display window: the rest is transparent.
    WriteExrFile(Path("inset.exr"), Imath::Box2i({0, 0}, {7, 3}), Imath::Box2i({2, 1}, {5, 2}),
                 {{"R", 0.4f}, {"A", 0.5f}});
    const auto inset = ReadExrOfSize(Path("inset.exr"), PixelDepth::k16, 8, 4);
    EXPECT_EQ(inset->ReadFloat(1, 1).alpha, 0.0f);
    EXPECT_EQ(inset->ReadFloat(2, 1).alpha, inset->ReadFloat(5, 2).alpha);
    EXPECT_NEAR(inset->ReadFloat(5, 2).red, 0.8f, 1e-4f);
    EXPECT_EQ(inset->ReadFloat(6, 2).alpha, 0.0f);
    EXPECT_EQ(inset->ReadFloat(5, 3).alpha, 0.0f);

    WriteExrHeader(Path("huge.exr"), 0, 20000);
    try {
        ReadExrOfSize(Path("huge.exr"), PixelDepth::k32, 64, 48);
        ADD_FAILURE() << "read";
    } catch (const ImageSizeError& e) {
        EXPECT_EQ(e.Width(), 20000);
        EXPECT_EQ(std::string(e.what()),
                  Path("huge.exr") + " is 20000 × 20000 pixels, not 64 × 48");
    }
    const auto refusal = [&](const char* name, int32_t width, int32_t height) {
        try {
            ReadExrOfSize(Path(name), PixelDepth::k32, width, height);
        } catch (const ImageSizeError& e) {
            return "size: " + std::string(e.what());
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    // ReadExr reads the part inside; a layer's image must hold its pixels only.
    WriteExrFile(Path("spill.exr"), Imath::Box2i({0, 0}, {3, 2}), Imath::Box2i({1, 1}, {4, 1}),
                 {{"R", 0.4f}});
    EXPECT_EQ(refusal("spill.exr", 4, 3),
              Path("spill.exr") +
                  ": its data window reaches outside its display window; give the picture's "
                  "pixels only");
    for (const int32_t flags : {0x800, 0x1000}) {
        WriteExrHeader(Path("parts.exr"), flags, 4);
        EXPECT_NE(refusal("parts.exr", 4, 4).find("parts.exr: a deep or multi-part EXR file"),
                  std::string::npos);
        EXPECT_THROW(ReadExr(Path("parts.exr"), PixelDepth::k32), std::runtime_error);
    }
    WriteExrHeader(Path("empty.exr"), 0, 4);
    EXPECT_NE(refusal("empty.exr", 4, 4).find("empty.exr: cannot read it as OpenEXR"),
              std::string::npos);
    EXPECT_EQ(refusal("missing.exr", 4, 4).rfind(Path("missing.exr") + ": cannot open it", 0), 0u);
}

}  // namespace
}  // namespace tarsivel::host
