// Parameter definitions: what the effect declares at parameter set-up and what
// the host hands back when a parameter is checked out.
#ifndef TARSIVEL_HOSTAPI_PF_PARAM_DEF_H
#define TARSIVEL_HOSTAPI_PF_PARAM_DEF_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_ParamType;
typedef A_long PF_ParamIndex;

enum {
    PF_Param_RESERVED = -1,
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_PATH = 12,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14
};

/* Position argument of add_param meaning "append at the end". */
enum { PF_PARAM_APPEND = -1 };

enum { PF_MAX_EFFECT_PARAM_NAME_LEN = 31 }; /* plus the terminating zero */

typedef struct PF_SliderDef {
    PF_ParamValue value;
    A_char value_str[32];
    A_char value_desc[32];
    PF_ParamValue valid_min;
    PF_ParamValue valid_max;
    PF_ParamValue slider_min;
    PF_ParamValue slider_max;
    PF_ParamValue dephault;
} PF_SliderDef;

typedef struct PF_FloatSliderDef {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[32];
    PF_FpShort valid_min;
    PF_FpShort valid_max;
    PF_FpShort slider_min;
    PF_FpShort slider_max;
    PF_FpShort dephault;
    A_short precision;
    A_short display_flags;
    A_u_long fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct PF_CheckBoxDef {
    PF_ParamValue value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        const A_char* nameptr; /* the label shown beside the box */
    } u;
} PF_CheckBoxDef;

typedef struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

/* Point values are 16.16 layer coordinates; the default is 16.16 percent of
   the layer's width and height. */
typedef struct PF_PointDef {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
} PF_PointDef;

/* Angles are 16.16 degrees. */
typedef struct PF_AngleDef {
    PF_Fixed value;
    PF_Fixed dephault;
} PF_AngleDef;

/* The value is the id of one of the layer's masks; 0 is none. */
typedef struct PF_PathDef {
    PF_PathID path_id;
    A_long reserved0;
    A_long dephault;
} PF_PathDef;

typedef union PF_ParamDefUnion {
    PF_SliderDef sd;
    PF_FloatSliderDef fs_d;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_AngleDef ad;
    PF_PathDef path_d;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
    struct {
        A_long id;
    } uu;
    A_short ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[32];
    A_long flags;
    A_long unused;
    PF_ParamDefUnion u;
} PF_ParamDef;

#ifdef __cplusplus
}
#endif

#endif
