// Whole files in and out of memory, for the image file writers.
#ifndef TARSIVEL_HOST_IMAGES_FILE_BYTES_H
#define TARSIVEL_HOST_IMAGES_FILE_BYTES_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarsivel::host {

// Creates or replaces `path` with `bytes`. Throws std::runtime_error, naming
// the file and the reason, when it cannot be written.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tarsivel::host

#endif
