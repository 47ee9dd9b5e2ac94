// CUDA device set-up and set-down: the kernel's module is loaded from the
// embedded fatbin into a context on the host's device and kept, with the
// function, in the device's GPU data until set-down.
#ifndef TARSIVEL_RENDER_CUDA_DEVICE_SETUP_H
#define TARSIVEL_RENDER_CUDA_DEVICE_SETUP_H

#include "hostapi/pf_gpu.h"
#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_suites.h"
#include "render/cuda_driver.h"

namespace tarsivel {

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

// Accepts the device (0, the GPU flag, the handle as GPU data) when the driver,
// a context and the module can all be had; otherwise declines it: 0, no flag,
// no GPU data, and the reason in out_data->return_msg for the host's user.
PF_Err SetUpCuda(const PF_HandleSuite1& handles, PF_Err deviceInfoErr,
                 const PF_GPUDeviceInfo& device, PF_OutData* out_data,
                 PF_GPUDeviceSetupExtra* extra);

// Unloads the module, gives back a retained primary context and disposes of
// the handle (13, thrown, when the handle suite is missing).
PF_Err SetDownCuda(PF_InData* in_data, PF_OutData* out_data, PF_Handle handle);

// The record behind GPU data from set-up, or null.
CudaGPUData* CudaRecordOf(const void* gpu_data);

}  // namespace tarsivel

#endif
