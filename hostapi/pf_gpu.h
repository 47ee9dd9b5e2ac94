// GPU frameworks, the host's device record and the extra records of GPU device
// set-up and set-down.
#ifndef TARSIVEL_HOSTAPI_PF_GPU_H
#define TARSIVEL_HOSTAPI_PF_GPU_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_GPU_Framework;
enum { PF_GPU_Framework_NONE = 0, PF_GPU_Framework_OPENCL = 1, PF_GPU_Framework_CUDA = 3 };

typedef struct PF_GPUDeviceInfo {
    PF_GPU_Framework device_framework;
    PF_Boolean compatibleB;
    void* platformPV;
    void* devicePV;        /* cl_device_id for OpenCL */
    void* contextPV;       /* cl_context for OpenCL */
    void* command_queuePV; /* cl_command_queue for OpenCL */
} PF_GPUDeviceInfo;

typedef struct PF_GPUDeviceSetupInput {
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_GPUDeviceSetupInput;

typedef struct PF_GPUDeviceSetupOutput {
    void* gpu_data;
} PF_GPUDeviceSetupOutput;

typedef struct PF_GPUDeviceSetupExtra {
    PF_GPUDeviceSetupInput* input;
    PF_GPUDeviceSetupOutput* output;
} PF_GPUDeviceSetupExtra;

typedef struct PF_GPUDeviceSetdownInput {
    void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_GPUDeviceSetdownInput;

typedef struct PF_GPUDeviceSetdownExtra {
    PF_GPUDeviceSetdownInput* input;
} PF_GPUDeviceSetdownExtra;

#ifdef __cplusplus
}
#endif

#endif
