// The records the host passes with every command: what the effect reads
// (PF_InData) and what it writes back (PF_OutData).
#ifndef TARSIVEL_HOSTAPI_PF_IN_OUT_DATA_H
#define TARSIVEL_HOSTAPI_PF_IN_OUT_DATA_H

#include "hostapi/pf_out_flags.h"
#include "hostapi/pf_param_def.h"
#include "hostapi/pf_types.h"
#include "hostapi/sp_basic_suite.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PF_InteractCallbacks {
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                             A_long time_step, A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def);
} PF_InteractCallbacks;

typedef struct PF_ANSICallbacks {
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
    A_char* (*strcpy)(A_char* dest, const A_char* src);
} PF_ANSICallbacks;

typedef struct PF_UtilCallbacks {
    PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

typedef struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    A_long appl_id;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    A_long width; /* the layer's size at full resolution */
    A_long height;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    A_long output_origin_x;
    A_long output_origin_y;
    SPBasicSuite* pica_basicP;
} PF_InData;

enum { PF_MAX_RETURN_MSG_LEN = 256 };

typedef struct PF_OutData {
    A_u_long my_version;
    A_long num_params;
    PF_OutFlags out_flags;
    PF_OutFlags2 out_flags2;
    PF_Handle global_data;
    A_char return_msg[PF_MAX_RETURN_MSG_LEN];
} PF_OutData;

#define PF_ADD_PARAM(IN_DATA, INDEX, DEF) \
    ((IN_DATA)->inter.add_param((IN_DATA)->effect_ref, (INDEX), (DEF)))
#define PF_CHECKOUT_PARAM(IN_DATA, INDEX, TIME, STEP, SCALE, PARAM)                           \
    ((IN_DATA)->inter.checkout_param((IN_DATA)->effect_ref, (INDEX), (TIME), (STEP), (SCALE), \
                                     (PARAM)))
#define PF_CHECKIN_PARAM(IN_DATA, PARAM) \
    ((IN_DATA)->inter.checkin_param((IN_DATA)->effect_ref, (PARAM)))

#ifdef __cplusplus
}
#endif

#endif
