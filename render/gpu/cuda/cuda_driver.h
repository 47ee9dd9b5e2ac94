// The CUDA driver library, loaded at run time rather than linked, so that the
// plug-in and the host load on machines without it: "libcuda.so.1" on Linux,
// "nvcuda.dll" on Windows. Only the few entry points this project calls are
// declared here, with the driver's own names, types and values, so that no
// CUDA header is needed to build against it.
#ifndef TARSIVEL_RENDER_GPU_CUDA_CUDA_DRIVER_H
#define TARSIVEL_RENDER_GPU_CUDA_CUDA_DRIVER_H

#include <cstddef>
#include <string>

namespace tarsivel {

using CUresult = int;
using CUdevice = int;
using CUdeviceptr = unsigned long long;
using CUcontext = struct CUctx_st*;
using CUmodule = struct CUmod_st*;
using CUfunction = struct CUfunc_st*;
using CUstream = struct CUstream_st*;
using CUevent = struct CUevent_st*;

inline constexpr CUresult CUDA_SUCCESS = 0;
inline constexpr CUresult CUDA_ERROR_INVALID_VALUE = 1;
inline constexpr CUresult CUDA_ERROR_OUT_OF_MEMORY = 2;
inline constexpr CUresult CUDA_ERROR_NO_DEVICE = 100;
inline constexpr CUresult CUDA_ERROR_INVALID_IMAGE = 200;
inline constexpr CUresult CUDA_ERROR_INVALID_CONTEXT = 201;
inline constexpr CUresult CUDA_ERROR_NO_BINARY_FOR_GPU = 209;
inline constexpr CUresult CUDA_ERROR_NOT_FOUND = 500;
inline constexpr CUresult CUDA_ERROR_LAUNCH_FAILED = 719;

inline constexpr int CU_DEVICE_ATTRIBUTE_COMPUTE_CAPABILITY_MAJOR = 75;
inline constexpr int CU_DEVICE_ATTRIBUTE_COMPUTE_CAPABILITY_MINOR = 76;

// The driver's entry points, resolved once per process. Every one is present
// when the library is: a library that lacks one is treated as absent.
struct CudaDriver {
    CUresult (*cuInit)(unsigned int flags);
    CUresult (*cuDriverGetVersion)(int* version);
    CUresult (*cuGetErrorName)(CUresult error, const char** name);
    CUresult (*cuDeviceGetCount)(int* count);
    CUresult (*cuDeviceGet)(CUdevice* device, int ordinal);
    CUresult (*cuDeviceGetName)(char* name, int length, CUdevice device);
    CUresult (*cuDeviceGetAttribute)(int* value, int attribute, CUdevice device);
    CUresult (*cuDevicePrimaryCtxRetain)(CUcontext* context, CUdevice device);
    CUresult (*cuDevicePrimaryCtxRelease)(CUdevice device);
    CUresult (*cuCtxGetCurrent)(CUcontext* context);
    CUresult (*cuCtxPushCurrent)(CUcontext context);
    CUresult (*cuCtxPopCurrent)(CUcontext* context);
    CUresult (*cuCtxSynchronize)();
    CUresult (*cuModuleLoadData)(CUmodule* module, const void* image);
    CUresult (*cuModuleGetFunction)(CUfunction* function, CUmodule module, const char* name);
    CUresult (*cuModuleUnload)(CUmodule module);
    CUresult (*cuMemAlloc)(CUdeviceptr* pointer, std::size_t bytes);
    CUresult (*cuMemFree)(CUdeviceptr pointer);
    CUresult (*cuMemcpyHtoD)(CUdeviceptr destination, const void* source, std::size_t bytes);
    CUresult (*cuMemcpyDtoH)(void* destination, CUdeviceptr source, std::size_t bytes);
    CUresult (*cuLaunchKernel)(CUfunction function, unsigned int gridX, unsigned int gridY,
                               unsigned int gridZ, unsigned int blockX, unsigned int blockY,
                               unsigned int blockZ, unsigned int sharedBytes, CUstream stream,
                               void** parameters, void** extra);
    CUresult (*cuEventCreate)(CUevent* event, unsigned int flags);
    CUresult (*cuEventRecord)(CUevent event, CUstream stream);
    CUresult (*cuEventSynchronize)(CUevent event);
    CUresult (*cuEventElapsedTime)(float* milliseconds, CUevent start, CUevent end);
    CUresult (*cuEventDestroy)(CUevent event);
};

// The driver, loaded and initialised (cuInit) on the first call; null when the
// library is missing, lacks an entry point or fails to initialise, with `why`
// (when given) saying which in words for a user. The library stays loaded for
// the life of the process, as the OpenCL loader does.
const CudaDriver* LoadCudaDriver(std::string* why = nullptr);

// "CUDA_ERROR_OUT_OF_MEMORY (2)", or the number alone where the driver has no name.
std::string CudaErrorText(const CudaDriver& driver, CUresult result);

// Makes `context` current on the calling thread for a scope and restores the
// thread's previous context after, whatever happens in between.
class ScopedCudaContext {
  public:
    ScopedCudaContext(const CudaDriver& driver, CUcontext context)
        : driver_(driver), pushed_(driver.cuCtxPushCurrent(context) == CUDA_SUCCESS) {}
    ~ScopedCudaContext() {
        if (pushed_) {
            CUcontext popped = nullptr;
            driver_.cuCtxPopCurrent(&popped);
        }
    }
    ScopedCudaContext(const ScopedCudaContext&) = delete;
    ScopedCudaContext& operator=(const ScopedCudaContext&) = delete;

    bool Current() const { return pushed_; }

  private:
    const CudaDriver& driver_;
    bool pushed_;
};

}  // namespace tarsivel

#endif
