// The rope kernel as OpenCL C text, embedded at build time from the one kernel
// source. The text follows the line that defines GF_OPENCL_SUPPORTS_16F.
#ifndef TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_SOURCE_H
#define TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_SOURCE_H

#include <cstddef>

namespace tarsivel {

// The text and its exact length in bytes (the terminating zero not counted).
extern const char kRopeKernelSource[];
extern const std::size_t kRopeKernelSourceLength;

// The line that goes before the kernel text: half-float pixels compiled out.
inline constexpr char kKernelDefineLine[] = "#define GF_OPENCL_SUPPORTS_16F 0\n";
inline constexpr std::size_t kKernelDefineLineLength = sizeof kKernelDefineLine - 1;
static_assert(kKernelDefineLineLength == 33);

}  // namespace tarsivel

#endif
