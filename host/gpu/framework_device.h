// What the host's OpenCL and CUDA devices share: the framework and name they
// answer with, the framework's part of the device record, and how a failed
// framework call is reported.
#ifndef TARSIVEL_HOST_GPU_FRAMEWORK_DEVICE_H
#define TARSIVEL_HOST_GPU_FRAMEWORK_DEVICE_H

#include <stdexcept>
#include <string>
#include <utility>

#include "host/protocol/gpu_device.h"

namespace tarsivel::host {

class FrameworkDevice : public GpuDevice {
  public:
    FrameworkDevice(const FrameworkDevice&) = delete;
    FrameworkDevice& operator=(const FrameworkDevice&) = delete;

    PF_GPU_Framework Framework() const final { return framework_; }
    std::string Name() const final { return name_; }

  protected:
    FrameworkDevice(PF_GPU_Framework framework, std::string name)
        : framework_(framework), name_(std::move(name)) {}

    // The record with the framework filled in and the device marked
    // compatible; each framework adds its own handles.
    PF_GPUDeviceInfo FrameworkInfo() const {
        PF_GPUDeviceInfo info{};
        info.device_framework = framework_;
        info.compatibleB = 1;
        return info;
    }

  private:
    PF_GPU_Framework framework_;
    std::string name_;
};

// Throws std::runtime_error "<framework> <call> failed: <why>".
[[noreturn]] inline void ThrowFrameworkFailure(const char* framework, const char* call,
                                               const std::string& why) {
    throw std::runtime_error(std::string(framework) + " " + call + " failed: " + why);
}

}  // namespace tarsivel::host

#endif
