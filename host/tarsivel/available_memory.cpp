#include "host/tarsivel/available_memory.h"

#include <fstream>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarsivel::cli {

uint64_t MemAvailableIn(std::istream& meminfo) {
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") {
            return kib * 1024;
        }
    }
    return 0;
}

#if defined(_WIN32)
uint64_t AvailableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t{status.ullAvailPhys} : 0;
}
#else
uint64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    return MemAvailableIn(meminfo);
}
#endif

}  // namespace tarsivel::cli
