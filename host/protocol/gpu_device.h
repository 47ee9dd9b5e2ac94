// A GPU device this host offers its effects: the record GetDeviceInfo fills and
// the worlds that live in its memory.
#ifndef TARSIVEL_HOST_PROTOCOL_GPU_DEVICE_H
#define TARSIVEL_HOST_PROTOCOL_GPU_DEVICE_H

#include <memory>
#include <string>

#include "host/protocol/gpu_world.h"
#include "hostapi/pf_gpu.h"

namespace tarsivel::host {

class GpuDevice {
  public:
    virtual ~GpuDevice() = default;

    virtual PF_GPU_Framework Framework() const = 0;
    virtual std::string Name() const = 0;
    virtual PF_GPUDeviceInfo Info() const = 0;
    // A world in this device's memory, registered as PF_PixelFormat_GPU_BGRA128.
    virtual std::unique_ptr<GpuWorld> NewWorld(int32_t width, int32_t height,
                                               int32_t rowPaddingBytes = 16) = 0;
    // Waits until everything queued on the device has finished.
    virtual void Finish() = 0;
};

}  // namespace tarsivel::host

#endif
