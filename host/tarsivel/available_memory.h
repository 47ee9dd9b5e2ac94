// What the operating system can still give a render, for the memory estimate
// to be checked against before the first frame.
#ifndef TARSIVEL_HOST_TARSIVEL_AVAILABLE_MEMORY_H
#define TARSIVEL_HOST_TARSIVEL_AVAILABLE_MEMORY_H

#include <cstdint>
#include <istream>

namespace tarsivel::cli {

// In bytes; 0 when unknown.
uint64_t AvailableMemory();

// The "MemAvailable:" entry of a Linux /proc/meminfo text (kB), in bytes; 0
// when the text has none or stops making sense before it.
uint64_t MemAvailableIn(std::istream& meminfo);

}  // namespace tarsivel::cli

#endif
