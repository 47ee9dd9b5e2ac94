// The rope coverage kernel: one work item per output pixel. It starts from the
// input pixel (or transparent black), takes the largest coverage over all rope
// pieces, blends the rope colour over the pixel, lays the node markers on top
// and writes the pixel once.
//
// This one text is both CUDA source (compiled into the library by nvcc) and
// OpenCL C (embedded as text and built per device after a line defining
// GF_OPENCL_SUPPORTS_16F). The sections under __CUDACC__ hold what differs.
// Every floating constant carries an f suffix: CUDA would widen a bare 0.5 to
// double, and the kernel works in single precision throughout.
#ifndef TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CL_H
#define TARSIVEL_RENDER_KERNEL_ROPE_KERNEL_CL_H

#if defined(__CUDACC__)

#include <cuda_runtime.h>

#ifndef GF_OPENCL_SUPPORTS_16F
#define GF_OPENCL_SUPPORTS_16F 0
#endif

#define GF_KERNEL extern "C" __global__ void
#define GF_DEVICE_FUNCTION static __device__ __forceinline__
#define GF_GLOBAL
#define GF_READ_ONLY_GLOBAL const
#define GF_GLOBAL_ID_X (blockIdx.x * blockDim.x + threadIdx.x)
#define GF_GLOBAL_ID_Y (blockIdx.y * blockDim.y + threadIdx.y)
#define GF_MAKE_FLOAT4(x, y, z, w) make_float4((x), (y), (z), (w))
#define GF_SQRT(v) sqrtf(v)
#define GF_MIN(a, b) fminf((a), (b))
#define GF_MAX(a, b) fmaxf((a), (b))

#else

#define GF_KERNEL __kernel void
#define GF_DEVICE_FUNCTION
#define GF_GLOBAL __global
#define GF_READ_ONLY_GLOBAL __global const
#define GF_GLOBAL_ID_X ((unsigned int)get_global_id(0))
#define GF_GLOBAL_ID_Y ((unsigned int)get_global_id(1))
#define GF_MAKE_FLOAT4(x, y, z, w) ((float4)((x), (y), (z), (w)))
#define GF_SQRT(v) sqrt(v)
#define GF_MIN(a, b) fmin((a), (b))
#define GF_MAX(a, b) fmax((a), (b))

#if GF_OPENCL_SUPPORTS_16F
#pragma OPENCL EXTENSION cl_khr_fp16 : enable
#endif

#endif

// One pixel: x = blue, y = green, z = red, w = alpha. In half-float mode a pixel
// is four halves in the same order; the element index still counts pixels.
GF_DEVICE_FUNCTION float4 ReadFloat4(GF_READ_ONLY_GLOBAL float4* image, int index, int in16f) {
#if GF_OPENCL_SUPPORTS_16F
    if (in16f != 0) {
        return vload_half4((size_t)index, (GF_READ_ONLY_GLOBAL half*)image);
    }
#endif
    (void)in16f;
    return image[index];
}

GF_DEVICE_FUNCTION void WriteFloat4(float4 pixel, GF_GLOBAL float4* image, int index, int in16f) {
#if GF_OPENCL_SUPPORTS_16F
    if (in16f != 0) {
        vstore_half4(pixel, (size_t)index, (GF_GLOBAL half*)image);
        return;
    }
#endif
    (void)in16f;
    image[index] = pixel;
}

GF_DEVICE_FUNCTION float ClampUnit(float value) {
    return GF_MIN(GF_MAX(value, 0.0f), 1.0f);
}

GF_DEVICE_FUNCTION float Distance(float ax, float ay, float bx, float by) {
    float dx = ax - bx;
    float dy = ay - by;
    return GF_SQRT(dx * dx + dy * dy);
}

// Coverage of the pixel centre (px, py) by one tapered piece with round ends.
// A piece shorter than the threshold (on its squared length) is a dot at its
// start with the start width.
GF_DEVICE_FUNCTION float PieceCoverage(float px, float py, float ax, float ay, float bx, float by,
                                       float thickStart, float thickEnd) {
    float dx = bx - ax;
    float dy = by - ay;
    float lenSq = dx * dx + dy * dy;
    float tAlong = 0.0f;
    float dist = 0.0f;
    if (lenSq < 1e-6f) {
        dist = Distance(px, py, ax, ay);
    } else {
        float t = ((px - ax) * dx + (py - ay) * dy) / lenSq;
        t = ClampUnit(t);
        tAlong = t;
        dist = Distance(px, py, ax + t * dx, ay + t * dy);
    }
    float hw = ((1.0f - tAlong) * thickStart + tAlong * thickEnd) * 0.5f;
    return ClampUnit(hw + 0.5f - dist);
}

GF_KERNEL RenderRopeKernel(GF_READ_ONLY_GLOBAL float4* inSrc, GF_GLOBAL float4* outDst,
                           int inSrcPitch, int inDstPitch, int in16f, unsigned int inWidth,
                           unsigned int inHeight, GF_READ_ONLY_GLOBAL float* inPoints,
                           int inNumSegments, GF_READ_ONLY_GLOBAL float* inSegThickness,
                           float inColorR, float inColorG, float inColorB, float inColorA,
                           GF_READ_ONLY_GLOBAL float* inNodePoints,
                           GF_READ_ONLY_GLOBAL float* inNodeThickness, int inNumNodePoints,
                           int inShowNodes, int inCompositeOnOriginal) {
    unsigned int x = GF_GLOBAL_ID_X;
    unsigned int y = GF_GLOBAL_ID_Y;
    // The launch grid is rounded up to whole work-groups; the excess writes nothing.
    if (x >= inWidth || y >= inHeight) {
        return;
    }

    float4 pixel = GF_MAKE_FLOAT4(0.0f, 0.0f, 0.0f, 0.0f);
    if (inCompositeOnOriginal != 0) {
        pixel = ReadFloat4(inSrc, (int)y * inSrcPitch + (int)x, in16f);
    }

    float px = (float)x;
    float py = (float)y;
    // Overlapping pieces must not add up: the largest coverage wins.
    float maxCov = 0.0f;
    for (int i = 0; i < inNumSegments; ++i) {
        float cov =
            PieceCoverage(px, py, inPoints[4 * i], inPoints[4 * i + 1], inPoints[4 * i + 2],
                          inPoints[4 * i + 3], inSegThickness[2 * i], inSegThickness[2 * i + 1]);
        if (cov > maxCov) {
            maxCov = cov;
        }
    }

    if (maxCov > 0.0f) {
        float srcA = inColorA * maxCov;
        float oneMinusSrcA = 1.0f - srcA;
        float dstA = pixel.w;
        float outA = srcA + dstA * oneMinusSrcA;
        if (outA > 0.0f) {
            pixel.x = (inColorB * srcA + pixel.x * oneMinusSrcA) / outA;
            pixel.y = (inColorG * srcA + pixel.y * oneMinusSrcA) / outA;
            pixel.z = (inColorR * srcA + pixel.z * oneMinusSrcA) / outA;
        }
        pixel.w = outA;
    }

    // Opaque red discs over the rope, later nodes over earlier ones.
    if (inShowNodes != 0) {
        for (int i = 0; i < inNumNodePoints; ++i) {
            float nodeRadius = inNodeThickness[i];
            float nodeCov = ClampUnit(
                nodeRadius + 0.5f - Distance(px, py, inNodePoints[2 * i], inNodePoints[2 * i + 1]));
            if (nodeCov > 0.0f) {
                float invA = 1.0f - nodeCov;
                pixel.x = pixel.x * invA;
                pixel.y = pixel.y * invA;
                pixel.z = nodeCov + pixel.z * invA;
                pixel.w = nodeCov + pixel.w * invA;
            }
        }
    }

    WriteFloat4(pixel, outDst, (int)y * inDstPitch + (int)x, in16f);
}

#endif
