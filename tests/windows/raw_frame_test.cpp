// Raw pixel files, the frames the Windows build writes and the Linux side
// compares bit for bit.
#include "host/images/raw_frame.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tarsivel::host {
namespace {

std::string TempPath(const char* name) {
    return ::testing::TempDir() + name;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A world whose every channel differs, so a swapped, shifted or padded row shows.
std::unique_ptr<ImageWorld> Pattern(PixelDepth depth) {
    auto world = std::make_unique<ImageWorld>(5, 3, depth);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            const float v = float(y * 5 + x) / 15.0f;
            world->WriteFloat(x, y, {v, 1.0f - v, v * 0.5f, 0.25f + v * 0.125f});
        }
    }
    return world;
}

TEST(RawFrame, RoundTripsEveryDepthBitForBit) {
    for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::k32}) {
        SCOPED_TRACE(int(depth));
        const auto world = Pattern(depth);
        const std::string path = TempPath("round_trip.raw");
        WriteRawFrame(*world, path);
        const auto back = ReadRawFrame(path);
        ASSERT_EQ(back->Depth(), depth);
        ASSERT_EQ(back->Width(), 5);
        ASSERT_EQ(back->Height(), 3);
        const auto rowBytes = std::size_t(5 * BytesPerPixel(depth));
        for (int32_t y = 0; y < 3; ++y) {
            EXPECT_EQ(std::memcmp(back->Row(y), world->Row(y), rowBytes), 0) << "row " << y;
        }
        // The header, then the rows without the world's row padding.
        const std::vector<uint8_t> bytes = FileBytes(path);
        ASSERT_EQ(bytes.size(), 20 + 3 * rowBytes);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TRAW");
        EXPECT_EQ(bytes[4], 5);
        EXPECT_EQ(bytes[8], 3);
        EXPECT_EQ(bytes[12], uint8_t(depth));
        uint32_t format = 0;
        std::memcpy(&format, &bytes[16], 4);
        EXPECT_EQ(format, uint32_t(FormatOf(depth)));
        std::remove(path.c_str());
    }
}

TEST(RawFrame, RejectsFilesWhoseHeaderOrSizeDisagree) {
    const std::string good = TempPath("good.raw");
    WriteRawFrame(*Pattern(PixelDepth::k16), good);
    const std::vector<uint8_t> bytes = FileBytes(good);
    const std::string bad = TempPath("bad.raw");
    auto expectRejected = [&](std::vector<uint8_t> damaged, const char* why) {
        WriteBytes(bad, damaged);
        EXPECT_THROW(ReadRawFrame(bad), std::runtime_error) << why;
    };
    std::vector<uint8_t> b = bytes;
    b[0] = 'X';
    expectRejected(b, "magic");
    expectRejected(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), "one byte short");
    b = bytes;
    b.push_back(0);
    expectRejected(b, "one byte too many");
    expectRejected(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10), "header cut short");
    b = bytes;
    b[12] = 8;  // depth no longer matches the ARGB64 format
    expectRejected(b, "depth and format");
    b = bytes;
    b[12] = 12;
    expectRejected(b, "unknown depth");
    b = bytes;
    b[7] = 0x7F;  // a width that would need gigabytes
    expectRejected(b, "absurd width");
    EXPECT_THROW(ReadRawFrame(TempPath("missing.raw")), std::runtime_error);
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

TEST(RawFrame, WriteFailureIsReported) {
    EXPECT_THROW(WriteRawFrame(*Pattern(PixelDepth::k8), "/nonexistent-folder/frame.raw"),
                 std::runtime_error);
    EXPECT_TRUE(IsRawFramePath("out/frame_0001.raw"));
    EXPECT_FALSE(IsRawFramePath("out/frame_0001.png"));
    EXPECT_FALSE(IsRawFramePath("out.raw/frame"));
}

}  // namespace
}  // namespace tarsivel::host
