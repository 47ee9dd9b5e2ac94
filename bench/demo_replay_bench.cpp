// One smart pre-render of the demo scene lengthened to 300 frames, at its first frame and at its
// last: the time of the whole replay and how many times it allocates. Frame 0 replays the 15
// pre-roll frames and one more; frame 299 replays 299 frames beyond that, so the difference between
// the two counts is what the replayed frames allocate.
//
// The plug-in is loaded as a host loads it, and this program's operator new counts every
// allocation of the command (`allocations`, the reference host's included) and, apart, those
// called from the plug-in's own code (`effect_allocations`). With TARSIVEL_BASELINE_PLUGIN naming
// another build of the plug-in, that one is loaded beside it and timed in the same run
// (`DemoReplay/baseline/...`); --benchmark_enable_random_interleaving=true alternates the two.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <link.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "bench/demo_scene.h"

namespace {

// The executable code of one loaded plug-in, and the allocations called from it.
struct CodeRange {
    uintptr_t begin = 0;
    uintptr_t end = 0;
    std::atomic<int64_t> allocations{0};
};

// A plug-in's code may span a few executable segments; two plug-ins at most are loaded.
std::array<CodeRange, 8> codeRanges;
std::atomic<int> codeRangeCount{0};
std::atomic<int64_t> allocations{0};

void Count(uintptr_t caller) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    const int count = codeRangeCount.load(std::memory_order_relaxed);
    for (int i = 0; i < count; ++i) {
        CodeRange& range = codeRanges[static_cast<std::size_t>(i)];
        if (caller >= range.begin && caller < range.end) {
            range.allocations.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

uintptr_t Caller(void* returnAddress) {
    return reinterpret_cast<uintptr_t>(returnAddress);
}

void* Allocate(std::size_t size, uintptr_t caller) {
    Count(caller);
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment, uintptr_t caller) {
    Count(caller);
    const auto align = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    return std::aligned_alloc(align, (size + align - 1) / align * align);
}

void* OrThrow(void* p) {
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

}  // namespace

// Every form of operator new counts, by its caller; every form of delete gives the memory back to
// malloc. GCC sees these deletes inlined after operator new and takes free() for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    return OrThrow(Allocate(size, Caller(__builtin_return_address(0))));
}
void* operator new[](std::size_t size) {
    return OrThrow(Allocate(size, Caller(__builtin_return_address(0))));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, Caller(__builtin_return_address(0)));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, Caller(__builtin_return_address(0)));
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return OrThrow(AllocateAligned(size, alignment, Caller(__builtin_return_address(0))));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return OrThrow(AllocateAligned(size, alignment, Caller(__builtin_return_address(0))));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment, Caller(__builtin_return_address(0)));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment, Caller(__builtin_return_address(0)));
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace tarsivel {
namespace {

// Adds the executable segments of the object loaded at `base` as code ranges; returns the first.
int AddCodeRanges(uintptr_t base) {
    struct Search {
        uintptr_t base;
        int first;
    } search{base, codeRangeCount.load()};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_addr != s->base) {
                return 0;
            }
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                const int next = codeRangeCount.load();
                if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0 &&
                    next < int(codeRanges.size())) {
                    CodeRange& range = codeRanges[static_cast<std::size_t>(next)];
                    range.begin = info->dlpi_addr + segment.p_vaddr;
                    range.end = range.begin + segment.p_memsz;
                    codeRangeCount.store(next + 1);
                }
            }
            return 1;
        },
        &search);
    return search.first;
}

// One build of the plug-in with the demo scene, lengthened to 300 frames, applied to an instance.
struct Replay {
    explicit Replay(const std::string& path) : demo(path, 300) {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(demo.library->EntryPoint()), &info);
        firstRange = AddCodeRanges(reinterpret_cast<uintptr_t>(info.dli_fbase));
        lastRange = codeRangeCount.load();
    }

    int64_t EffectAllocations() const {
        int64_t sum = 0;
        for (int i = firstRange; i < lastRange; ++i) {
            sum += codeRanges[static_cast<std::size_t>(i)].allocations.load();
        }
        return sum;
    }

    bench::DemoScene demo;
    int firstRange = 0;
    int lastRange = 0;
};

// A build of the plug-in, loaded by its first benchmark (not while static objects are made, which
// the host's may not all be yet).
struct Build {
    std::string path;
    std::unique_ptr<Replay> replay;
};

void DemoReplay(benchmark::State& state, Build* build, int32_t frame) {
    if (!build->replay) {
        build->replay = std::make_unique<Replay>(build->path);
    }
    Replay* replay = build->replay.get();
    int64_t all = 0;
    int64_t effect = 0;
    for (auto _ : state) {
        std::unique_ptr<host::PreRenderSession> session;
        const int64_t allBefore = allocations.load();
        const int64_t effectBefore = replay->EffectAllocations();
        const PF_Err err = replay->demo.renderer->PreRender(frame, session).err;
        all += allocations.load() - allBefore;
        effect += replay->EffectAllocations() - effectBefore;
        if (err != PF_Err_NONE) {
            state.SkipWithError("pre-render failed");
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["allocations"] = static_cast<double>(all) / iterations;
    state.counters["effect_allocations"] = static_cast<double>(effect) / iterations;
}

const bool kRegistered = [] {
    const std::pair<const char*, const char*> builds[] = {
        {"baseline", std::getenv("TARSIVEL_BASELINE_PLUGIN")},
        {"this_build", TARSIVEL_PLUGIN_PATH}};
    for (const auto& [label, path] : builds) {
        if (path == nullptr) {
            continue;
        }
        auto* build = new Build{path, nullptr};  // Lives as long as the program.
        for (const int32_t frame : {0, 299}) {
            benchmark::RegisterBenchmark(
                (std::string("DemoReplay/") + label + "/frame:" + std::to_string(frame)).c_str(),
                [build, frame](benchmark::State& state) { DemoReplay(state, build, frame); })
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
}  // namespace tarsivel
