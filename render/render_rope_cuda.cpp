#include "render/render_rope_cuda.h"

#include <cuda_runtime_api.h>

#include <array>
#include <vector>

#include "render/kernel/rope_kernel_cuda.h"

namespace tarsivel {
namespace {

// The four per-frame list buffers, freed on every path.
class DeviceLists {
  public:
    explicit DeviceLists(const RopeRenderData& renderData) {
        const std::array<const std::vector<float>*, 4> lists{
            &renderData.points, &renderData.segThickness, &renderData.nodePoints,
            &renderData.nodeThickness};
        for (std::size_t i = 0; i < lists.size() && complete_; ++i) {
            complete_ = Upload(*lists[i], buffers_[i]);
        }
    }
    ~DeviceLists() {
        for (float* buffer : buffers_) {
            if (buffer != nullptr) {
                cudaFree(buffer);
            }
        }
    }
    DeviceLists(const DeviceLists&) = delete;
    DeviceLists& operator=(const DeviceLists&) = delete;

    bool Complete() const { return complete_; }
    const float* operator[](std::size_t i) const { return buffers_[i]; }

  private:
    // An empty list gets one unread element, as on OpenCL, so every pointer the
    // kernel receives is a real allocation.
    static bool Upload(const std::vector<float>& list, float*& buffer) {
        const std::size_t bytes = list.empty() ? sizeof(float) : list.size() * sizeof(float);
        void* memory = nullptr;
        if (cudaMalloc(&memory, bytes) != cudaSuccess) {
            return false;
        }
        buffer = static_cast<float*>(memory);
        if (list.empty()) {
            return cudaMemset(memory, 0, bytes) == cudaSuccess;
        }
        return cudaMemcpy(memory, list.data(), bytes, cudaMemcpyHostToDevice) == cudaSuccess;
    }

    std::array<float*, 4> buffers_{};
    bool complete_ = true;
};

}  // namespace

PF_Err RenderRopeCUDA(const void* src, void* dst, const KernelScalars& scalars,
                      const RopeRenderData& renderData) {
    // An error left by an earlier call on this thread must not fail this frame.
    // Sticky errors (an illegal address, a failed launch that corrupted the
    // context) cannot be cleared inside the process: they keep failing every
    // frame, which is the right answer for a broken context.
    cudaGetLastError();
    DeviceLists lists(renderData);
    if (!lists.Complete()) {
        cudaGetLastError();
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    LaunchRenderRopeKernelCUDA(src, dst, scalars.srcPitch, scalars.dstPitch, scalars.in16f,
                               scalars.width, scalars.height, lists[0], scalars.numSegments,
                               lists[1], scalars.colorR, scalars.colorG, scalars.colorB,
                               scalars.colorA, lists[2], lists[3], scalars.numNodePoints,
                               scalars.showNodes, scalars.compositeOnOriginal);
    const cudaError_t launched = cudaGetLastError();
    const cudaError_t finished = cudaDeviceSynchronize();
    // Reading the error also resets it, so the next frame starts clean.
    const cudaError_t after = cudaGetLastError();
    const bool ok = launched == cudaSuccess && finished == cudaSuccess && after == cudaSuccess;
    return ok ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

}  // namespace tarsivel
