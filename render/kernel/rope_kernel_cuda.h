// The rope kernel's CUDA device code, embedded in the binary as data: a fatbin
// holding PTX for just-in-time compilation and machine code for the common
// architectures, made at build time from the one kernel source. Device set-up
// loads it as a module through the driver.
#ifndef TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CUDA_H
#define TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CUDA_H

#include <cstddef>

namespace tarsivel {

// The fatbin and its size in bytes; the size is 0 in a build made without the
// CUDA compilers, which then declines CUDA devices.
extern const char kRopeKernelFatbin[];
extern const std::size_t kRopeKernelFatbinSize;

}  // namespace tarsivel

#endif
