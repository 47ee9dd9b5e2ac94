// Checks the CUDA device code embedded in a built binary (the Linux .so or the
// Windows .aex) by reading it back: the one fatbin in the file is the one the
// build made, with PTX for the oldest supported GPUs and machine code for each
// architecture the build names.
#ifndef TARSIVEL_TESTS_SUPPORT_EMBEDDED_FATBIN_CHECK_H
#define TARSIVEL_TESTS_SUPPORT_EMBEDDED_FATBIN_CHECK_H

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fatbin_reader.h"

namespace tarsivel::testing {

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// `machineArchitectures` as a list: "75,90".
inline void ExpectEmbeddedRopeKernelFatbin(const std::string& binaryPath,
                                           const std::string& fatbinPath,
                                           const std::string& machineArchitectures) {
    const std::vector<uint8_t> binary = ReadWholeFile(binaryPath);
    const std::vector<uint8_t> built = ReadWholeFile(fatbinPath);
    ASSERT_FALSE(binary.empty()) << binaryPath;
    ASSERT_FALSE(built.empty()) << fatbinPath;
    const std::vector<std::size_t> found = FindFatbins(binary);
    ASSERT_EQ(found.size(), 1u) << "fatbins in " << binaryPath;
    const auto fatbin = ReadFatbin(binary.data() + found[0], binary.size() - found[0]);
    ASSERT_TRUE(fatbin);
    ASSERT_EQ(fatbin->size, built.size());
    EXPECT_TRUE(std::equal(built.begin(), built.end(), binary.begin() + long(found[0])))
        << "the embedded fatbin differs from " << fatbinPath;

    std::set<uint32_t> machine;
    int ptxImages = 0;
    for (const FatbinImage& image : fatbin->images) {
        EXPECT_EQ(image.compressedSize, 0u);
        if (image.kind == kFatbinPtx) {
            ++ptxImages;
            EXPECT_EQ(image.architecture, 52u);
            const std::string ptx = PayloadText(image);
            EXPECT_NE(ptx.find("\n.target sm_52\n"), std::string::npos) << ptx.substr(0, 200);
            EXPECT_NE(ptx.find("\n.version "), std::string::npos);
            EXPECT_NE(ptx.find("\n.address_size 64\n"), std::string::npos);
            EXPECT_EQ(PtxParameterSizes(ptx, "RenderRopeKernel"),
                      (std::vector<std::size_t>{8, 8, 4, 4, 4, 4, 4, 8, 4, 8, 4, 4, 4, 4, 8, 8, 4,
                                                4, 4}));
        } else {
            // A CUDA ELF: 64-bit, little-endian, the CUDA machine (190) and
            // OS ABI (0x41), its architecture in bits 8 to 15 of the flags.
            ASSERT_EQ(image.kind, kFatbinElf);
            const std::vector<uint8_t>& elf = image.payload;
            ASSERT_GE(elf.size(), 64u);
            EXPECT_TRUE(elf[0] == 0x7f && elf[1] == 'E' && elf[2] == 'L' && elf[3] == 'F');
            EXPECT_EQ(elf[4], 2);  // 64-bit
            EXPECT_EQ(elf[5], 1);  // little-endian
            EXPECT_EQ(elf[7], 0x41);
            EXPECT_EQ(ReadLittle<uint16_t>(elf.data() + 18), 190);
            EXPECT_EQ((ReadLittle<uint32_t>(elf.data() + 48) >> 8) & 0xffu, image.architecture);
            const std::string text(elf.begin(), elf.end());
            EXPECT_NE(text.find("RenderRopeKernel"), std::string::npos);
            machine.insert(image.architecture);
        }
    }
    EXPECT_EQ(ptxImages, 1);
    std::set<uint32_t> expected;
    std::stringstream list(machineArchitectures);
    for (std::string item; std::getline(list, item, ',');) {
        expected.insert(uint32_t(std::stoul(item)));
    }
    EXPECT_EQ(machine, expected);
    EXPECT_TRUE(expected.count(75) && expected.count(90));
}

}  // namespace tarsivel::testing

#endif
