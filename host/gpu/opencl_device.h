// A real OpenCL device for the reference host: the first device of the first
// platform, or the first whose name contains a given text, with its own context
// and in-order command queue. Its worlds are cl_mem buffers.
#ifndef TARSIVEL_HOST_GPU_OPENCL_DEVICE_H
#define TARSIVEL_HOST_GPU_OPENCL_DEVICE_H

#include <CL/cl.h>

#include <memory>
#include <string>
#include <string_view>

#include "host/gpu/framework_device.h"

namespace tarsivel::host {

class OpenCLDevice final : public FrameworkDevice {
  public:
    // Null when no platform or no matching device exists.
    static std::unique_ptr<OpenCLDevice> Open(std::string_view nameContains = {});
    ~OpenCLDevice() override;

    PF_GPUDeviceInfo Info() const override;
    std::unique_ptr<GpuWorld> NewWorld(int32_t width, int32_t height,
                                       int32_t rowPaddingBytes = 16) override;
    void Finish() override;

    cl_context Context() const { return context_; }
    cl_command_queue Queue() const { return queue_; }
    cl_device_id Device() const { return device_; }

  private:
    OpenCLDevice(cl_platform_id platform, cl_device_id device, std::string name);

    cl_platform_id platform_;
    cl_device_id device_;
    cl_context context_ = nullptr;
    cl_command_queue queue_ = nullptr;
};

}  // namespace tarsivel::host

#endif
