#include "tests/render/failing_allocation.h"

#include <cstddef>
#include <new>

namespace {
thread_local bool failing = false;
thread_local int refused = 0;
}  // namespace

// Replaces the program's nothrow array allocation. When not failing it defers
// to the ordinary array allocation, so the matching delete[] stays correct
// (also under the sanitizers' own allocator).
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failing) {
        ++refused;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace tarsivel::testing {

NothrowArrayAllocationsFail::NothrowArrayAllocationsFail() {
    failing = true;
    refused = 0;
}

NothrowArrayAllocationsFail::~NothrowArrayAllocationsFail() {
    failing = false;
}

int NothrowArrayAllocationsFail::Refused() const {
    return refused;
}

}  // namespace tarsivel::testing
