// GPU frameworks, the host's device record and the extra records of GPU device
// set-up and set-down.
#ifndef TARSIVEL_HOSTAPI_PF_GPU_H
#define TARSIVEL_HOSTAPI_PF_GPU_H

#include "pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_GPU_Framework;
enum {
    PF_GPU_Framework_NONE = 0,
    PF_GPU_Framework_OPENCL = 1,
    PF_GPU_Framework_METAL = 2,
    PF_GPU_Framework_CUDA = 3,
};

/* What GetDeviceInfo fills in. For OpenCL: platformPV the cl_platform_id,
   devicePV the cl_device_id, contextPV the cl_context and command_queuePV the
   cl_command_queue that renders run on. The offscreen OpenGL slots are not
   used. What a host puts there for CUDA is its own convention; docs/ gives
   the one this effect relies on. */
typedef struct PF_GPUDeviceInfo {
    PF_GPU_Framework device_framework;
    PF_Boolean compatibleB;
    void* platformPV;
    void* devicePV;
    void* contextPV;
    void* command_queuePV;
    void* offscreen_opengl_contextPV;
    void* offscreen_opengl_devicePV;
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
