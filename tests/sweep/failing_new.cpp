#include "tests/sweep/failing_new.h"

#include <link.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct Range {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool Holds(std::uintptr_t address) const { return address >= begin && address < end; }
};

// The executable code of this program and of the C++ standard library.
struct CodeRanges {
    Range program[4];
    Range standardLibrary[4];
};

void AddExecutableSegments(const dl_phdr_info* info, Range (&ranges)[4]) {
    int used = 0;
    for (int i = 0; i < info->dlpi_phnum && used < 4; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD && (header.p_flags & PF_X) != 0) {
            const std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
            ranges[used++] = Range{begin, begin + header.p_memsz};
        }
    }
}

int CollectRanges(dl_phdr_info* info, std::size_t /*size*/, void* data) {
    auto* ranges = static_cast<CodeRanges*>(data);
    const char* name = info->dlpi_name;
    if (name == nullptr || name[0] == '\0') {
        if (ranges->program[0].end == 0) {  // the first unnamed object is the program
            AddExecutableSegments(info, ranges->program);
        }
    } else if (std::strstr(name, "libstdc++") != nullptr) {
        AddExecutableSegments(info, ranges->standardLibrary);
    }
    return 0;
}

const CodeRanges& Ranges() {
    static const CodeRanges ranges = [] {
        CodeRanges collected;
        dl_iterate_phdr(CollectRanges, &collected);
        return collected;
    }();
    return ranges;
}

bool In(const Range (&ranges)[4], std::uintptr_t address) {
    for (const Range& range : ranges) {
        if (range.Holds(address)) {
            return true;
        }
    }
    return false;
}

thread_local bool armed = false;
thread_local int outside = 0;
thread_local long nthToFail = 0;
thread_local long counted = 0;
thread_local bool failed = false;

// Whether this allocation, asked for from `caller`, is the one to fail.
bool ShouldFail(void* caller) {
    if (!armed || outside > 0) {
        return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(caller);
    const CodeRanges& ranges = Ranges();
    if (!In(ranges.program, address) && !In(ranges.standardLibrary, address)) {
        return false;
    }
    if (++counted != nthToFail) {
        return false;
    }
    failed = true;
    return true;
}

void* Allocate(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size, void* caller) {
    if (ShouldFail(caller)) {
        throw std::bad_alloc();
    }
    if (void* memory = Allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}

}  // namespace

// Every replaceable form that allocates without alignment, so that new and
// delete always pair as malloc and free (also under the sanitizers).
void* operator new(std::size_t size) {
    return AllocateOrThrow(size, __builtin_return_address(0));
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size, __builtin_return_address(0));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return ShouldFail(__builtin_return_address(0)) ? nullptr : Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return ShouldFail(__builtin_return_address(0)) ? nullptr : Allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

namespace tarsivel::testing {

FailingNew::FailingNew(long nth) {
    Ranges();  // found before counting starts
    nthToFail = nth;
    counted = 0;
    failed = false;
    armed = true;
}

FailingNew::~FailingNew() {
    armed = false;
}

void FailingNew::Stop() {
    armed = false;
}

long FailingNew::Counted() const {
    return counted;
}

bool FailingNew::Failed() const {
    return failed;
}

FailingNew::Outside::Outside() {
    ++outside;
}

FailingNew::Outside::~Outside() {
    --outside;
}

}  // namespace tarsivel::testing
