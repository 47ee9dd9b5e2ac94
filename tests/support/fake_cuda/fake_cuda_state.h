// The fake CUDA driver's record and controls. The fake is a shared library
// named as the real driver is ("libcuda.so.1"), found through the library path
// that the tests run with: it exports the driver entry points this project
// loads, keeps device memory in host memory, records every call and fails any
// call on request. Tests reach this state through FakeCudaDriverState().
#ifndef TARSIVEL_TESTS_SUPPORT_FAKE_CUDA_FAKE_CUDA_STATE_H
#define TARSIVEL_TESTS_SUPPORT_FAKE_CUDA_FAKE_CUDA_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "render/gpu/cuda/cuda_driver.h"

namespace tarsivel::testing {

struct FakeLaunch {
    CUfunction function = nullptr;
    CUcontext context = nullptr;
    unsigned int grid[3] = {};
    unsigned int block[3] = {};
    unsigned int sharedBytes = 0;
    CUstream stream = nullptr;
    // Each parameter's bytes, at the size the module declares for it.
    std::vector<std::vector<uint8_t>> parameters;
    // For each parameter that points at the start of an allocation: its bytes
    // when the kernel was launched (empty for any other parameter).
    std::vector<std::vector<uint8_t>> pointedBytes;
};

struct FakeModule {
    CUcontext context = nullptr;
    std::size_t imageSize = 0;  // the fatbin's own size, from its header
    std::map<std::string, std::vector<std::size_t>> entries;  // parameter sizes
};

struct FakeCudaState {
    // Every call by name, in order.
    std::vector<std::string> calls;
    // Call name → {calls still to pass before one fails, the error it returns}.
    std::map<std::string, std::pair<int, CUresult>> failures;

    int deviceCount = 1;
    int primaryRetains = 0;                  // references held on device 0's primary context
    std::map<CUmodule, FakeModule> modules;  // the loaded ones
    int modulesLoaded = 0;
    int modulesUnloaded = 0;
    std::map<CUdeviceptr, std::size_t> allocations;  // the live ones
    int allocationsMade = 0;
    std::vector<FakeLaunch> launches;

    // The `nth` call of `name` from now on fails with `error`.
    void FailNth(const std::string& name, int nth, CUresult error) {
        failures[name] = {nth, error};
    }
    int Calls(const std::string& name) const {
        int n = 0;
        for (const std::string& call : calls) {
            n += call == name ? 1 : 0;
        }
        return n;
    }
    // Forgets the calls, launches and failures; keeps memory, modules and contexts.
    void ClearRecord() {
        calls.clear();
        failures.clear();
        launches.clear();
    }
};

}  // namespace tarsivel::testing

extern "C" {
// The fake's state; the same object whoever loaded the library.
tarsivel::testing::FakeCudaState* FakeCudaDriverState();
// A context as a host makes one of its own, for the tests of the
// current-context path.
tarsivel::CUcontext FakeCudaMakeContext();
// How many contexts are pushed on the calling thread.
int FakeCudaContextDepth();
}

#endif
