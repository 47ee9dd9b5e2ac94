// The OpenCL calls the effect makes, wrapped at link time (-Wl,--wrap) so that
// the allocation sweep leaves whatever the OpenCL platform and its compiler
// allocate alone: that code is not built to survive a throwing allocation, and
// the effect's promise covers its own allocations, not the driver's.
#include <CL/cl.h>

#include "tests/sweep/failing_new.h"

using tarsivel::testing::FailingNew;

extern "C" {

#define TARSIVEL_OUTSIDE_SWEEP(ret, name, params, args) \
    ret __real_##name params;                           \
    ret __wrap_##name params {                          \
        FailingNew::Outside outside;                    \
        return __real_##name args;                      \
    }

TARSIVEL_OUTSIDE_SWEEP(cl_program, clCreateProgramWithSource,
                       (cl_context c, cl_uint n, const char** s, const size_t* l, cl_int* e),
                       (c, n, s, l, e))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clBuildProgram,
                       (cl_program p, cl_uint n, const cl_device_id* d, const char* o,
                        void(CL_CALLBACK* f)(cl_program, void*), void* u),
                       (p, n, d, o, f, u))
TARSIVEL_OUTSIDE_SWEEP(cl_kernel, clCreateKernel, (cl_program p, const char* n, cl_int* e),
                       (p, n, e))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clReleaseProgram, (cl_program p), (p))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clReleaseKernel, (cl_kernel k), (k))
TARSIVEL_OUTSIDE_SWEEP(cl_mem, clCreateBuffer,
                       (cl_context c, cl_mem_flags f, size_t s, void* h, cl_int* e),
                       (c, f, s, h, e))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clSetKernelArg, (cl_kernel k, cl_uint i, size_t s, const void* v),
                       (k, i, s, v))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clEnqueueNDRangeKernel,
                       (cl_command_queue q, cl_kernel k, cl_uint d, const size_t* o,
                        const size_t* g, const size_t* l, cl_uint n, const cl_event* w,
                        cl_event* e),
                       (q, k, d, o, g, l, n, w, e))
TARSIVEL_OUTSIDE_SWEEP(cl_int, clReleaseMemObject, (cl_mem m), (m))

}  // extern "C"
