// Command codes that the host sends to the effect's entry point.
#ifndef TARSIVEL_HOSTAPI_PF_COMMANDS_H
#define TARSIVEL_HOSTAPI_PF_COMMANDS_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_Cmd;

enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_SETDOWN = 7,
    PF_Cmd_RENDER = 11,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
    PF_Cmd_SMART_RENDER_GPU = 31,
    PF_Cmd_GPU_DEVICE_SETUP = 32,
    PF_Cmd_GPU_DEVICE_SETDOWN = 33
};

#ifdef __cplusplus
}
#endif

#endif
