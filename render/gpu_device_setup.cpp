#include "render/gpu_device_setup.h"

#include <memory>
#include <new>

#include "entry/scoped_suite.h"
#include "hostapi/pf_out_flags.h"
#include "hostapi/pf_suites.h"
#include "render/cuda_device_setup.h"
#include "render/kernel/rope_kernel_source.h"

namespace tarsivel {
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
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
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
    // Also after a failure, so that set-down gives the record back.
    extra->output->gpu_data = handle;
    out_data->out_flags2 = PF_OutFlag2_SUPPORTS_GPU_RENDER_F32;
    return result;
}

}  // namespace

void* GpuRecordBehind(const void* gpu_data) {
    if (gpu_data == nullptr) {
        return nullptr;
    }
    return *static_cast<void* const*>(gpu_data);
}

OpenCLGPUData* OpenCLRecordOf(const void* gpu_data) {
    return static_cast<OpenCLGPUData*>(GpuRecordBehind(gpu_data));
}

PF_Err GPUDeviceSetup(PF_InData* in_data, PF_OutData* out_data, PF_GPUDeviceSetupExtra* extra) {
    if (in_data == nullptr || out_data == nullptr || extra == nullptr || extra->input == nullptr ||
        extra->output == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion2, out_data);
    ScopedSuite<PF_GPUDeviceSuite1> gpu(in_data, kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1,
                                        out_data);
    PF_GPUDeviceInfo device{};
    const PF_Err deviceInfoErr =
        gpu->GetDeviceInfo(in_data->effect_ref, extra->input->device_index, &device);

    switch (extra->input->what_gpu) {
        case PF_GPU_Framework_CUDA:
            return SetUpCuda(*handles, deviceInfoErr, device, out_data, extra);
        case PF_GPU_Framework_OPENCL:
            return SetUpOpenCL(*handles, deviceInfoErr, device, out_data, extra);
        default:
            return PF_Err_NONE;
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
    ScopedSuite<PF_HandleSuite1> handles(in_data, kPFHandleSuite, kPFHandleSuiteVersion2, out_data);
    handles->host_dispose_handle(handle);
    return PF_Err_NONE;
}

}  // namespace tarsivel
