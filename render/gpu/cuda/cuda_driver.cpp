#include "cuda_driver.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tarsivel {
namespace {

#if defined(_WIN32)
constexpr char kLibraryName[] = "nvcuda.dll";

// The display driver installs it in the system folder; looking only there
// keeps a file of that name beside the host from being loaded instead.
void* OpenLibrary() {
    return reinterpret_cast<void*>(
        LoadLibraryExA(kLibraryName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

void* Symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
#else
constexpr char kLibraryName[] = "libcuda.so.1";

void* OpenLibrary() {
    return dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
}

void* Symbol(void* library, const char* name) {
    return dlsym(library, name);
}

void CloseLibrary(void* library) {
    dlclose(library);
}
#endif

template <class Function>
bool Resolve(void* library, const char* name, Function*& function, std::string& missing) {
    void* symbol = Symbol(library, name);
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    if (symbol == nullptr && missing.empty()) {
        missing = name;
    }
    return symbol != nullptr;
}

struct LoadedDriver {
    CudaDriver driver{};
    bool ready = false;
    std::string why;
};

LoadedDriver Load() {
    LoadedDriver loaded;
    void* library = OpenLibrary();
    if (library == nullptr) {
        loaded.why =
            "no CUDA driver on this machine (" + std::string(kLibraryName) + " cannot be loaded)";
        return loaded;
    }
    CudaDriver& d = loaded.driver;
    std::string missing;
    // The versioned names are the current forms of the calls whose first
    // versions took 32-bit sizes and pointers.
    Resolve(library, "cuInit", d.cuInit, missing);
    Resolve(library, "cuDriverGetVersion", d.cuDriverGetVersion, missing);
    Resolve(library, "cuGetErrorName", d.cuGetErrorName, missing);
    Resolve(library, "cuDeviceGetCount", d.cuDeviceGetCount, missing);
    Resolve(library, "cuDeviceGet", d.cuDeviceGet, missing);
    Resolve(library, "cuDeviceGetName", d.cuDeviceGetName, missing);
    Resolve(library, "cuDeviceGetAttribute", d.cuDeviceGetAttribute, missing);
    Resolve(library, "cuDevicePrimaryCtxRetain", d.cuDevicePrimaryCtxRetain, missing);
    Resolve(library, "cuDevicePrimaryCtxRelease_v2", d.cuDevicePrimaryCtxRelease, missing);
    Resolve(library, "cuCtxGetCurrent", d.cuCtxGetCurrent, missing);
    Resolve(library, "cuCtxPushCurrent_v2", d.cuCtxPushCurrent, missing);
    Resolve(library, "cuCtxPopCurrent_v2", d.cuCtxPopCurrent, missing);
    Resolve(library, "cuCtxSynchronize", d.cuCtxSynchronize, missing);
    Resolve(library, "cuModuleLoadData", d.cuModuleLoadData, missing);
    Resolve(library, "cuModuleGetFunction", d.cuModuleGetFunction, missing);
    Resolve(library, "cuModuleUnload", d.cuModuleUnload, missing);
    Resolve(library, "cuMemAlloc_v2", d.cuMemAlloc, missing);
    Resolve(library, "cuMemFree_v2", d.cuMemFree, missing);
    Resolve(library, "cuMemcpyHtoD_v2", d.cuMemcpyHtoD, missing);
    Resolve(library, "cuMemcpyDtoH_v2", d.cuMemcpyDtoH, missing);
    Resolve(library, "cuLaunchKernel", d.cuLaunchKernel, missing);
    Resolve(library, "cuEventCreate", d.cuEventCreate, missing);
    Resolve(library, "cuEventRecord", d.cuEventRecord, missing);
    Resolve(library, "cuEventSynchronize", d.cuEventSynchronize, missing);
    Resolve(library, "cuEventElapsedTime", d.cuEventElapsedTime, missing);
    Resolve(library, "cuEventDestroy_v2", d.cuEventDestroy, missing);
    if (!missing.empty()) {
        CloseLibrary(library);
        loaded.why = "the CUDA driver on this machine is too old (" + std::string(kLibraryName) +
                     " has no " + missing + ")";
        return loaded;
    }
    if (const CUresult result = d.cuInit(0); result != CUDA_SUCCESS) {
        // Kept loaded: the driver may hold on to what cuInit set up.
        loaded.why = "the CUDA driver failed to start: cuInit returned " + CudaErrorText(d, result);
        return loaded;
    }
    loaded.ready = true;
    return loaded;
}

}  // namespace

const CudaDriver* LoadCudaDriver(std::string* why) {
    // Made once, thread-safely; the library itself is never closed.
    static const LoadedDriver loaded = Load();
    if (!loaded.ready) {
        if (why != nullptr) {
            *why = loaded.why;
        }
        return nullptr;
    }
    return &loaded.driver;
}

std::string CudaErrorText(const CudaDriver& driver, CUresult result) {
    const char* name = nullptr;
    if (driver.cuGetErrorName != nullptr && driver.cuGetErrorName(result, &name) == CUDA_SUCCESS &&
        name != nullptr) {
        return std::string(name) + " (" + std::to_string(result) + ")";
    }
    return std::to_string(result);
}

}  // namespace tarsivel
