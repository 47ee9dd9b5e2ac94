// The GPU render path: one frame of the rope drawn by the rope kernel on the
// device the host reports for this render, through OpenCL or CUDA, with the
// kernel's scalar arguments and launch geometry computed from the worlds and
// the render record alone.
#ifndef TARSIVEL_RENDER_GPU_RENDER_ROPE_GPU_H
#define TARSIVEL_RENDER_GPU_RENDER_ROPE_GPU_H

#include <cstddef>

#include "pf_api.h"
#include "rope_render_data.h"

namespace tarsivel {

inline constexpr int kGpuBytesPerPixel = 16;
inline constexpr unsigned int kGpuGroupSide = 16;

struct KernelScalars {
    int srcPitch = 0;
    int dstPitch = 0;
    int in16f = 0;
    // The pixels both worlds have, so a smaller output is never written past.
    unsigned int width = 0;
    unsigned int height = 0;
    int pieceCount = 0;
    int markerCount = 0;
    int showNodes = 0;
    int compositeOnOriginal = 0;
    float colorR = 0.0f;
    float colorG = 0.0f;
    float colorB = 0.0f;
    float colorA = 0.0f;
};

KernelScalars ComputeKernelScalars(PF_PixelFormat pixelFormat, const PF_EffectWorld& input,
                                   const PF_EffectWorld& output, const RopeRenderData& renderData);

// A global size rounded up to whole work-groups; 0 stays 0.
std::size_t RoundUpToGroup(unsigned int size);
// Work-groups (blocks) needed to cover `size`.
unsigned int GroupCount(unsigned int size);

// Acquires the GPU device suite first (A_Err_MISSING_SUITE when the host has
// none), then returns PF_Err_UNRECOGNIZED_PARAM_TYPE for a format other than
// PF_PixelFormat_GPU_BGRA128 before asking the device or the worlds anything,
// the host's error when the device or a world's memory cannot be had,
// PF_Err_INTERNAL_STRUCT_DAMAGED for every device failure, and PF_Err_NONE
// otherwise (also for a framework that is neither OpenCL nor CUDA, which draws
// nothing).
PF_Err RenderRopeGPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* extra, const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
