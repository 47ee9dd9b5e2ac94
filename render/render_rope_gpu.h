// The GPU render path: one frame of the rope drawn by the rope kernel on the
// device the host reports for this render, through OpenCL or CUDA.
#ifndef TARSIVEL_RENDER_RENDER_ROPE_GPU_H
#define TARSIVEL_RENDER_RENDER_ROPE_GPU_H

#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_smart_render.h"
#include "hostapi/pf_world.h"
#include "physics/rope_render_data.h"

namespace tarsivel {

// Returns 514 for a format other than PF_PixelFormat_GPU_BGRA128 before asking
// the host anything, the host's error when the device or a world's memory
// cannot be had, 512 for every device failure, and 0 otherwise (also for a
// framework that is neither OpenCL nor CUDA, which draws nothing).
PF_Err RenderRopeGPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* extra, const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
