#include "host/tarsivel/output_files.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace tarsivel::cli {
namespace {

// Slots for the temporary files being written, readable from a signal handler
// (fixed storage, no allocation, no locks).
constexpr std::size_t kSlots = 64;
constexpr std::size_t kPathLength = 4096;
struct Slot {
    std::atomic<bool> used{false};
    char path[kPathLength];
};
std::array<Slot, kSlots> slots;

int Claim(const std::string& path) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (path.size() < kPathLength &&
            slots[i].used.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            return int(i);
        }
    }
    return -1;
}

void Release(int slot) {
    if (slot >= 0) {
        slots[std::size_t(slot)].used.store(false, std::memory_order_release);
    }
}

extern "C" void RemoveTemporaryFilesAndExit(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) {
            std::remove(slot.path);
        }
    }
    std::_Exit(128 + signal);
}

}  // namespace

bool HasFrameNumber(const std::string& pattern) {
    return pattern.find('#') != std::string::npos;
}

std::string ExpandPattern(const std::string& pattern, int frame) {
    const std::size_t start = pattern.find('#');
    if (start == std::string::npos) {
        return pattern;
    }
    std::size_t end = start;
    while (end < pattern.size() && pattern[end] == '#') {
        ++end;
    }
    std::string number = std::to_string(frame);
    const std::size_t width = end - start;
    if (number.size() < width) {
        number.insert(0, width - number.size(), '0');
    }
    return pattern.substr(0, start) + number + pattern.substr(end);
}

void InstallInterruptCleanup() {
    std::signal(SIGINT, RemoveTemporaryFilesAndExit);
    std::signal(SIGTERM, RemoveTemporaryFilesAndExit);
}

void WriteAtomically(const std::string& path,
                     const std::function<void(const std::string&)>& write) {
    const std::filesystem::path final(path);
    if (final.has_parent_path()) {
        std::filesystem::create_directories(final.parent_path());
    }
    // The extension stays last so the writers recognise the format.
    const std::string temporary =
        (final.parent_path() / ("." + final.stem().string() + ".tmp-" + std::to_string(getpid()) +
                                final.extension().string()))
            .string();
    const int slot = Claim(temporary);
    try {
        write(temporary);
        std::filesystem::rename(temporary, final);
    } catch (...) {
        std::remove(temporary.c_str());
        Release(slot);
        throw;
    }
    Release(slot);
}

}  // namespace tarsivel::cli
