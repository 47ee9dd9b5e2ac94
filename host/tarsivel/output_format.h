// What an output file name asks for: its extension decides the format, and
// the render's depth decides the samples within it.
#ifndef TARSIVEL_HOST_TARSIVEL_OUTPUT_FORMAT_H
#define TARSIVEL_HOST_TARSIVEL_OUTPUT_FORMAT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/images/exr_io.h"
#include "host/protocol/image_world.h"

namespace tarsivel::cli {

enum class OutputFormat { kPng, kExr, kRaw, kMov, kMp4 };

// Whether the format is one movie file rather than a file a frame.
bool IsMovie(OutputFormat format);

// The format of `path` by its extension, in any letter case. A device or a
// pipe named without an extension (-o /dev/stdout) gets the format a render
// of `depth` bits writes by default. Throws ExitError naming the file and
// listing the extensions this build writes.
OutputFormat FormatOfPath(const std::string& path, int depth);
// The format a render of `depth` bits writes by default.
OutputFormat DefaultFormat(int depth);
const char* ExtensionOf(OutputFormat format);

// The file's bytes of a frame rendered at `depth` bits:
// - PNG: 8 bits a channel from an 8-bit render, 16 bits from 16 and 32;
// - OpenEXR: half channels from 8 and 16 bits, 32-bit float from 32,
//   premultiplied, with `rate` as its frame rate when given;
// - raw: the world as it is.
// Movies are not frame files: MovieWriter writes them.
std::vector<uint8_t> EncodeFrame(const host::ImageWorld& image, OutputFormat format,
                                 std::optional<host::ExrFrameRate> rate = std::nullopt);

// A note for the user when the format holds less than the render, or "".
std::string PrecisionNote(OutputFormat format, int depth);

}  // namespace tarsivel::cli

#endif
