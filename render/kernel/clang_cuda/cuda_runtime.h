// What the kernel source takes from the CUDA headers, for clang's CUDA device
// compilation, which runs without the toolkit's headers (-nocudainc): the
// installed toolkit's headers are newer than clang 14 can read. The include
// path of that compilation puts this file in place of <cuda_runtime.h>.
#ifndef TARSIVEL_RENDER_KERNEL_CLANG_CUDA_CUDA_RUNTIME_H
#define TARSIVEL_RENDER_KERNEL_CLANG_CUDA_CUDA_RUNTIME_H

#define __global__ __attribute__((global))
#define __device__ __attribute__((device))
#define __shared__ __attribute__((shared))
#define __forceinline__ __inline__ __attribute__((always_inline))

struct __attribute__((aligned(16))) float4 {
    float x, y, z, w;
};

static __device__ __forceinline__ float4 make_float4(float x, float y, float z, float w) {
    float4 value;
    value.x = x;
    value.y = y;
    value.z = z;
    value.w = w;
    return value;
}

struct TarsivelThreadIndex {
    unsigned int x, y, z;
};

// The special registers, read where they are named.
#define threadIdx                                                    \
    (TarsivelThreadIndex{(unsigned int)__nvvm_read_ptx_sreg_tid_x(), \
                         (unsigned int)__nvvm_read_ptx_sreg_tid_y(), \
                         (unsigned int)__nvvm_read_ptx_sreg_tid_z()})
#define blockIdx                                                       \
    (TarsivelThreadIndex{(unsigned int)__nvvm_read_ptx_sreg_ctaid_x(), \
                         (unsigned int)__nvvm_read_ptx_sreg_ctaid_y(), \
                         (unsigned int)__nvvm_read_ptx_sreg_ctaid_z()})
#define blockDim                                                      \
    (TarsivelThreadIndex{(unsigned int)__nvvm_read_ptx_sreg_ntid_x(), \
                         (unsigned int)__nvvm_read_ptx_sreg_ntid_y(), \
                         (unsigned int)__nvvm_read_ptx_sreg_ntid_z()})

static __device__ __forceinline__ unsigned int __float_as_uint(float value) {
    return __builtin_bit_cast(unsigned int, value);
}

// With fast math these become the approximate instructions, as under nvcc's
// --use_fast_math. __syncthreads is a clang builtin.
#define sqrtf __builtin_sqrtf
#define fabsf __builtin_fabsf
#define fminf __builtin_fminf
#define fmaxf __builtin_fmaxf

#endif
