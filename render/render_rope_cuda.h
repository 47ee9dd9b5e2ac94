// One rope frame through the CUDA driver: per-frame list buffers, one launch
// of the function that device set-up loaded, synchronisation and the check.
#ifndef TARSIVEL_RENDER_RENDER_ROPE_CUDA_H
#define TARSIVEL_RENDER_RENDER_ROPE_CUDA_H

#include "hostapi/pf_types.h"
#include "physics/rope_render_data.h"
#include "render/gpu_kernel_arguments.h"

namespace tarsivel {

// `gpuData` is the device's GPU data from set-up; `src` and `dst` are the
// worlds' device pointers. Returns 0, or 512 on any failure (also without GPU
// data or a driver), with every buffer of the frame freed.
PF_Err RenderRopeCUDA(const void* gpuData, const void* src, void* dst, const KernelScalars& scalars,
                      const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
