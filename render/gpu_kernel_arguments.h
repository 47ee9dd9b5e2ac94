// The scalar arguments of one GPU frame and the launch geometry, computed from
// the worlds and the render record alone.
#ifndef TARSIVEL_RENDER_GPU_KERNEL_ARGUMENTS_H
#define TARSIVEL_RENDER_GPU_KERNEL_ARGUMENTS_H

#include <cstddef>

#include "hostapi/pf_world.h"
#include "physics/rope_render_data.h"

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
    int numSegments = 0;
    int numNodePoints = 0;
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

}  // namespace tarsivel

#endif
