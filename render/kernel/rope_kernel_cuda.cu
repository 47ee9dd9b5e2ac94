// The CUDA build of the rope kernel and its host-side launcher. The kernel text
// is the shared source; nvcc registers its device code (and PTX for
// just-in-time compilation on newer GPUs) with the runtime when the library loads.
#include "render/kernel/rope_kernel.cl.h"
#include "render/kernel/rope_kernel_cuda.h"

namespace tarsivel {

namespace {
constexpr unsigned int kBlockSide = 16;
}

void LaunchRenderRopeKernelCUDA(const void* inSrc, void* outDst, int inSrcPitch, int inDstPitch,
                                int in16f, unsigned int inWidth, unsigned int inHeight,
                                const float* inPoints, int inNumSegments,
                                const float* inSegThickness, float inColorR, float inColorG,
                                float inColorB, float inColorA, const float* inNodePoints,
                                const float* inNodeThickness, int inNumNodePoints, int inShowNodes,
                                int inCompositeOnOriginal) {
    const dim3 block(kBlockSide, kBlockSide, 1);
    const dim3 grid((inWidth + kBlockSide - 1) / kBlockSide,
                    (inHeight + kBlockSide - 1) / kBlockSide, 1);
    RenderRopeKernel<<<grid, block, 0, 0>>>(
        static_cast<const float4*>(inSrc), static_cast<float4*>(outDst), inSrcPitch, inDstPitch,
        in16f, inWidth, inHeight, inPoints, inNumSegments, inSegThickness, inColorR, inColorG,
        inColorB, inColorA, inNodePoints, inNodeThickness, inNumNodePoints, inShowNodes,
        inCompositeOnOriginal);
}

}  // namespace tarsivel
