#include "render/cuda_device_setup.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "entry/scoped_suite.h"
#include "hostapi/pf_out_flags.h"
#include "render/gpu_device_setup.h"
#include "render/kernel/rope_kernel_cuda.h"

namespace tarsivel {
namespace {

// The module and function in `context`, or the reason they cannot be had.
struct LoadedModule {
    CUmodule module = nullptr;
    CUfunction function = nullptr;
    std::string why;
};

LoadedModule LoadRopeModule(const CudaDriver& driver, CUcontext context) {
    LoadedModule loaded;
    if (kRopeKernelFatbinSize == 0) {
        loaded.why = "this build of the plug-in holds no CUDA device code";
        return loaded;
    }
    ScopedCudaContext current(driver, context);
    if (!current.Current()) {
        loaded.why = "the CUDA context cannot be made current";
        return loaded;
    }
    if (const CUresult result = driver.cuModuleLoadData(&loaded.module, kRopeKernelFatbin);
        result != CUDA_SUCCESS) {
        loaded.module = nullptr;
        loaded.why = "the kernel's CUDA module cannot be loaded on this GPU: " +
                     CudaErrorText(driver, result);
        return loaded;
    }
    if (const CUresult result =
            driver.cuModuleGetFunction(&loaded.function, loaded.module, kKernelName);
        result != CUDA_SUCCESS) {
        driver.cuModuleUnload(loaded.module);
        loaded = LoadedModule{};
        loaded.why = std::string("the CUDA module has no ") + kKernelName + ": " +
                     CudaErrorText(driver, result);
    }
    return loaded;
}

// Declining leaves the flags and the GPU data alone; the reason goes where a
// host that reads it can show it, without asking for a message to be shown.
PF_Err Decline(PF_OutData* out_data, const std::string& why) {
    std::snprintf(out_data->return_msg, sizeof out_data->return_msg, "%s", why.c_str());
    return PF_Err_NONE;
}

}  // namespace

CudaGPUData* CudaRecordOf(const void* gpu_data) {
    return static_cast<CudaGPUData*>(GpuRecordBehind(gpu_data));
}

PF_Err SetUpCuda(const PF_HandleSuite1& handles, PF_Err deviceInfoErr,
                 const PF_GPUDeviceInfo& device, PF_OutData* out_data,
                 PF_GPUDeviceSetupExtra* extra) {
    std::string why;
    const CudaDriver* driver = LoadCudaDriver(&why);
    if (driver == nullptr) {
        return Decline(out_data, why);
    }

    CudaGPUData record;
    // A host that renders with CUDA may have made its context current.
    if (driver->cuCtxGetCurrent(&record.context) != CUDA_SUCCESS) {
        record.context = nullptr;
    }
    if (record.context == nullptr) {
        if (deviceInfoErr != PF_Err_NONE) {
            return Decline(out_data, "the host did not describe the CUDA device");
        }
        const auto ordinal = static_cast<int>(reinterpret_cast<std::intptr_t>(device.devicePV));
        if (const CUresult result = driver->cuDeviceGet(&record.device, ordinal);
            result != CUDA_SUCCESS) {
            return Decline(out_data, "no CUDA device " + std::to_string(ordinal) + ": " +
                                         CudaErrorText(*driver, result));
        }
        if (const CUresult result =
                driver->cuDevicePrimaryCtxRetain(&record.context, record.device);
            result != CUDA_SUCCESS) {
            return Decline(out_data, "the CUDA device's context cannot be had: " +
                                         CudaErrorText(*driver, result));
        }
        record.retainedPrimary = 1;
    }
    const auto giveBackContext = [&] {
        if (record.retainedPrimary != 0) {
            driver->cuDevicePrimaryCtxRelease(record.device);
        }
    };

    const LoadedModule loaded = LoadRopeModule(*driver, record.context);
    if (loaded.module == nullptr) {
        giveBackContext();
        return Decline(out_data, loaded.why);
    }
    record.module = loaded.module;
    record.function = loaded.function;

    PF_Handle handle = handles.host_new_handle(sizeof(CudaGPUData));
    if (handle == nullptr || *handle == nullptr) {
        {
            ScopedCudaContext current(*driver, record.context);
            driver->cuModuleUnload(record.module);
        }
        giveBackContext();
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    new (*handle) CudaGPUData(record);
    extra->output->gpu_data = handle;
    // Assigned, not combined: this one bit is the answer.
    out_data->out_flags2 = PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    return PF_Err_NONE;
}

PF_Err SetDownCuda(PF_InData* in_data, PF_OutData* out_data, PF_Handle handle) {
    if (CudaGPUData* record = CudaRecordOf(handle)) {
        // Set-up made a record only with the driver loaded.
        if (const CudaDriver* driver = LoadCudaDriver()) {
            if (record->module != nullptr) {
                ScopedCudaContext current(*driver, record->context);
                driver->cuModuleUnload(record->module);
            }
            if (record->retainedPrimary != 0) {
                driver->cuDevicePrimaryCtxRelease(record->device);
            }
        }
        *record = CudaGPUData{};
    }
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion2, out_data);
    handles->host_dispose_handle(handle);
    return PF_Err_NONE;
}

}  // namespace tarsivel
