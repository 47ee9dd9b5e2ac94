// GPU device set-up and set-down: tells the host on which devices the effect
// renders and prepares what every GPU frame on that device borrows: for
// OpenCL the kernel built from its source, for CUDA the kernel's module loaded
// from the embedded fatbin into a context on the host's device.
#ifndef TARSIVEL_RENDER_GPU_GPU_DEVICE_SETUP_H
#define TARSIVEL_RENDER_GPU_GPU_DEVICE_SETUP_H

#include <CL/cl.h>

#include <mutex>

#include "cuda_driver.h"
#include "pf_api.h"

namespace tarsivel {

// The per-device OpenCL record, kept in a host handle that the host stores as
// the device's GPU data. The host may move a handle's block, and a mutex must
// not move, so the record only points at a mutex made on the heap. The lock
// serialises argument setting and enqueueing of the one shared kernel.
struct OpenCLGPUData {
    cl_kernel kernel = nullptr;
    std::mutex* lock = nullptr;
};

// The per-device CUDA record, kept in a host handle that the host stores as
// the device's GPU data. `context` is the one the module lives in: the thread's
// current context at set-up, or the device's primary context, which this
// record then holds a reference to (`retainedPrimary`) until set-down. A
// context the plug-in did not make is never destroyed or reset.
struct CudaGPUData {
    CUcontext context = nullptr;
    CUmodule module = nullptr;
    CUfunction function = nullptr;
    CUdevice device = 0;
    int retainedPrimary = 0;
};

// The options the kernel is built with: the kernel is written for fast single
// precision.
inline constexpr char kKernelBuildOptions[] = "-cl-single-precision-constant -cl-fast-relaxed-math";
inline constexpr char kKernelName[] = "RenderRopeKernel";

// CUDA: accepted with the kernel's module loaded into the device's GPU data,
// or declined (0, no flag, no GPU data) where the driver, a context or the
// module cannot be had. OpenCL: the kernel is built and returned in a handle;
// PF_Err_INTERNAL_STRUCT_DAMAGED when that fails, with the handle and the GPU
// flag still returned. Any other framework is declined: PF_Err_NONE and no
// flag. Throws A_Err_MISSING_SUITE for a missing suite, and
// PF_Err_INTERNAL_STRUCT_DAMAGED, with nothing handed over, when the host
// makes no handle.
PF_Err GPUDeviceSetup(PF_InData* in_data, PF_OutData* out_data, PF_GPUDeviceSetupExtra* extra);

// OpenCL: releases the kernel and the lock and disposes of the handle; CUDA:
// unloads the module and gives back the context set-up took. Returns 0;
// throws A_Err_MISSING_SUITE when the handle suite is missing, after the
// kernel or module is already given back.
PF_Err GPUDeviceSetdown(PF_InData* in_data, PF_OutData* out_data, PF_GPUDeviceSetdownExtra* extra);

// The records behind GPU data from set-up, or null.
OpenCLGPUData* OpenCLRecordOf(const void* gpu_data);
CudaGPUData* CudaRecordOf(const void* gpu_data);

}  // namespace tarsivel

#endif
