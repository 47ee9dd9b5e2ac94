// A CUDA device for the reference host, through the driver library loaded at
// run time: worlds in device memory of the device's primary context, which the
// host holds for as long as the device is open.
#ifndef TARSIVEL_HOST_GPU_CUDA_DEVICE_H
#define TARSIVEL_HOST_GPU_CUDA_DEVICE_H

#include <memory>
#include <string>

#include "host/gpu/framework_device.h"
#include "render/gpu/cuda/cuda_driver.h"

namespace tarsivel::host {

class CudaDevice final : public FrameworkDevice {
  public:
    // Null with `why` set (for a user: "no CUDA driver on this machine", ...)
    // when the driver, the device or its context cannot be had.
    static std::unique_ptr<CudaDevice> Open(int ordinal, std::string& why);
    ~CudaDevice() override;

    // As docs/reference-host.md describes for CUDA: the ordinal in devicePV, the
    // host's context in contextPV, the default stream (null) in command_queuePV.
    PF_GPUDeviceInfo Info() const override;
    std::unique_ptr<GpuWorld> NewWorld(int32_t width, int32_t height,
                                       int32_t rowPaddingBytes = 16) override;
    void Finish() override;

    int ComputeCapability() const { return computeCapability_; }
    CUcontext Context() const { return context_; }
    const CudaDriver& Driver() const { return driver_; }

  private:
    CudaDevice(const CudaDriver& driver, int ordinal, CUdevice device, CUcontext context,
               std::string name, int computeCapability);

    const CudaDriver& driver_;
    int ordinal_;
    CUdevice device_;
    CUcontext context_;
    int computeCapability_;
};

// "driver 12.4", or why there is no driver.
std::string CudaDriverVersion();

}  // namespace tarsivel::host

#endif
