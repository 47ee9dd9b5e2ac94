// Host-side launch of the rope kernel on the CUDA runtime's default stream.
// Only compiled where the CUDA build is enabled (TARSIVEL_WITH_CUDA).
#ifndef TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CUDA_H
#define TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CUDA_H

namespace tarsivel {

// The kernel's 19 arguments in order; the pixel buffers are device pointers to
// BGRA float pixels and the lists device pointers to floats. Launches 16 × 16
// blocks over a grid of ⌈width / 16⌉ × ⌈height / 16⌉ with no dynamic shared
// memory and returns at once; errors surface in the runtime's error state.
void LaunchRenderRopeKernelCUDA(const void* inSrc, void* outDst, int inSrcPitch, int inDstPitch,
                                int in16f, unsigned int inWidth, unsigned int inHeight,
                                const float* inPoints, int inNumSegments,
                                const float* inSegThickness, float inColorR, float inColorG,
                                float inColorB, float inColorA, const float* inNodePoints,
                                const float* inNodeThickness, int inNumNodePoints, int inShowNodes,
                                int inCompositeOnOriginal);

}  // namespace tarsivel

#endif
