// Two yardstick kernels, for the tests and the benchmark only, built from the
// plug-in's own kernel text (the same coverage, blend and marker functions)
// with more kernels appended, with the plug-in's build options, and handed to
// the GPU render path through GPU data of their own, so a frame runs exactly
// as a plug-in frame does:
//
// - RenderRopeKernelPlain, the plain loop: every work item visits every piece
//   and every marker, as the kernel did before it culled per work-group;
// - RenderRopeKernelUnculled, the plug-in's kernel with a tile that every
//   finite piece and marker reaches, so it lists them all: the same code as
//   the plug-in's, without the culling.
#ifndef TARSIVEL_TESTS_SUPPORT_YARDSTICK_KERNELS_H
#define TARSIVEL_TESTS_SUPPORT_YARDSTICK_KERNELS_H

#include <CL/cl.h>

#include <mutex>

#include "render/gpu/gpu_device_setup.h"
#include "render/kernel/rope_kernel_source.h"

namespace tarsivel::testing {

inline constexpr char kYardstickKernelText[] = R"(
// The plug-in kernel's 19 parameters.
#define ROPE_KERNEL_PARAMETERS                                                                \
    __global const float4 *inSrc, __global float4 *outDst, int inSrcPitch, int inDstPitch,    \
        int in16f, unsigned int inWidth, unsigned int inHeight, __global const float *inPoints, \
        int inNumSegments, __global const float *inSegThickness, float inColorR,              \
        float inColorG, float inColorB, float inColorA, __global const float *inNodePoints,   \
        __global const float *inNodeThickness, int inNumNodePoints, int inShowNodes,          \
        int inCompositeOnOriginal

__kernel void RenderRopeKernelPlain(ROPE_KERNEL_PARAMETERS) {
    unsigned int x = (unsigned int)get_global_id(0);
    unsigned int y = (unsigned int)get_global_id(1);
    if (x >= inWidth || y >= inHeight) {
        return;
    }
    float4 pixel = (float4)(0.0f, 0.0f, 0.0f, 0.0f);
    if (inCompositeOnOriginal != 0) {
        pixel = ReadFloat4(inSrc, (int)y * inSrcPitch + (int)x, in16f);
    }
    float px = (float)x;
    float py = (float)y;
    float maxCov = 0.0f;
#pragma clang loop vectorize(disable)
    for (int i = 0; i < inNumSegments; ++i) {
        float cov =
            PieceCoverage(px, py, inPoints[4 * i], inPoints[4 * i + 1], inPoints[4 * i + 2],
                          inPoints[4 * i + 3], inSegThickness[2 * i], inSegThickness[2 * i + 1]);
        if (cov > maxCov) {
            maxCov = cov;
        }
    }
    pixel = BlendRope(pixel, maxCov, inColorR, inColorG, inColorB, inColorA);
    if (inShowNodes != 0) {
        for (int i = 0; i < inNumNodePoints; ++i) {
            pixel = LayMarker(pixel, px, py, inNodePoints[2 * i], inNodePoints[2 * i + 1],
                              inNodeThickness[i]);
        }
    }
    WriteFloat4(pixel, outDst, (int)y * inDstPitch + (int)x, in16f);
}

__kernel void RenderRopeKernelUnculled(ROPE_KERNEL_PARAMETERS) {
    __local float list[ROPE_CHUNK * ROPE_ENTRY_FLOATS];
    __local int scan[ROPE_SCAN_INTS];
    TileBounds everywhere;
    everywhere.left = -1e30f;
    everywhere.top = -1e30f;
    everywhere.right = 1e30f;
    everywhere.bottom = 1e30f;
    RenderRopeTile(inSrc, outDst, inSrcPitch, inDstPitch, in16f, inWidth, inHeight, inPoints,
                   inNumSegments, inSegThickness, inColorR, inColorG, inColorB, inColorA,
                   inNodePoints, inNodeThickness, inNumNodePoints, inShowNodes,
                   inCompositeOnOriginal, everywhere, list, scan);
}
)";

inline constexpr char kPlainKernelName[] = "RenderRopeKernelPlain";
inline constexpr char kUnculledKernelName[] = "RenderRopeKernelUnculled";

// One of the yardstick kernels built for one device, and GPU data that
// carries it.
class YardstickKernel {
  public:
    YardstickKernel(cl_context context, cl_device_id device, const char* name) {
        const char* strings[3] = {kKernelDefineLine, kRopeKernelSource, kYardstickKernelText};
        const size_t lengths[3] = {kKernelDefineLineLength, kRopeKernelSourceLength,
                                   sizeof kYardstickKernelText - 1};
        cl_int status = CL_SUCCESS;
        program_ = clCreateProgramWithSource(context, 3, strings, lengths, &status);
        if (status != CL_SUCCESS || program_ == nullptr ||
            clBuildProgram(program_, 1, &device, kKernelBuildOptions, nullptr, nullptr) !=
                CL_SUCCESS) {
            return;
        }
        record_.kernel = clCreateKernel(program_, name, &status);
        if (status != CL_SUCCESS) {
            record_.kernel = nullptr;
        }
    }
    ~YardstickKernel() {
        if (record_.kernel != nullptr) {
            clReleaseKernel(record_.kernel);
        }
        if (program_ != nullptr) {
            clReleaseProgram(program_);
        }
    }
    YardstickKernel(const YardstickKernel&) = delete;
    YardstickKernel& operator=(const YardstickKernel&) = delete;

    bool Built() const { return record_.kernel != nullptr; }
    // What device set-up hands the host: a handle (a pointer to the record's
    // pointer).
    const void* GpuData() const { return &handle_; }

  private:
    cl_program program_ = nullptr;
    std::mutex lock_;
    OpenCLGPUData record_{nullptr, &lock_};
    void* handle_ = &record_;
};

}  // namespace tarsivel::testing

#endif
