// Capability and status flags that the effect reports in PF_OutData.
#ifndef TARSIVEL_HOSTAPI_PF_OUT_FLAGS_H
#define TARSIVEL_HOSTAPI_PF_OUT_FLAGS_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;

enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_NON_PARAM_VARY = 1 << 2,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1 << 8,
    PF_OutFlag_PIX_INDEPENDENT = 1 << 10,
    PF_OutFlag_DEEP_COLOR_AWARE = 1 << 25
};

enum {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 1 << 10,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 1 << 12,
    PF_OutFlag2_SUPPORTS_GPU_RENDER_F32 = 1 << 25,
    PF_OutFlag2_SUPPORTS_THREADED_RENDERING = 1 << 27
};

/* The one host whose id changes what global set-up declares. */
#define PF_APPL_ID_PRMR PF_FOURCC('P', 'r', 'M', 'r')

#ifdef __cplusplus
}
#endif

#endif
