#include "render/gpu_kernel_arguments.h"

#include <algorithm>

namespace tarsivel {
namespace {

unsigned int CommonExtent(A_long a, A_long b) {
    const A_long extent = std::min(a, b);
    return extent > 0 ? static_cast<unsigned int>(extent) : 0u;
}

}  // namespace

KernelScalars ComputeKernelScalars(PF_PixelFormat pixelFormat, const PF_EffectWorld& input,
                                   const PF_EffectWorld& output, const RopeRenderData& renderData) {
    KernelScalars scalars;
    scalars.srcPitch = input.rowbytes / kGpuBytesPerPixel;
    scalars.dstPitch = output.rowbytes / kGpuBytesPerPixel;
    scalars.in16f = pixelFormat != PF_PixelFormat_GPU_BGRA128 ? 1 : 0;
    scalars.width = CommonExtent(input.width, output.width);
    scalars.height = CommonExtent(input.height, output.height);
    // The kernel reads a width pair per piece and a radius per node, so a record
    // whose lists disagree is drawn only as far as both lists go.
    scalars.numSegments = static_cast<int>(
        std::min(renderData.points.size() / 4, renderData.segThickness.size() / 2));
    scalars.numNodePoints = static_cast<int>(
        std::min(renderData.nodePoints.size() / 2, renderData.nodeThickness.size()));
    scalars.showNodes = renderData.showNodes ? 1 : 0;
    scalars.compositeOnOriginal = renderData.compositeOnOriginal ? 1 : 0;
    scalars.colorR = renderData.colorR;
    scalars.colorG = renderData.colorG;
    scalars.colorB = renderData.colorB;
    scalars.colorA = renderData.colorA;
    return scalars;
}

std::size_t RoundUpToGroup(unsigned int size) {
    return static_cast<std::size_t>(GroupCount(size)) * kGpuGroupSide;
}

unsigned int GroupCount(unsigned int size) {
    return size / kGpuGroupSide + (size % kGpuGroupSide != 0 ? 1u : 0u);
}

}  // namespace tarsivel
