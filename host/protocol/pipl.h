// Decoding a plug-in property list (PiPL) as a host reads it: a header, then
// properties of vendor, key, id, length and data, each padded to 4 bytes.
#ifndef TARSIVEL_HOST_PROTOCOL_PIPL_H
#define TARSIVEL_HOST_PROTOCOL_PIPL_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarsivel::host {

struct PiplProperty {
    uint32_t vendor;  // four-character codes as numbers: '8BIM' is 0x3842494D
    uint32_t key;
    uint32_t id;
    uint32_t length;  // as stored (the data may be padded beyond it)
    std::vector<uint8_t> data;
};

struct Pipl {
    uint16_t version = 0;
    uint32_t reserved = 0;
    std::vector<PiplProperty> properties;

    const PiplProperty* Find(const char (&key)[5]) const;
};

uint32_t FourCC(const char (&code)[5]);
std::string FourCCText(uint32_t code);
// "0x0000ABCD": flags and versions as a PiPL description and `tarsivel info`
// write them.
std::string Hex(uint32_t v);

// Null with `error` set when the bytes are no well-formed PiPL.
std::optional<Pipl> DecodePipl(const std::vector<uint8_t>& bytes, std::string& error);

// Values of one property's data.
std::string PascalString(const PiplProperty& p);
std::string ZeroTerminatedString(const PiplProperty& p);
uint32_t U32(const PiplProperty& p);
uint16_t U16(const PiplProperty& p, std::size_t index);

// The whole list, one property a line, for `tarsivel info`.
std::string DescribePipl(const Pipl& pipl);

}  // namespace tarsivel::host

#endif
