#include "render/render_rope_opencl.h"

#include <CL/cl.h>

#include <array>
#include <mutex>
#include <vector>

#include "render/gpu_device_setup.h"

namespace tarsivel {
namespace {

// The four per-frame list buffers, released on every path. OpenCL keeps a
// released buffer alive until the kernels queued on it have finished, so the
// frame need not wait.
class ListBuffers {
  public:
    ListBuffers(cl_context context, const RopeRenderData& renderData) {
        const std::array<const std::vector<float>*, 4> lists{
            &renderData.points, &renderData.segThickness, &renderData.nodePoints,
            &renderData.nodeThickness};
        for (std::size_t i = 0; i < lists.size(); ++i) {
            buffers_[i] = Upload(context, *lists[i]);
        }
    }
    ~ListBuffers() {
        for (cl_mem buffer : buffers_) {
            if (buffer != nullptr) {
                clReleaseMemObject(buffer);
            }
        }
    }
    ListBuffers(const ListBuffers&) = delete;
    ListBuffers& operator=(const ListBuffers&) = delete;

    bool Complete() const { return complete_; }
    cl_mem Points() const { return buffers_[0]; }
    cl_mem SegThickness() const { return buffers_[1]; }
    cl_mem NodePoints() const { return buffers_[2]; }
    cl_mem NodeThickness() const { return buffers_[3]; }

  private:
    // OpenCL refuses a zero-size buffer; an empty list (an all-torn rope has no
    // pieces) is uploaded as one unread element so the frame still renders.
    cl_mem Upload(cl_context context, const std::vector<float>& list) {
        static const float kPlaceholder = 0.0f;
        const bool empty = list.empty();
        const std::size_t bytes = empty ? sizeof(float) : list.size() * sizeof(float);
        void* host = const_cast<float*>(empty ? &kPlaceholder : list.data());
        cl_int status = CL_SUCCESS;
        cl_mem buffer =
            clCreateBuffer(context, CL_MEM_READ_ONLY | CL_MEM_COPY_HOST_PTR, bytes, host, &status);
        if (status != CL_SUCCESS || buffer == nullptr) {
            complete_ = false;
        }
        return buffer;
    }

    std::array<cl_mem, 4> buffers_{};
    bool complete_ = true;
};

// Sets consecutive kernel arguments from index 0; stops at the first failure.
class ArgumentSetter {
  public:
    explicit ArgumentSetter(cl_kernel kernel) : kernel_(kernel) {}

    template <class T>
    ArgumentSetter& Set(const T& value) {
        if (ok_) {
            ok_ = clSetKernelArg(kernel_, index_, sizeof(T), &value) == CL_SUCCESS;
        }
        ++index_;
        return *this;
    }
    bool Ok() const { return ok_; }

  private:
    cl_kernel kernel_;
    cl_uint index_ = 0;
    bool ok_ = true;
};

bool SetArguments(cl_kernel kernel, cl_mem src, cl_mem dst, const KernelScalars& s,
                  const ListBuffers& lists) {
    ArgumentSetter set(kernel);
    set.Set(src).Set(dst);
    set.Set(cl_int{s.srcPitch}).Set(cl_int{s.dstPitch}).Set(cl_int{s.in16f});
    set.Set(cl_uint{s.width}).Set(cl_uint{s.height});
    set.Set(lists.Points()).Set(cl_int{s.numSegments}).Set(lists.SegThickness());
    set.Set(cl_float{s.colorR}).Set(cl_float{s.colorG}).Set(cl_float{s.colorB});
    set.Set(cl_float{s.colorA});
    set.Set(lists.NodePoints()).Set(lists.NodeThickness()).Set(cl_int{s.numNodePoints});
    set.Set(cl_int{s.showNodes}).Set(cl_int{s.compositeOnOriginal});
    return set.Ok();
}

}  // namespace

PF_Err RenderRopeOpenCL(const PF_GPUDeviceInfo& device, const void* gpu_data, void* src, void* dst,
                        const KernelScalars& scalars, const RopeRenderData& renderData) {
    const OpenCLGPUData* record = OpenCLRecordOf(gpu_data);
    if (record == nullptr || record->kernel == nullptr || record->lock == nullptr ||
        device.contextPV == nullptr || device.command_queuePV == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    ListBuffers lists(static_cast<cl_context>(device.contextPV), renderData);
    if (!lists.Complete()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const std::size_t global[2] = {RoundUpToGroup(scalars.width), RoundUpToGroup(scalars.height)};
    const std::size_t local[2] = {kGpuGroupSide, kGpuGroupSide};

    // The kernel object is shared by every frame on this device: its arguments
    // must not change between setting them and queueing it.
    std::lock_guard guard(*record->lock);
    if (!SetArguments(record->kernel, static_cast<cl_mem>(src), static_cast<cl_mem>(dst), scalars,
                      lists)) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const cl_int status =
        clEnqueueNDRangeKernel(static_cast<cl_command_queue>(device.command_queuePV),
                               record->kernel, 2, nullptr, global, local, 0, nullptr, nullptr);
    return status == CL_SUCCESS ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

}  // namespace tarsivel
