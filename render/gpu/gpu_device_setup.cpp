#include "gpu_device_setup.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "pf_api.h"
#include "rope_kernel_cuda.h"
#include "rope_kernel_source.h"
#include "scoped_suite.h"

namespace tarsivel {
namespace {

// The block behind a host handle that set-up returned as GPU data, or null.
void* GpuRecordBehind(const void* gpu_data) {
    if (gpu_data == nullptr) {
        return nullptr;
    }
    return *static_cast<void* const*>(gpu_data);
}

}  // namespace

OpenCLGPUData* OpenCLRecordOf(const void* gpu_data) {
    return static_cast<OpenCLGPUData*>(GpuRecordBehind(gpu_data));
}

CudaGPUData* CudaRecordOf(const void* gpu_data) {
    return static_cast<CudaGPUData*>(GpuRecordBehind(gpu_data));
}

namespace {

struct ProgramRelease {
    void operator()(cl_program program) const { clReleaseProgram(program); }
};
using ProgramGuard = std::unique_ptr<std::remove_pointer_t<cl_program>, ProgramRelease>;

// Builds the kernel from the define line and the embedded text. The program is
// released on every path: the kernel keeps what it needs.
cl_kernel BuildRopeKernel(cl_context context, cl_device_id device) {
    const char* strings[2] = {kKernelDefineLine, kRopeKernelSource};
    const size_t lengths[2] = {kKernelDefineLineLength, kRopeKernelSourceLength};
    cl_int status = CL_SUCCESS;
    ProgramGuard program(clCreateProgramWithSource(context, 2, strings, lengths, &status));
    if (status != CL_SUCCESS || program == nullptr) {
        return nullptr;
    }
    cl_program built = program.get();
    if (clBuildProgram(built, 1, &device, kKernelBuildOptions, nullptr, nullptr) != CL_SUCCESS) {
        return nullptr;
    }
    cl_kernel kernel = clCreateKernel(built, kKernelName, &status);
    if (status != CL_SUCCESS) {
        // Never keep a half-made kernel: set-down releases what the record holds.
        return nullptr;
    }
    return kernel;
}

PF_Err SetUpOpenCL(const PF_HandleSuite1& handles, PF_Err deviceInfoErr,
                   const PF_GPUDeviceInfo& device, PF_OutData* out_data,
                   PF_GPUDeviceSetupExtra* extra) {
    auto lock = std::make_unique<std::mutex>();
    PF_Handle handle = handles.host_new_handle(sizeof(OpenCLGPUData));
    if (handle == nullptr || *handle == nullptr) {
        // Nothing to hand back; without the flag the host does not render here.
        throw PF_Err(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    auto* record = new (*handle) OpenCLGPUData{};
    record->lock = lock.release();

    PF_Err result = PF_Err_INTERNAL_STRUCT_DAMAGED;
    // A failed device query or an empty record would crash inside OpenCL.
    if (deviceInfoErr == PF_Err_NONE && device.contextPV != nullptr && device.devicePV != nullptr) {
        record->kernel = BuildRopeKernel(static_cast<cl_context>(device.contextPV),
                                         static_cast<cl_device_id>(device.devicePV));
        if (record->kernel != nullptr) {
            result = PF_Err_NONE;
        }
    }
    // Returned with the handle and the flag, not thrown: the host keeps the
    // handle as the device's GPU data and passes it to set-down, which frees it.
    extra->output->gpu_data = handle;
    out_data->out_flags2 = PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    return result;
}

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

// Declining is no failure: 0 without the GPU flag tells the host to keep this
// effect off the device and render it on the CPU. The flags and the GPU data
// are left alone; the reason goes where a host that reads it can show it,
// without asking for a message to be shown.
PF_Err Decline(PF_OutData* out_data, const std::string& why) {
    std::snprintf(out_data->return_msg, sizeof out_data->return_msg, "%s", why.c_str());
    return PF_Err_NONE;
}

// CUDA: accepts the device (0, the GPU flag, the handle as GPU data) when the
// driver, a context and the module can all be had; otherwise declines it: 0,
// no flag, no GPU data, and the reason in out_data->return_msg for the host's
// user.
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
        throw PF_Err(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    new (*handle) CudaGPUData(record);
    extra->output->gpu_data = handle;
    // Assigned, not combined: this one bit is the answer.
    out_data->out_flags2 = PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    return PF_Err_NONE;
}

// Unloads the module, gives back a retained primary context and disposes of
// the handle (A_Err_MISSING_SUITE, thrown, when the handle suite is missing).
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
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion1, out_data);
    handles->host_dispose_handle(handle);
    return PF_Err_NONE;
}

}  // namespace

PF_Err GPUDeviceSetup(PF_InData* in_data, PF_OutData* out_data, PF_GPUDeviceSetupExtra* extra) {
    if (in_data == nullptr || out_data == nullptr || extra == nullptr || extra->input == nullptr ||
        extra->output == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion1, out_data);
    ScopedSuite<PF_GPUDeviceSuite1> gpu(in_data, kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1,
                                        out_data);
    PF_GPUDeviceInfo device{};
    // Not thrown: each framework answers a device the host cannot describe
    // (OpenCL fails its build with the handle still handed over; CUDA declines
    // unless a context is already current).
    const PF_Err deviceInfoErr =
        gpu->GetDeviceInfo(in_data->effect_ref, extra->input->device_index, &device);

    switch (extra->input->what_gpu) {
        case PF_GPU_Framework_CUDA:
            return SetUpCuda(*handles, deviceInfoErr, device, out_data, extra);
        case PF_GPU_Framework_OPENCL:
            return SetUpOpenCL(*handles, deviceInfoErr, device, out_data, extra);
        default:
            return PF_Err_NONE;  // declined: no flag, no GPU data
    }
}

PF_Err GPUDeviceSetdown(PF_InData* in_data, PF_OutData* out_data, PF_GPUDeviceSetdownExtra* extra) {
    if (extra == nullptr || extra->input == nullptr || extra->input->gpu_data == nullptr) {
        return PF_Err_NONE;
    }
    auto handle = static_cast<PF_Handle>(extra->input->gpu_data);
    if (extra->input->what_gpu == PF_GPU_Framework_CUDA) {
        return SetDownCuda(in_data, out_data, handle);
    }
    if (extra->input->what_gpu != PF_GPU_Framework_OPENCL) {
        return PF_Err_NONE;
    }
    if (OpenCLGPUData* record = OpenCLRecordOf(handle)) {
        if (record->kernel != nullptr) {
            clReleaseKernel(record->kernel);
            record->kernel = nullptr;
        }
        delete record->lock;
        record->lock = nullptr;
    }
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion1, out_data);
    handles->host_dispose_handle(handle);
    return PF_Err_NONE;
}

}  // namespace tarsivel
