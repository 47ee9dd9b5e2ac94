// One rope frame through OpenCL: per-frame list buffers, the device's shared
// kernel, one 2-D launch that is queued and not waited for.
#ifndef TARSIVEL_RENDER_RENDER_ROPE_OPENCL_H
#define TARSIVEL_RENDER_RENDER_ROPE_OPENCL_H

#include "hostapi/pf_gpu.h"
#include "physics/rope_render_data.h"
#include "render/gpu_kernel_arguments.h"

namespace tarsivel {

// `gpu_data` is the handle from device set-up; `src` and `dst` the worlds'
// cl_mem objects. Returns 0 or 512.
PF_Err RenderRopeOpenCL(const PF_GPUDeviceInfo& device, const void* gpu_data, void* src, void* dst,
                        const KernelScalars& scalars, const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
