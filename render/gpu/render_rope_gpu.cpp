#include "render_rope_gpu.h"

#include <CL/cl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "cuda_driver.h"
#include "gpu_device_setup.h"
#include "pf_api.h"
#include "scoped_suite.h"

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
    scalars.pieceCount = static_cast<int>(
        std::min(renderData.points.size() / 4, renderData.segThickness.size() / 2));
    scalars.markerCount = static_cast<int>(
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

namespace {

// The kernel's 19 arguments, each at the type the kernel declares; `Buffer` is
// how the framework names device memory (cl_mem, CUdeviceptr). ForEach is the
// one place that spells their order, for both frameworks.
template <class Buffer>
struct KernelArguments {
    Buffer inSrc;
    Buffer outDst;
    int inSrcPitch;
    int inDstPitch;
    int in16f;
    unsigned int inWidth;
    unsigned int inHeight;
    Buffer inPoints;
    int inNumSegments;
    Buffer inSegThickness;
    float inColorR;
    float inColorG;
    float inColorB;
    float inColorA;
    Buffer inNodePoints;
    Buffer inNodeThickness;
    int inNumNodePoints;
    int inShowNodes;
    int inCompositeOnOriginal;

    static constexpr std::size_t kCount = 19;

    // `lists` holds the buffers of points, segThickness, nodePoints and
    // nodeThickness, in that order.
    KernelArguments(Buffer src, Buffer dst, const KernelScalars& s,
                    const std::array<Buffer, 4>& lists)
        : inSrc(src),
          outDst(dst),
          inSrcPitch(s.srcPitch),
          inDstPitch(s.dstPitch),
          in16f(s.in16f),
          inWidth(s.width),
          inHeight(s.height),
          inPoints(lists[0]),
          inNumSegments(s.pieceCount),
          inSegThickness(lists[1]),
          inColorR(s.colorR),
          inColorG(s.colorG),
          inColorB(s.colorB),
          inColorA(s.colorA),
          inNodePoints(lists[2]),
          inNodeThickness(lists[3]),
          inNumNodePoints(s.markerCount),
          inShowNodes(s.showNodes),
          inCompositeOnOriginal(s.compositeOnOriginal) {}

    // visit(argument) for every argument in the kernel's order.
    template <class Visit>
    void ForEach(Visit visit) {
        visit(inSrc);
        visit(outDst);
        visit(inSrcPitch);
        visit(inDstPitch);
        visit(in16f);
        visit(inWidth);
        visit(inHeight);
        visit(inPoints);
        visit(inNumSegments);
        visit(inSegThickness);
        visit(inColorR);
        visit(inColorG);
        visit(inColorB);
        visit(inColorA);
        visit(inNodePoints);
        visit(inNodeThickness);
        visit(inNumNodePoints);
        visit(inShowNodes);
        visit(inCompositeOnOriginal);
    }
};
// The kernel's int, unsigned int and float arguments are OpenCL's cl_int,
// cl_uint and cl_float.
static_assert(sizeof(cl_int) == sizeof(int) && sizeof(cl_uint) == sizeof(unsigned int) &&
              sizeof(cl_float) == sizeof(float));

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
    const std::array<cl_mem, 4>& All() const { return buffers_; }

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

bool SetArguments(cl_kernel kernel, cl_mem src, cl_mem dst, const KernelScalars& scalars,
                  const ListBuffers& lists) {
    KernelArguments<cl_mem> arguments(src, dst, scalars, lists.All());
    ArgumentSetter set(kernel);
    arguments.ForEach([&](const auto& argument) { set.Set(argument); });
    return set.Ok();
}

// One frame through OpenCL: per-frame list buffers, the device's shared
// kernel, one 2-D launch that is queued and not waited for. `gpu_data` is the
// handle from device set-up; `src` and `dst` the worlds' cl_mem objects.
// Returns PF_Err_NONE or PF_Err_INTERNAL_STRUCT_DAMAGED.
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
    const std::array<CUdeviceptr, 4>& All() const { return buffers_; }

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

// One frame through the CUDA driver: per-frame list buffers, one launch of
// the function that device set-up loaded, synchronisation and the check.
// `gpuData` is the device's GPU data from set-up; `src` and `dst` are the
// worlds' device pointers. Returns PF_Err_NONE, or PF_Err_INTERNAL_STRUCT_DAMAGED
// on any failure (also without GPU data or a driver), with every buffer of the
// frame freed.
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
    // Declared after the context guard, so that the lists are freed while the
    // module's context is still current, after the synchronisation below has
    // seen the kernel finish.
    DeviceLists lists(*driver, renderData);
    if (!lists.Complete()) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }

    // The launch takes the address of each argument, in the kernel's order.
    KernelArguments<CUdeviceptr> arguments(DevicePointer(src), DevicePointer(dst), scalars,
                                           lists.All());
    std::array<void*, KernelArguments<CUdeviceptr>::kCount> addresses{};
    std::size_t count = 0;
    arguments.ForEach([&](auto& argument) { addresses[count++] = &argument; });

    // 16 x 16 blocks over ⌈width / 16⌉ x ⌈height / 16⌉, on the default stream,
    // with no dynamic shared memory.
    if (driver->cuLaunchKernel(record->function, GroupCount(scalars.width),
                               GroupCount(scalars.height), 1, kGpuGroupSide, kGpuGroupSide, 1, 0,
                               nullptr, addresses.data(), nullptr) != CUDA_SUCCESS) {
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

}  // namespace

// Every failure but a missing suite is returned, not thrown: smart render checks
// the layer in after the renderer and answers the renderer's code ahead of the
// check-in's.
PF_Err RenderRopeGPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* extra, const RopeRenderData& renderData) {
    ScopedSuite<PF_GPUDeviceSuite1> gpu(in_data, kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1,
                                        out_data);
    if (pixelFormat != PF_PixelFormat_GPU_BGRA128) {
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;  // before any device call; no CPU fallback
    }
    if (extra == nullptr || extra->input == nullptr || inputWorld == nullptr ||
        outputWorld == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    const PF_SmartRenderInput& input = *extra->input;

    PF_GPUDeviceInfo device{};
    PF_Err err = gpu->GetDeviceInfo(in_data->effect_ref, input.device_index, &device);
    void* src = nullptr;
    void* dst = nullptr;
    if (err == PF_Err_NONE) {
        err = gpu->GetGPUWorldData(in_data->effect_ref, inputWorld, &src);
    }
    if (err == PF_Err_NONE) {
        err = gpu->GetGPUWorldData(in_data->effect_ref, outputWorld, &dst);
    }
    if (err != PF_Err_NONE) {
        return err;
    }

    const KernelScalars scalars =
        ComputeKernelScalars(pixelFormat, *inputWorld, *outputWorld, renderData);
    const bool drawable =
        input.what_gpu == PF_GPU_Framework_OPENCL || input.what_gpu == PF_GPU_Framework_CUDA;
    // Another framework draws nothing and is no failure: set-up declined it, so
    // the host should not have sent it. Neither framework accepts an empty launch.
    if (!drawable || scalars.width == 0 || scalars.height == 0) {
        return PF_Err_NONE;
    }
    if (src == nullptr || dst == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (input.what_gpu == PF_GPU_Framework_OPENCL) {
        return RenderRopeOpenCL(device, input.gpu_data, src, dst, scalars, renderData);
    }
    return RenderRopeCUDA(input.gpu_data, src, dst, scalars, renderData);
}

}  // namespace tarsivel
