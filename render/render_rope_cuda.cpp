#include "render/render_rope_cuda.h"

#include <array>
#include <cstdint>
#include <vector>

#include "render/cuda_device_setup.h"
#include "render/cuda_driver.h"

namespace tarsivel {
namespace {

// The four per-frame list buffers, freed on every path.
class DeviceLists {
  public:
    DeviceLists(const CudaDriver& driver, const RopeRenderData& renderData) : driver_(driver) {
        const std::array<const std::vector<float>*, 4> lists{
            &renderData.points, &renderData.segThickness, &renderData.nodePoints,
            &renderData.nodeThickness};
        for (std::size_t i = 0; i < lists.size() && complete_; ++i) {
            complete_ = Upload(*lists[i], buffers_[i]);
        }
    }
    ~DeviceLists() {
        for (CUdeviceptr buffer : buffers_) {
            if (buffer != 0) {
                driver_.cuMemFree(buffer);
            }
        }
    }
    DeviceLists(const DeviceLists&) = delete;
    DeviceLists& operator=(const DeviceLists&) = delete;

    bool Complete() const { return complete_; }
    CUdeviceptr operator[](std::size_t i) const { return buffers_[i]; }

  private:
    // An empty list gets one unread element, as on OpenCL, so every pointer the
    // kernel receives is a real allocation.
    bool Upload(const std::vector<float>& list, CUdeviceptr& buffer) {
        static constexpr float kUnread = 0.0f;
        const float* data = list.empty() ? &kUnread : list.data();
        const std::size_t bytes = list.empty() ? sizeof(float) : list.size() * sizeof(float);
        if (driver_.cuMemAlloc(&buffer, bytes) != CUDA_SUCCESS) {
            buffer = 0;
            return false;
        }
        return driver_.cuMemcpyHtoD(buffer, data, bytes) == CUDA_SUCCESS;
    }

    const CudaDriver& driver_;
    std::array<CUdeviceptr, 4> buffers_{};
    bool complete_ = true;
};

CUdeviceptr DevicePointer(const void* pointer) {
    return static_cast<CUdeviceptr>(reinterpret_cast<std::uintptr_t>(pointer));
}

}  // namespace

PF_Err RenderRopeCUDA(const void* gpuData, const void* src, void* dst, const KernelScalars& scalars,
                      const RopeRenderData& renderData) {
    const CudaGPUData* record = CudaRecordOf(gpuData);
    const CudaDriver* driver = LoadCudaDriver();
    if (record == nullptr || record->function == nullptr || driver == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    // The module's context, whatever the render thread had current; the
    // thread's own context comes back when the frame is done.
    ScopedCudaContext current(*driver, record->context);
    if (!current.Current()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    // Declared before the lists, so that they are freed only after the
    // synchronisation below has seen the kernel finish.
    DeviceLists lists(*driver, renderData);
    if (!lists.Complete()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }

    // The kernel's 19 arguments in order, each at its own size.
    CUdeviceptr inSrc = DevicePointer(src);
    CUdeviceptr outDst = DevicePointer(dst);
    int inSrcPitch = scalars.srcPitch;
    int inDstPitch = scalars.dstPitch;
    int in16f = scalars.in16f;
    unsigned int inWidth = scalars.width;
    unsigned int inHeight = scalars.height;
    CUdeviceptr inPoints = lists[0];
    int inNumSegments = scalars.numSegments;
    CUdeviceptr inSegThickness = lists[1];
    float inColorR = scalars.colorR;
    float inColorG = scalars.colorG;
    float inColorB = scalars.colorB;
    float inColorA = scalars.colorA;
    CUdeviceptr inNodePoints = lists[2];
    CUdeviceptr inNodeThickness = lists[3];
    int inNumNodePoints = scalars.numNodePoints;
    int inShowNodes = scalars.showNodes;
    int inCompositeOnOriginal = scalars.compositeOnOriginal;
    void* arguments[] = {&inSrc,
                         &outDst,
                         &inSrcPitch,
                         &inDstPitch,
                         &in16f,
                         &inWidth,
                         &inHeight,
                         &inPoints,
                         &inNumSegments,
                         &inSegThickness,
                         &inColorR,
                         &inColorG,
                         &inColorB,
                         &inColorA,
                         &inNodePoints,
                         &inNodeThickness,
                         &inNumNodePoints,
                         &inShowNodes,
                         &inCompositeOnOriginal};
    static_assert(sizeof arguments / sizeof arguments[0] == 19);

    // 16 x 16 blocks over ⌈width / 16⌉ x ⌈height / 16⌉, on the default stream,
    // with no dynamic shared memory.
    if (driver->cuLaunchKernel(record->function, GroupCount(scalars.width),
                               GroupCount(scalars.height), 1, kGpuGroupSide, kGpuGroupSide, 1, 0,
                               nullptr, arguments, nullptr) != CUDA_SUCCESS) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    // Kernel faults surface here. The driver keeps no error state between
    // calls, so a failed frame does not fail the next one (a fault that
    // corrupts the context keeps failing, which is right for a broken context).
    if (driver->cuCtxSynchronize() != CUDA_SUCCESS) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    return PF_Err_NONE;
}

}  // namespace tarsivel
