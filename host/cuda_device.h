// A CUDA device for the reference host, where the CUDA build exists and a GPU
// is present: worlds in device memory from cudaMalloc. Only compiled with CUDA.
#ifndef TARSIVEL_HOST_CUDA_DEVICE_H
#define TARSIVEL_HOST_CUDA_DEVICE_H

#include <memory>
#include <string>

#include "host/gpu_device.h"

namespace tarsivel::host {

class CudaDevice final : public GpuDevice {
  public:
    // Null when the runtime finds no device with this ordinal.
    static std::unique_ptr<CudaDevice> Open(int ordinal = 0);

    PF_GPU_Framework Framework() const override { return PF_GPU_Framework_CUDA; }
    std::string Name() const override { return name_; }
    // The render path uses none of the record's pointers on CUDA; the device
    // ordinal is carried in devicePV for diagnostics.
    PF_GPUDeviceInfo Info() const override;
    std::unique_ptr<GpuWorld> NewWorld(int32_t width, int32_t height,
                                       int32_t rowPaddingBytes = 16) override;
    void Finish() override;

    int ComputeCapability() const { return computeCapability_; }

  private:
    CudaDevice(int ordinal, std::string name, int computeCapability);

    int ordinal_;
    std::string name_;
    int computeCapability_;
};

// "driver X.Y, runtime X.Y", from the runtime.
std::string CudaVersions();

}  // namespace tarsivel::host

#endif
