#include "host/protocol/pipl.h"

#include <cstdio>
#include <sstream>

namespace tarsivel::host {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

}  // namespace

uint32_t FourCC(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

std::string FourCCText(uint32_t code) {
    return {char(code >> 24), char((code >> 16) & 0xFF), char((code >> 8) & 0xFF),
            char(code & 0xFF)};
}

const PiplProperty* Pipl::Find(const char (&key)[5]) const {
    for (const PiplProperty& p : properties) {
        if (p.key == FourCC(key)) {
            return &p;
        }
    }
    return nullptr;
}

std::optional<Pipl> DecodePipl(const std::vector<uint8_t>& bytes, std::string& error) {
    if (bytes.size() < 10) {
        error = "PiPL shorter than its header";
        return std::nullopt;
    }
    Pipl pipl;
    pipl.version = uint16_t(bytes[0] | bytes[1] << 8);
    pipl.reserved = Le32(bytes, 2);
    const uint32_t count = Le32(bytes, 6);
    std::size_t at = 10;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 16) {
            error = "PiPL property " + std::to_string(i) + " runs past the end";
            return std::nullopt;
        }
        PiplProperty p{
            Le32(bytes, at), Le32(bytes, at + 4), Le32(bytes, at + 8), Le32(bytes, at + 12), {}};
        at += 16;
        // The reader moves on by the length rounded up to 4.
        const std::size_t padded = (std::size_t(p.length) + 3) / 4 * 4;
        if (bytes.size() - at < padded) {
            error = "PiPL property " + FourCCText(p.key) + " data runs past the end";
            return std::nullopt;
        }
        p.data.assign(bytes.begin() + std::ptrdiff_t(at),
                      bytes.begin() + std::ptrdiff_t(at + padded));
        at += padded;
        pipl.properties.push_back(std::move(p));
    }
    return pipl;
}

std::string PascalString(const PiplProperty& p) {
    if (p.data.empty() || p.data.size() < std::size_t(p.data[0]) + 1) {
        return {};
    }
    return std::string(p.data.begin() + 1, p.data.begin() + 1 + p.data[0]);
}

std::string ZeroTerminatedString(const PiplProperty& p) {
    std::string text;
    for (uint8_t c : p.data) {
        if (c == 0) {
            break;
        }
        text += char(c);
    }
    return text;
}

uint32_t U32(const PiplProperty& p) {
    return p.data.size() >= 4 ? Le32(p.data, 0) : 0;
}

uint16_t U16(const PiplProperty& p, std::size_t index) {
    const std::size_t at = 2 * index;
    return p.data.size() >= at + 2 ? uint16_t(p.data[at] | p.data[at + 1] << 8) : 0;
}

std::string DescribePipl(const Pipl& pipl) {
    std::ostringstream text;
    text << "PiPL version " << pipl.version << ", " << pipl.properties.size() << " properties\n";
    for (const PiplProperty& p : pipl.properties) {
        const std::string key = FourCCText(p.key);
        text << "  " << FourCCText(p.vendor) << " '" << key << "' length " << p.length << ": ";
        if (key == "name" || key == "catg" || key == "eMNA") {
            text << '"' << PascalString(p) << '"';
        } else if (key == "8664") {
            text << '"' << ZeroTerminatedString(p) << '"';
        } else if (key == "kind") {
            text << "'" << FourCCText(U32(p)) << "'";
        } else if (key == "ePVR" || key == "eSVR") {
            text << U16(p, 0) << "." << U16(p, 1);
        } else if (key == "eINF") {
            text << Hex(U16(p, 0));
        } else {
            text << Hex(U32(p));
        }
        text << "\n";
    }
    return text.str();
}

}  // namespace tarsivel::host
