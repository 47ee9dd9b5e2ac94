#include "host/protocol/elf_file.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace tarsivel::host {
namespace {

template <class T>
bool ReadAt(const std::vector<uint8_t>& bytes, uint64_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

std::string StringAt(const std::vector<uint8_t>& table, uint64_t offset) {
    if (offset >= table.size()) {
        return {};
    }
    const auto* start = reinterpret_cast<const char*>(table.data() + offset);
    return std::string(start, strnlen(start, table.size() - offset));
}

}  // namespace

std::optional<ElfFile> ElfFile::Open(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    ElfFile file(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    if (!file.Parse(error)) {
        error = path + ": " + error;
        return std::nullopt;
    }
    return file;
}

bool ElfFile::Parse(std::string& error) {
    Elf64_Ehdr header;
    if (!ReadAt(bytes_, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        error = "not a 64-bit ELF file";
        return false;
    }
    std::vector<Elf64_Shdr> raw(header.e_shnum);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!ReadAt(bytes_, header.e_shoff + i * header.e_shentsize, raw[i])) {
            error = "section headers run past the end of the file";
            return false;
        }
    }
    if (header.e_shstrndx >= raw.size()) {
        error = "no section name table";
        return false;
    }
    const Elf64_Shdr& names = raw[header.e_shstrndx];
    const std::vector<uint8_t> nameTable =
        Bytes({"", names.sh_type, names.sh_offset, names.sh_size, 0, 0});
    for (const Elf64_Shdr& s : raw) {
        sections_.push_back({StringAt(nameTable, s.sh_name), s.sh_type, s.sh_offset, s.sh_size,
                             s.sh_link, s.sh_entsize});
    }
    return true;
}

std::vector<uint8_t> ElfFile::Bytes(const SectionInfo& s) const {
    if (s.type == SHT_NOBITS || s.offset > bytes_.size() || bytes_.size() - s.offset < s.size) {
        return {};
    }
    const auto begin = bytes_.begin() + std::ptrdiff_t(s.offset);
    return std::vector<uint8_t>(begin, begin + std::ptrdiff_t(s.size));
}

std::optional<std::vector<uint8_t>> ElfFile::Section(const std::string& name) const {
    for (const SectionInfo& s : sections_) {
        if (s.name == name) {
            return Bytes(s);
        }
    }
    return std::nullopt;
}

std::vector<std::string> ElfFile::ExportedSymbols() const {
    std::vector<std::string> names;
    for (const SectionInfo& s : sections_) {
        if (s.type != SHT_DYNSYM || s.link >= sections_.size() || s.entrySize == 0) {
            continue;
        }
        const std::vector<uint8_t> symbols = Bytes(s);
        const std::vector<uint8_t> strings = Bytes(sections_[s.link]);
        for (uint64_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.size();
             offset += s.entrySize) {
            Elf64_Sym sym;
            ReadAt(symbols, offset, sym);
            const unsigned bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK)) {
                names.push_back(StringAt(strings, sym.st_name));
            }
        }
    }
    return names;
}

}  // namespace tarsivel::host
