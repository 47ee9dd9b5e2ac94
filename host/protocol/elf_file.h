// Reads what a host needs from a 64-bit ELF shared library on disk: a section's
// bytes by name (the PiPL lives in ".pipl") and the names of the defined
// dynamic symbols.
#ifndef TARSIVEL_HOST_PROTOCOL_ELF_FILE_H
#define TARSIVEL_HOST_PROTOCOL_ELF_FILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsivel::host {

class ElfFile {
  public:
    // Null with `error` set when the file cannot be read or is no 64-bit ELF.
    static std::optional<ElfFile> Open(const std::string& path, std::string& error);

    std::optional<std::vector<uint8_t>> Section(const std::string& name) const;
    // Defined global or weak symbols of the dynamic symbol table.
    std::vector<std::string> ExportedSymbols() const;

  private:
    struct SectionInfo {
        std::string name;
        uint32_t type;
        uint64_t offset;
        uint64_t size;
        uint32_t link;
        uint64_t entrySize;
    };
    explicit ElfFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Parse(std::string& error);
    std::vector<uint8_t> Bytes(const SectionInfo& s) const;

    std::vector<uint8_t> bytes_;
    std::vector<SectionInfo> sections_;
};

}  // namespace tarsivel::host

#endif
