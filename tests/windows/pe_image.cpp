#include "windows/pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarsivel::testing {
namespace {

constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kHighBit = 0x80000000u;

std::runtime_error Damaged(const std::string& what) {
    return std::runtime_error("damaged PE image: " + what);
}

}  // namespace

std::optional<PeImage> PeImage::Open(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    PeImage image(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    try {
        if (!image.Parse(error)) {
            error = path + ": " + error;
            return std::nullopt;
        }
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
        return std::nullopt;
    }
    return image;
}

uint16_t PeImage::U16(std::size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 2) {
        throw Damaged("read past the end");
    }
    return uint16_t(bytes_[offset] | bytes_[offset + 1] << 8);
}

uint32_t PeImage::U32(std::size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 4) {
        throw Damaged("read past the end");
    }
    return uint32_t(bytes_[offset]) | uint32_t(bytes_[offset + 1]) << 8 |
           uint32_t(bytes_[offset + 2]) << 16 | uint32_t(bytes_[offset + 3]) << 24;
}

bool PeImage::Parse(std::string& error) {
    if (bytes_.size() < 0x40 || bytes_[0] != 'M' || bytes_[1] != 'Z') {
        error = "no MZ header";
        return false;
    }
    const std::size_t pe = U32(0x3C);
    if (U32(pe) != 0x00004550u) {  // "PE\0\0"
        error = "no PE signature";
        return false;
    }
    const std::size_t coff = pe + 4;
    machine_ = U16(coff);
    const uint16_t sectionCount = U16(coff + 2);
    const uint16_t optionalSize = U16(coff + 16);
    characteristics_ = U16(coff + 18);
    const std::size_t optional = coff + 20;
    if (U16(optional) != kPe32PlusMagic) {
        error = "not a PE32+ (64-bit) image";
        return false;
    }
    const uint32_t directoryCount = U32(optional + 108);
    auto directory = [&](uint32_t index) {
        Directory d;
        if (index < directoryCount) {
            d.rva = U32(optional + 112 + 8 * index);
            d.size = U32(optional + 112 + 8 * index + 4);
        }
        return d;
    };
    exports_ = directory(0);
    imports_ = directory(1);
    resources_ = directory(2);
    const std::size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = table + 40 * std::size_t(i);
        U32(at + 36);  // the whole header is inside the file
        std::string name(reinterpret_cast<const char*>(&bytes_[at]), 8);
        name.resize(name.find('\0') == std::string::npos ? 8 : name.find('\0'));
        sections_.push_back(
            {name, U32(at + 12), U32(at + 8), U32(at + 20), U32(at + 16), U32(at + 36)});
    }
    return true;
}

const PeSection* PeImage::SectionOf(uint32_t rva) const {
    for (const PeSection& s : sections_) {
        const uint64_t span = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
            return &s;
        }
    }
    return nullptr;
}

uint32_t PeImage::Offset(uint32_t rva, uint32_t count) const {
    const PeSection* s = SectionOf(rva);
    if (s == nullptr) {
        throw Damaged("address outside every section");
    }
    const uint64_t inSection = rva - s->virtualAddress;
    if (inSection + count > s->rawSize || uint64_t{s->rawOffset} + s->rawSize > bytes_.size()) {
        throw Damaged("data beyond its section's bytes in the file");
    }
    return uint32_t(s->rawOffset + inSection);
}

std::vector<uint8_t> PeImage::BytesAt(uint32_t rva, uint32_t count) const {
    const uint32_t at = Offset(rva, count);
    return std::vector<uint8_t>(bytes_.begin() + at, bytes_.begin() + at + count);
}

std::string PeImage::CString(uint32_t rva) const {
    std::string text;
    for (uint32_t at = Offset(rva, 1); bytes_.at(at) != 0; ++at) {
        text += char(bytes_[at]);
    }
    return text;
}

std::vector<PeExport> PeImage::Exports() const {
    std::vector<PeExport> result;
    if (exports_.rva == 0) {
        return result;
    }
    const uint32_t dir = Offset(exports_.rva, 40);
    const uint32_t functionCount = U32(dir + 20);
    const uint32_t nameCount = U32(dir + 24);
    const uint32_t functions = U32(dir + 28);
    const uint32_t names = U32(dir + 32);
    const uint32_t ordinals = U32(dir + 36);
    for (uint32_t i = 0; i < nameCount; ++i) {
        const uint16_t ordinal = U16(Offset(ordinals + 2 * i, 2));
        if (ordinal >= functionCount) {
            throw Damaged("export ordinal beyond the address table");
        }
        result.push_back({CString(U32(Offset(names + 4 * i, 4))),
                          U32(Offset(functions + 4 * uint32_t{ordinal}, 4))});
    }
    return result;
}

std::vector<std::string> PeImage::ImportedDlls() const {
    std::vector<std::string> result;
    if (imports_.rva == 0) {
        return result;
    }
    for (uint32_t entry = imports_.rva;; entry += 20) {
        const uint32_t at = Offset(entry, 20);
        const uint32_t name = U32(at + 12);
        if (name == 0 && U32(at) == 0 && U32(at + 16) == 0) {
            break;
        }
        result.push_back(CString(name));
    }
    return result;
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> PeImage::Resource(
    const std::string& typeName, uint32_t id) const {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> result;
    if (resources_.rva == 0) {
        return result;
    }
    const uint32_t base = resources_.rva;
    struct Entry {
        bool named;
        std::string name;
        uint32_t id;
        bool directory;
        uint32_t offset;  // from the start of the resource section
    };
    auto entries = [&](uint32_t offset) {
        const uint32_t at = Offset(base + offset, 16);
        const uint32_t count = uint32_t{U16(at + 12)} + U16(at + 14);
        std::vector<Entry> list;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t e = Offset(base + offset + 16 + 8 * i, 8);
            const uint32_t key = U32(e);
            const uint32_t target = U32(e + 4);
            Entry entry{
                (key & kHighBit) != 0, {}, key, (target & kHighBit) != 0, target & ~kHighBit};
            if (entry.named) {
                // A length-prefixed UTF-16 name; resource type names are ASCII.
                const uint32_t nameAt = Offset(base + (key & ~kHighBit), 2);
                const uint16_t length = U16(nameAt);
                Offset(base + (key & ~kHighBit), 2 + 2 * uint32_t{length});
                for (uint16_t c = 0; c < length; ++c) {
                    entry.name += char(U16(nameAt + 2 + 2 * std::size_t(c)) & 0x7F);
                }
            }
            list.push_back(entry);
        }
        return list;
    };
    // Three levels: type, name or id, language; a fourth is damage.
    for (const Entry& type : entries(0)) {
        if (!type.named || type.name != typeName || !type.directory) {
            continue;
        }
        for (const Entry& name : entries(type.offset)) {
            if (name.named || name.id != id || !name.directory) {
                continue;
            }
            for (const Entry& language : entries(name.offset)) {
                if (language.directory) {
                    throw Damaged("resource tree deeper than type, name and language");
                }
                const uint32_t leaf = Offset(base + language.offset, 16);
                result.emplace_back(language.id, BytesAt(U32(leaf), U32(leaf + 4)));
            }
        }
    }
    return result;
}

}  // namespace tarsivel::testing
