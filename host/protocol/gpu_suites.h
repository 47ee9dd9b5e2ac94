// What "PF GPU Device Suite" and "PF Handle Suite" serve: the devices this host
// offers, by the device index that the GPU extras carry, and the handles it has
// made. Both are process-wide, as a host's device list and memory are.
#ifndef TARSIVEL_HOST_PROTOCOL_GPU_SUITES_H
#define TARSIVEL_HOST_PROTOCOL_GPU_SUITES_H

#include "host/protocol/gpu_device.h"
#include "hostapi/pf_types.h"

namespace tarsivel::host {

// Offers `device` under `deviceIndex` (null withdraws it). The device is not
// owned and must outlive its offer.
void OfferGpuDevice(A_u_long deviceIndex, GpuDevice* device);
GpuDevice* OfferedGpuDevice(A_u_long deviceIndex);

// Offers a device for the length of a scope.
class ScopedGpuDeviceOffer {
  public:
    ScopedGpuDeviceOffer(A_u_long deviceIndex, GpuDevice& device);
    ~ScopedGpuDeviceOffer();
    ScopedGpuDeviceOffer(const ScopedGpuDeviceOffer&) = delete;
    ScopedGpuDeviceOffer& operator=(const ScopedGpuDeviceOffer&) = delete;

  private:
    A_u_long deviceIndex_;
    GpuDevice* previous_;
};

struct HandleCounts {
    long made = 0;
    long disposed = 0;
    long Live() const { return made - disposed; }
};
HandleCounts CountHandles();
// The byte size a live handle was made with, or -1 for anything else.
long long HandleSize(PF_Handle handle);

}  // namespace tarsivel::host

#endif
