// Reads a CUDA fatbin as the build makes it (uncompressed): its images with
// their kind and architecture, and the parameter list of a kernel in the PTX
// image. Used by the fake driver library, which needs the kernel's parameter
// sizes as the real driver takes them from the module, and by the tests that
// find the fatbin inside the built binaries.
#ifndef TARSIVEL_TESTS_SUPPORT_FATBIN_READER_H
#define TARSIVEL_TESTS_SUPPORT_FATBIN_READER_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace tarsivel::testing {

inline constexpr uint32_t kFatbinMagic = 0xBA55ED50u;
inline constexpr uint16_t kFatbinPtx = 1;
inline constexpr uint16_t kFatbinElf = 2;

struct FatbinImage {
    uint16_t kind = 0;
    uint32_t architecture = 0;  // 52 for sm_52
    uint32_t compressedSize = 0;
    std::vector<uint8_t> payload;
};

struct Fatbin {
    std::size_t size = 0;  // the whole fatbin, header included
    std::vector<FatbinImage> images;
};

template <class T>
T ReadLittle(const uint8_t* bytes) {
    T value{};
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// The fatbin that starts at `bytes` (at most `available` long), or nothing
// when it is not one or runs past the end.
inline std::optional<Fatbin> ReadFatbin(const uint8_t* bytes, std::size_t available) {
    constexpr std::size_t kHeader = 16;
    if (available < kHeader || ReadLittle<uint32_t>(bytes) != kFatbinMagic) {
        return std::nullopt;
    }
    const std::size_t headerSize = ReadLittle<uint16_t>(bytes + 6);
    const uint64_t bodySize = ReadLittle<uint64_t>(bytes + 8);
    if (headerSize < kHeader || bodySize > available - headerSize) {
        return std::nullopt;
    }
    Fatbin fatbin;
    fatbin.size = headerSize + bodySize;
    std::size_t at = headerSize;
    while (at + 32 <= fatbin.size) {
        const uint8_t* entry = bytes + at;
        const uint32_t entryHeader = ReadLittle<uint32_t>(entry + 4);
        const uint64_t payloadSize = ReadLittle<uint64_t>(entry + 8);
        if (entryHeader < 32 || payloadSize > fatbin.size - at - entryHeader) {
            return std::nullopt;
        }
        FatbinImage image;
        image.kind = ReadLittle<uint16_t>(entry);
        image.compressedSize = ReadLittle<uint32_t>(entry + 16);
        image.architecture = ReadLittle<uint32_t>(entry + 28);
        image.payload.assign(entry + entryHeader, entry + entryHeader + payloadSize);
        fatbin.images.push_back(std::move(image));
        at += entryHeader + payloadSize;
    }
    return fatbin;
}

// Every offset in `bytes` where a well-formed fatbin starts.
inline std::vector<std::size_t> FindFatbins(const std::vector<uint8_t>& bytes) {
    std::vector<std::size_t> found;
    for (std::size_t at = 0; at + 16 <= bytes.size(); at += 4) {
        if (ReadLittle<uint32_t>(bytes.data() + at) == kFatbinMagic &&
            ReadFatbin(bytes.data() + at, bytes.size() - at)) {
            found.push_back(at);
        }
    }
    return found;
}

// The text of an image, up to its first zero byte.
inline std::string PayloadText(const FatbinImage& image) {
    const auto end = std::find(image.payload.begin(), image.payload.end(), uint8_t{0});
    return std::string(image.payload.begin(), end);
}

// The byte sizes of the parameters of `.entry name(...)` in PTX text, in order;
// empty when the entry is not there.
inline std::vector<std::size_t> PtxParameterSizes(const std::string& ptx, const std::string& name) {
    const std::string opening = ".entry " + name + "(";
    const std::size_t start = ptx.find(opening);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = ptx.find(')', start);
    const std::string list = ptx.substr(start, end - start);
    // Each parameter reads ".param .u64 name" (or .b32, .s32, .f32, ...).
    std::vector<std::size_t> sizes;
    for (std::size_t at = list.find(".param"); at != std::string::npos;
         at = list.find(".param", at + 1)) {
        std::size_t type = list.find('.', at + 6);
        if (type == std::string::npos || type + 2 >= list.size() ||
            std::string("bsuf").find(list[type + 1]) == std::string::npos) {
            return {};
        }
        sizes.push_back(std::stoul(list.substr(type + 2)) / 8);
    }
    return sizes;
}

}  // namespace tarsivel::testing

#endif
