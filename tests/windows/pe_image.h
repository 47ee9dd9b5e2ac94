// Reads what the Windows loader and a host would see in a PE32+ file on disk:
// sections, the export directory, the import list and resources. Every offset
// is bounds-checked, so a damaged file yields an error, never a wild read.
#ifndef TARSIVEL_TESTS_WINDOWS_PE_IMAGE_H
#define TARSIVEL_TESTS_WINDOWS_PE_IMAGE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsivel::testing {

struct PeSection {
    std::string name;
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
    uint32_t characteristics;  // IMAGE_SCN_* bits
};

struct PeExport {
    std::string name;
    uint32_t rva;
};

class PeImage {
  public:
    // Null with `error` set when the file cannot be read or is no PE32+ image.
    static std::optional<PeImage> Open(const std::string& path, std::string& error);

    uint16_t Machine() const { return machine_; }
    uint16_t Characteristics() const { return characteristics_; }
    const std::vector<PeSection>& Sections() const { return sections_; }
    const PeSection* SectionOf(uint32_t rva) const;

    // Throw std::runtime_error when a directory is damaged.
    std::vector<PeExport> Exports() const;
    std::vector<std::string> ImportedDlls() const;
    // The data of resource type `typeName` (a named type), id `id`, per language.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Resource(const std::string& typeName,
                                                                    uint32_t id) const;

    // `count` bytes at an RVA, within the file's data of its section.
    std::vector<uint8_t> BytesAt(uint32_t rva, uint32_t count) const;

  private:
    explicit PeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Parse(std::string& error);
    uint32_t Offset(uint32_t rva, uint32_t count) const;
    uint16_t U16(std::size_t offset) const;
    uint32_t U32(std::size_t offset) const;
    std::string CString(uint32_t rva) const;
    struct Directory {
        uint32_t rva = 0;
        uint32_t size = 0;
    };

    std::vector<uint8_t> bytes_;
    uint16_t machine_ = 0;
    uint16_t characteristics_ = 0;
    std::vector<PeSection> sections_;
    Directory exports_;
    Directory imports_;
    Directory resources_;
};

}  // namespace tarsivel::testing

#endif
