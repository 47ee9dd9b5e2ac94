// The fake CUDA driver library (see fake_cuda_state.h). One device, device 0;
// contexts are tokens; device memory is host memory; a module is read from the
// fatbin it is given, so that launches copy each parameter at the size the
// kernel's PTX declares, as the real driver does from its module.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "tests/support/fake_cuda/fake_cuda_state.h"
#include "tests/support/fatbin_reader.h"

using namespace tarsivel;
using tarsivel::testing::FakeCudaState;

namespace {

std::recursive_mutex& Lock() {
    static std::recursive_mutex lock;
    return lock;
}

FakeCudaState& State() {
    static FakeCudaState* state = new FakeCudaState;
    return *state;
}

std::set<CUcontext>& MadeContexts() {
    static std::set<CUcontext>* made = new std::set<CUcontext>;
    return *made;
}

thread_local std::vector<CUcontext> contextStack;

CUcontext PrimaryContext() {
    static char token;
    return reinterpret_cast<CUcontext>(&token);
}

bool Valid(CUcontext context) {
    return (context == PrimaryContext() && State().primaryRetains > 0) ||
           MadeContexts().count(context) != 0;
}

CUcontext Current() {
    return contextStack.empty() ? nullptr : contextStack.back();
}

// Records the call and returns the failure planned for it, if any.
CUresult Enter(const char* name) {
    FakeCudaState& state = State();
    state.calls.emplace_back(name);
    auto planned = state.failures.find(name);
    if (planned != state.failures.end() && --planned->second.first == 0) {
        const CUresult error = planned->second.second;
        state.failures.erase(planned);
        return error;
    }
    return CUDA_SUCCESS;
}

// Calls that work in the current context need a valid one.
CUresult NeedContext() {
    return Valid(Current()) ? CUDA_SUCCESS : CUDA_ERROR_INVALID_CONTEXT;
}

// The allocation holding [pointer, pointer + bytes), or none.
bool Inside(CUdeviceptr pointer, std::size_t bytes) {
    const auto& allocations = State().allocations;
    auto it = allocations.upper_bound(pointer);
    if (it == allocations.begin()) {
        return false;
    }
    --it;
    return pointer + bytes <= it->first + it->second;
}

void* Host(CUdeviceptr pointer) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(pointer));
}

}  // namespace

#define FAKE_ENTER(name)                                \
    std::lock_guard<std::recursive_mutex> hold(Lock()); \
    if (const CUresult planned = Enter(name)) {         \
        return planned;                                 \
    }

extern "C" {

__attribute__((visibility("default"))) FakeCudaState* FakeCudaDriverState() {
    return &State();
}

__attribute__((visibility("default"))) CUcontext FakeCudaMakeContext() {
    std::lock_guard<std::recursive_mutex> hold(Lock());
    CUcontext context = reinterpret_cast<CUcontext>(new char);
    MadeContexts().insert(context);
    return context;
}

__attribute__((visibility("default"))) int FakeCudaContextDepth() {
    return int(contextStack.size());
}

// TARSIVEL_FAKE_CUDA_INIT=<code> makes cuInit fail as a driver without a
// usable GPU does.
__attribute__((visibility("default"))) CUresult cuInit(unsigned int flags) {
    FAKE_ENTER("cuInit");
    if (const char* planned = std::getenv("TARSIVEL_FAKE_CUDA_INIT")) {
        return std::atoi(planned);
    }
    return flags == 0 ? CUDA_SUCCESS : CUDA_ERROR_INVALID_VALUE;
}

__attribute__((visibility("default"))) CUresult cuDriverGetVersion(int* version) {
    FAKE_ENTER("cuDriverGetVersion");
    *version = 12040;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuGetErrorName(CUresult error, const char** name) {
    switch (error) {
        case CUDA_ERROR_OUT_OF_MEMORY:
            *name = "CUDA_ERROR_OUT_OF_MEMORY";
            return CUDA_SUCCESS;
        case CUDA_ERROR_NO_BINARY_FOR_GPU:
            *name = "CUDA_ERROR_NO_BINARY_FOR_GPU";
            return CUDA_SUCCESS;
        default:
            *name = nullptr;
            return CUDA_ERROR_INVALID_VALUE;
    }
}

__attribute__((visibility("default"))) CUresult cuDeviceGetCount(int* count) {
    FAKE_ENTER("cuDeviceGetCount");
    *count = State().deviceCount;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuDeviceGet(CUdevice* device, int ordinal) {
    FAKE_ENTER("cuDeviceGet");
    if (ordinal < 0 || ordinal >= State().deviceCount) {
        return 101;  // CUDA_ERROR_INVALID_DEVICE
    }
    *device = ordinal;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuDeviceGetName(char* name, int length, CUdevice) {
    FAKE_ENTER("cuDeviceGetName");
    std::snprintf(name, std::size_t(length), "%s", "Fake GPU");
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuDeviceGetAttribute(int* value, int attribute,
                                                                     CUdevice) {
    FAKE_ENTER("cuDeviceGetAttribute");
    *value = attribute == CU_DEVICE_ATTRIBUTE_COMPUTE_CAPABILITY_MAJOR ? 7 : 5;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuDevicePrimaryCtxRetain(CUcontext* context,
                                                                         CUdevice device) {
    FAKE_ENTER("cuDevicePrimaryCtxRetain");
    if (device != 0) {
        return 101;
    }
    ++State().primaryRetains;
    *context = PrimaryContext();
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuDevicePrimaryCtxRelease_v2(CUdevice device) {
    FAKE_ENTER("cuDevicePrimaryCtxRelease_v2");
    if (device != 0 || State().primaryRetains == 0) {
        return CUDA_ERROR_INVALID_CONTEXT;
    }
    --State().primaryRetains;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuCtxGetCurrent(CUcontext* context) {
    FAKE_ENTER("cuCtxGetCurrent");
    *context = Current();
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuCtxPushCurrent_v2(CUcontext context) {
    FAKE_ENTER("cuCtxPushCurrent_v2");
    if (!Valid(context)) {
        return CUDA_ERROR_INVALID_CONTEXT;
    }
    contextStack.push_back(context);
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuCtxPopCurrent_v2(CUcontext* context) {
    FAKE_ENTER("cuCtxPopCurrent_v2");
    if (contextStack.empty()) {
        return CUDA_ERROR_INVALID_CONTEXT;
    }
    if (context != nullptr) {
        *context = contextStack.back();
    }
    contextStack.pop_back();
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuCtxSynchronize() {
    FAKE_ENTER("cuCtxSynchronize");
    return NeedContext();
}

__attribute__((visibility("default"))) CUresult cuModuleLoadData(CUmodule* module,
                                                                 const void* image) {
    FAKE_ENTER("cuModuleLoadData");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    // The fatbin says how long it is; no more is read.
    const auto* bytes = static_cast<const uint8_t*>(image);
    const auto fatbin = testing::ReadFatbin(bytes, std::size_t(1) << 30);
    if (!fatbin) {
        return CUDA_ERROR_INVALID_IMAGE;
    }
    testing::FakeModule loaded;
    loaded.context = Current();
    loaded.imageSize = fatbin->size;
    for (const testing::FatbinImage& part : fatbin->images) {
        if (part.kind == testing::kFatbinPtx && part.compressedSize == 0) {
            const std::string ptx = testing::PayloadText(part);
            loaded.entries["RenderRopeKernel"] =
                testing::PtxParameterSizes(ptx, "RenderRopeKernel");
        }
    }
    *module = reinterpret_cast<CUmodule>(new char);
    State().modules[*module] = loaded;
    ++State().modulesLoaded;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuModuleGetFunction(CUfunction* function,
                                                                    CUmodule module,
                                                                    const char* name) {
    FAKE_ENTER("cuModuleGetFunction");
    auto it = State().modules.find(module);
    if (it == State().modules.end()) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    auto entry = it->second.entries.find(name);
    if (entry == it->second.entries.end() || entry->second.empty()) {
        return CUDA_ERROR_NOT_FOUND;
    }
    // The function is its module's entry, found again at launch.
    *function = reinterpret_cast<CUfunction>(module);
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuModuleUnload(CUmodule module) {
    FAKE_ENTER("cuModuleUnload");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    if (State().modules.erase(module) == 0) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    delete reinterpret_cast<char*>(module);
    ++State().modulesUnloaded;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuMemAlloc_v2(CUdeviceptr* pointer,
                                                              std::size_t bytes) {
    FAKE_ENTER("cuMemAlloc_v2");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    if (bytes == 0) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    void* memory = std::malloc(bytes);
    *pointer = static_cast<CUdeviceptr>(reinterpret_cast<std::uintptr_t>(memory));
    State().allocations[*pointer] = bytes;
    ++State().allocationsMade;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuMemFree_v2(CUdeviceptr pointer) {
    FAKE_ENTER("cuMemFree_v2");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    if (State().allocations.erase(pointer) == 0) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    std::free(Host(pointer));
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuMemcpyHtoD_v2(CUdeviceptr destination,
                                                                const void* source,
                                                                std::size_t bytes) {
    FAKE_ENTER("cuMemcpyHtoD_v2");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    if (!Inside(destination, bytes)) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    std::memcpy(Host(destination), source, bytes);
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuMemcpyDtoH_v2(void* destination,
                                                                CUdeviceptr source,
                                                                std::size_t bytes) {
    FAKE_ENTER("cuMemcpyDtoH_v2");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    if (!Inside(source, bytes)) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    std::memcpy(destination, Host(source), bytes);
    return CUDA_SUCCESS;
}

// The build of the fake as a driver too old for the plug-in leaves this out.
#ifndef TARSIVEL_FAKE_CUDA_WITHOUT_LAUNCH
__attribute__((visibility("default"))) CUresult cuLaunchKernel(
    CUfunction function, unsigned int gridX, unsigned int gridY, unsigned int gridZ,
    unsigned int blockX, unsigned int blockY, unsigned int blockZ, unsigned int sharedBytes,
    CUstream stream, void** parameters, void** extra) {
    FAKE_ENTER("cuLaunchKernel");
    if (const CUresult result = NeedContext()) {
        return result;
    }
    auto module = State().modules.find(reinterpret_cast<CUmodule>(function));
    if (module == State().modules.end() || module->second.context != Current()) {
        return CUDA_ERROR_INVALID_CONTEXT;
    }
    if (parameters == nullptr || extra != nullptr) {
        return CUDA_ERROR_INVALID_VALUE;
    }
    testing::FakeLaunch launch;
    launch.function = function;
    launch.context = Current();
    launch.grid[0] = gridX;
    launch.grid[1] = gridY;
    launch.grid[2] = gridZ;
    launch.block[0] = blockX;
    launch.block[1] = blockY;
    launch.block[2] = blockZ;
    launch.sharedBytes = sharedBytes;
    launch.stream = stream;
    for (std::size_t i = 0; i < module->second.entries["RenderRopeKernel"].size(); ++i) {
        const std::size_t size = module->second.entries["RenderRopeKernel"][i];
        const auto* value = static_cast<const uint8_t*>(parameters[i]);
        launch.parameters.emplace_back(value, value + size);
        std::vector<uint8_t> pointed;
        if (size == sizeof(CUdeviceptr)) {
            CUdeviceptr pointer = 0;
            std::memcpy(&pointer, value, sizeof pointer);
            auto allocation = State().allocations.find(pointer);
            if (allocation != State().allocations.end()) {
                const auto* start = static_cast<const uint8_t*>(Host(pointer));
                pointed.assign(start, start + allocation->second);
            }
        }
        launch.pointedBytes.push_back(std::move(pointed));
    }
    State().launches.push_back(std::move(launch));
    return CUDA_SUCCESS;
}
#endif

__attribute__((visibility("default"))) CUresult cuEventCreate(CUevent* event, unsigned int) {
    FAKE_ENTER("cuEventCreate");
    *event = reinterpret_cast<CUevent>(new char);
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuEventRecord(CUevent, CUstream) {
    FAKE_ENTER("cuEventRecord");
    return NeedContext();
}

__attribute__((visibility("default"))) CUresult cuEventSynchronize(CUevent) {
    FAKE_ENTER("cuEventSynchronize");
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuEventElapsedTime(float* milliseconds, CUevent,
                                                                   CUevent) {
    FAKE_ENTER("cuEventElapsedTime");
    *milliseconds = 0.0f;
    return CUDA_SUCCESS;
}

__attribute__((visibility("default"))) CUresult cuEventDestroy_v2(CUevent event) {
    FAKE_ENTER("cuEventDestroy_v2");
    delete reinterpret_cast<char*>(event);
    return CUDA_SUCCESS;
}

}  // extern "C"
