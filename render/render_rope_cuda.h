// One rope frame through the CUDA runtime: per-frame list buffers, one launch,
// device synchronisation and the error check. Only built with CUDA.
#ifndef TARSIVEL_RENDER_RENDER_ROPE_CUDA_H
#define TARSIVEL_RENDER_RENDER_ROPE_CUDA_H

#include "hostapi/pf_types.h"
#include "physics/rope_render_data.h"
#include "render/gpu_kernel_arguments.h"

namespace tarsivel {

// `src` and `dst` are the worlds' device pointers. Returns 0 or 512.
PF_Err RenderRopeCUDA(const void* src, void* dst, const KernelScalars& scalars,
                      const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
