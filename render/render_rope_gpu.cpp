#include "render/render_rope_gpu.h"

#include "entry/scoped_suite.h"
#include "hostapi/pf_suites.h"
#include "render/gpu_kernel_arguments.h"
#include "render/render_rope_cuda.h"
#include "render/render_rope_opencl.h"

namespace tarsivel {

PF_Err RenderRopeGPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* extra, const RopeRenderData& renderData) {
    ScopedSuite<PF_GPUDeviceSuite1> gpu(in_data, kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1,
                                        out_data);
    if (pixelFormat != PF_PixelFormat_GPU_BGRA128) {
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    if (extra == nullptr || extra->input == nullptr || inputWorld == nullptr ||
        outputWorld == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const PF_SmartRenderInput& input = *extra->input;

    PF_GPUDeviceInfo device{};
    PF_Err err = gpu->GetDeviceInfo(in_data->effect_ref, input.device_index, &device);
    void* src = nullptr;
    void* dst = nullptr;
    if (err == PF_Err_NONE) {
        err = gpu->GetGPUWorldData(in_data->effect_ref, inputWorld, &src);
    }
    if (err == PF_Err_NONE) {
        err = gpu->GetGPUWorldData(in_data->effect_ref, outputWorld, &dst);
    }
    if (err != PF_Err_NONE) {
        return err;
    }

    const KernelScalars scalars =
        ComputeKernelScalars(pixelFormat, *inputWorld, *outputWorld, renderData);
    const bool drawable =
        input.what_gpu == PF_GPU_Framework_OPENCL || input.what_gpu == PF_GPU_Framework_CUDA;
    // Another framework draws nothing; neither framework accepts an empty launch.
    if (!drawable || scalars.width == 0 || scalars.height == 0) {
        return PF_Err_NONE;
    }
    if (src == nullptr || dst == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (input.what_gpu == PF_GPU_Framework_OPENCL) {
        return RenderRopeOpenCL(device, input.gpu_data, src, dst, scalars, renderData);
    }
    return RenderRopeCUDA(input.gpu_data, src, dst, scalars, renderData);
}

}  // namespace tarsivel
