// The OpenCL entry points this project calls, forwarded to an ICD loader (or a
// vendor library) found with dlopen on first use. Linked instead of the loader
// into the self-contained GPU check binary, so that it starts on machines with
// no OpenCL installed; there every call reports that no platform exists.
#include <CL/cl.h>
#include <dlfcn.h>

#include <cstring>
#include <initializer_list>

namespace {

constexpr cl_int kNoPlatform = -1001;  // CL_PLATFORM_NOT_FOUND_KHR

void* Library() {
    static void* library = [] {
        for (const char* name : {"libOpenCL.so.1", "libOpenCL.so", "libnvidia-opencl.so.1"}) {
            if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
                return handle;
            }
        }
        return static_cast<void*>(nullptr);
    }();
    return library;
}

template <class Function>
Function* Resolve(const char* name) {
    void* library = Library();
    void* symbol = library != nullptr ? dlsym(library, name) : nullptr;
    Function* function = nullptr;
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

// Resolves once per entry point; null when the library or the symbol is absent.
#define TARSIVEL_CL_FORWARD(name) static auto* const real = Resolve<decltype(::name)>(#name)

void SetError(cl_int* errcode_ret) {
    if (errcode_ret != nullptr) {
        *errcode_ret = kNoPlatform;
    }
}

}  // namespace

extern "C" {

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformIDs(cl_uint num_entries, cl_platform_id* platforms,
                                                 cl_uint* num_platforms) {
    TARSIVEL_CL_FORWARD(clGetPlatformIDs);
    if (real == nullptr) {
        if (num_platforms != nullptr) {
            *num_platforms = 0;
        }
        return kNoPlatform;
    }
    return real(num_entries, platforms, num_platforms);
}

CL_API_ENTRY cl_int CL_API_CALL clGetPlatformInfo(cl_platform_id platform,
                                                  cl_platform_info param_name,
                                                  size_t param_value_size, void* param_value,
                                                  size_t* param_value_size_ret) {
    TARSIVEL_CL_FORWARD(clGetPlatformInfo);
    return real ? real(platform, param_name, param_value_size, param_value, param_value_size_ret)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceIDs(cl_platform_id platform, cl_device_type device_type,
                                               cl_uint num_entries, cl_device_id* devices,
                                               cl_uint* num_devices) {
    TARSIVEL_CL_FORWARD(clGetDeviceIDs);
    return real ? real(platform, device_type, num_entries, devices, num_devices) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clGetDeviceInfo(cl_device_id device, cl_device_info param_name,
                                                size_t param_value_size, void* param_value,
                                                size_t* param_value_size_ret) {
    TARSIVEL_CL_FORWARD(clGetDeviceInfo);
    return real ? real(device, param_name, param_value_size, param_value, param_value_size_ret)
                : kNoPlatform;
}

CL_API_ENTRY cl_context CL_API_CALL clCreateContext(
    const cl_context_properties* properties, cl_uint num_devices, const cl_device_id* devices,
    void(CL_CALLBACK* pfn_notify)(const char*, const void*, size_t, void*), void* user_data,
    cl_int* errcode_ret) {
    TARSIVEL_CL_FORWARD(clCreateContext);
    if (real == nullptr) {
        SetError(errcode_ret);
        return nullptr;
    }
    return real(properties, num_devices, devices, pfn_notify, user_data, errcode_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseContext(cl_context context) {
    TARSIVEL_CL_FORWARD(clReleaseContext);
    return real ? real(context) : kNoPlatform;
}

CL_API_ENTRY cl_command_queue CL_API_CALL clCreateCommandQueue(cl_context context,
                                                               cl_device_id device,
                                                               cl_command_queue_properties props,
                                                               cl_int* errcode_ret) {
    TARSIVEL_CL_FORWARD(clCreateCommandQueue);
    if (real == nullptr) {
        SetError(errcode_ret);
        return nullptr;
    }
    return real(context, device, props, errcode_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseCommandQueue(cl_command_queue queue) {
    TARSIVEL_CL_FORWARD(clReleaseCommandQueue);
    return real ? real(queue) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clFinish(cl_command_queue queue) {
    TARSIVEL_CL_FORWARD(clFinish);
    return real ? real(queue) : kNoPlatform;
}

CL_API_ENTRY cl_mem CL_API_CALL clCreateBuffer(cl_context context, cl_mem_flags flags, size_t size,
                                               void* host_ptr, cl_int* errcode_ret) {
    TARSIVEL_CL_FORWARD(clCreateBuffer);
    if (real == nullptr) {
        SetError(errcode_ret);
        return nullptr;
    }
    return real(context, flags, size, host_ptr, errcode_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseMemObject(cl_mem memobj) {
    TARSIVEL_CL_FORWARD(clReleaseMemObject);
    return real ? real(memobj) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueWriteBuffer(cl_command_queue queue, cl_mem buffer,
                                                     cl_bool blocking, size_t offset, size_t size,
                                                     const void* ptr, cl_uint num_events,
                                                     const cl_event* wait_list, cl_event* event) {
    TARSIVEL_CL_FORWARD(clEnqueueWriteBuffer);
    return real ? real(queue, buffer, blocking, offset, size, ptr, num_events, wait_list, event)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueReadBuffer(cl_command_queue queue, cl_mem buffer,
                                                    cl_bool blocking, size_t offset, size_t size,
                                                    void* ptr, cl_uint num_events,
                                                    const cl_event* wait_list, cl_event* event) {
    TARSIVEL_CL_FORWARD(clEnqueueReadBuffer);
    return real ? real(queue, buffer, blocking, offset, size, ptr, num_events, wait_list, event)
                : kNoPlatform;
}

CL_API_ENTRY cl_program CL_API_CALL clCreateProgramWithSource(cl_context context, cl_uint count,
                                                              const char** strings,
                                                              const size_t* lengths,
                                                              cl_int* errcode_ret) {
    TARSIVEL_CL_FORWARD(clCreateProgramWithSource);
    if (real == nullptr) {
        SetError(errcode_ret);
        return nullptr;
    }
    return real(context, count, strings, lengths, errcode_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clBuildProgram(cl_program program, cl_uint num_devices,
                                               const cl_device_id* device_list, const char* options,
                                               void(CL_CALLBACK* pfn_notify)(cl_program, void*),
                                               void* user_data) {
    TARSIVEL_CL_FORWARD(clBuildProgram);
    return real ? real(program, num_devices, device_list, options, pfn_notify, user_data)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clGetProgramInfo(cl_program program, cl_program_info param_name,
                                                 size_t param_value_size, void* param_value,
                                                 size_t* param_value_size_ret) {
    TARSIVEL_CL_FORWARD(clGetProgramInfo);
    return real ? real(program, param_name, param_value_size, param_value, param_value_size_ret)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clGetProgramBuildInfo(cl_program program, cl_device_id device,
                                                      cl_program_build_info param_name,
                                                      size_t param_value_size, void* param_value,
                                                      size_t* param_value_size_ret) {
    TARSIVEL_CL_FORWARD(clGetProgramBuildInfo);
    return real ? real(program, device, param_name, param_value_size, param_value,
                       param_value_size_ret)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseProgram(cl_program program) {
    TARSIVEL_CL_FORWARD(clReleaseProgram);
    return real ? real(program) : kNoPlatform;
}

CL_API_ENTRY cl_kernel CL_API_CALL clCreateKernel(cl_program program, const char* kernel_name,
                                                  cl_int* errcode_ret) {
    TARSIVEL_CL_FORWARD(clCreateKernel);
    if (real == nullptr) {
        SetError(errcode_ret);
        return nullptr;
    }
    return real(program, kernel_name, errcode_ret);
}

CL_API_ENTRY cl_int CL_API_CALL clRetainKernel(cl_kernel kernel) {
    TARSIVEL_CL_FORWARD(clRetainKernel);
    return real ? real(kernel) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clReleaseKernel(cl_kernel kernel) {
    TARSIVEL_CL_FORWARD(clReleaseKernel);
    return real ? real(kernel) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clGetKernelInfo(cl_kernel kernel, cl_kernel_info param_name,
                                                size_t param_value_size, void* param_value,
                                                size_t* param_value_size_ret) {
    TARSIVEL_CL_FORWARD(clGetKernelInfo);
    return real ? real(kernel, param_name, param_value_size, param_value, param_value_size_ret)
                : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clSetKernelArg(cl_kernel kernel, cl_uint arg_index, size_t arg_size,
                                               const void* arg_value) {
    TARSIVEL_CL_FORWARD(clSetKernelArg);
    return real ? real(kernel, arg_index, arg_size, arg_value) : kNoPlatform;
}

CL_API_ENTRY cl_int CL_API_CALL clEnqueueNDRangeKernel(cl_command_queue queue, cl_kernel kernel,
                                                       cl_uint work_dim, const size_t* offset,
                                                       const size_t* global, const size_t* local,
                                                       cl_uint num_events,
                                                       const cl_event* wait_list, cl_event* event) {
    TARSIVEL_CL_FORWARD(clEnqueueNDRangeKernel);
    return real ? real(queue, kernel, work_dim, offset, global, local, num_events, wait_list, event)
                : kNoPlatform;
}

}  // extern "C"
