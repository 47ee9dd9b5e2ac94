// The scalar types, error codes and small records that every part of the
// host's effect API is built from. Every integer type is fixed-width, so the
// 64-bit Windows DLL and the Linux shared library see one layout.
#ifndef TARSIVEL_HOSTAPI_PF_TYPES_H
#define TARSIVEL_HOSTAPI_PF_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef uint8_t A_u_char;
typedef uint64_t A_u_longlong;
typedef uint8_t A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef A_u_longlong A_HandleSize;

typedef A_long PF_Err;
typedef A_char PF_Boolean;
typedef A_long PF_Fixed; /* signed 16.16 fixed point */
typedef A_u_long PF_UFixed;
typedef A_FpLong PF_FpLong;
typedef A_FpShort PF_FpShort;
typedef A_long PF_ParamValue;
typedef A_long PF_ParamIndex;
typedef A_long PF_Quality;
typedef A_long PF_Field;
typedef A_long PF_ModeFlags;
typedef A_long PF_InFlags;
typedef A_long PF_ChannelMask;
typedef A_long PF_CallbackID;
typedef A_long PF_PlatDataID;
typedef A_long PF_TransferMode;
typedef PF_TransferMode PF_XferMode;
typedef A_u_long PF_KernelFlags;
typedef A_u_long PF_SampleEdgeBehav;
typedef A_u_long PF_PathID; /* a mask's id, in the host's own numbering */
typedef A_long PF_MaskFlags;
typedef A_long PF_MaskMode;
typedef void** PF_Handle;
typedef PF_Handle PF_ArbitraryH;
typedef void* PF_SndSamplePtr;
typedef A_short PF_SoundChannels;
typedef A_short PF_SoundFormat;
typedef A_short PF_SoundSampleSize;

/* Records the host keeps to itself: the effect only passes pointers on. */
typedef struct PF_ProgressInfo* PF_ProgPtr; /* the effect reference */
typedef struct PF_PluginData* PF_PluginDataPtr;
typedef struct PF_PathOutline* PF_PathOutlinePtr;
typedef struct PF_PathSegPrep* PF_PathSegPrepPtr;
typedef struct _PF_LayerAudio* PF_LayerAudio;
typedef struct _PF_CustomUIInfo PF_CustomUIInfo;
/* What get_callback_addr hands back, to be cast to the callback's own type. */
typedef struct PF_YouMustCastThisToActualFunctionType* PF_CallbackFunc;

/* Error codes. The effect's own failures start at PF_FIRST_ERR. */
#define PF_FIRST_ERR 512
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517,
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518,
};

/* The host's general error codes; the effect reports a missing suite with one. */
enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,
    A_Err_STRUCT = 2,
    A_Err_PARAMETER = 3,
    A_Err_ALLOC = 4,
    A_Err_WRONG_THREAD = 5,
    A_Err_CONST_PROJECT_MODIFICATION = 6,
    A_Err_RESERVED_7 = 7,
    A_Err_RESERVED_8 = 8,
    A_Err_RESERVED_9 = 9,
    A_Err_RESERVED_10 = 10,
    A_Err_RESERVED_11 = 11,
    A_Err_RESERVED_12 = 12,
    A_Err_MISSING_SUITE = 13,
    A_Err_RESERVED_14 = 14,
    A_Err_RESERVED_15 = 15,
    A_Err_RESERVED_16 = 16,
    A_Err_RESERVED_17 = 17,
    A_Err_RESERVED_18 = 18,
    A_Err_RESERVED_19 = 19,
    A_Err_RESERVED_20 = 20,
    A_Err_RESERVED_21 = 21,
    A_Err_NOT_IN_CACHE_OR_COMPUTE_PENDING = 22,
    A_Err_PROJECT_LOAD_FATAL = 23,
    A_Err_EFFECT_APPLY_FATAL = 24,
    A_Err_LAST = 25,
};

enum {
    PF_Quality_DRAWING_AUDIO = -1,
    PF_Quality_LO = 0,
    PF_Quality_HI = 1,
};

enum {
    PF_Field_FRAME = 0,
    PF_Field_UPPER = 1,
    PF_Field_LOWER = 2,
};

/* Whether a colour given to the host is premultiplied. */
enum {
    PF_MF_Alpha_PREMUL = 0,
    PF_MF_Alpha_STRAIGHT = 1,
};

enum {
    PF_InFlag_NONE = 0,
    PF_InFlag_PROJECT_IS_RENDER_ONLY = 1,
};

enum {
    PF_ChannelMask_ALPHA = 1,
    PF_ChannelMask_RED = 2,
    PF_ChannelMask_GREEN = 4,
    PF_ChannelMask_BLUE = 8,
    PF_ChannelMask_ARGB = 15,
};

/* The API version these declarations describe, which a host of it speaks. */
#define PF_AE_PLUG_IN_VERSION 13
#define PF_AE_PLUG_IN_SUBVERS 28

#define PF_MAX_CHAN8 255
#define PF_MAX_CHAN16 32768 /* the full value of a 16-bit channel */
#define PF_MAX_WORLD_WIDTH 30000
#define PF_MAX_WORLD_HEIGHT 30000
/* Lengths of the host's fixed text fields, each plus its terminating zero. */
#define PF_MAX_EFFECT_NAME_LEN 31
#define PF_MAX_EFFECT_CATEGORY_NAME_LEN 31
#define PF_MAX_EFFECT_PARAM_NAME_LEN 31
#define PF_MAX_PARAM_DESCRIPTION_LEN 31
#define PF_MAX_PARAM_VALUE_LEN 31
#define PF_MAX_PATH_NAME_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255

/* A rectangle is empty unless left < right and top < bottom. */
typedef struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_LRect;
typedef struct PF_Rect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_Rect;
typedef struct PF_UnionableRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_UnionableRect;
typedef struct PF_Point {
    A_long h;
    A_long v;
} PF_Point;
typedef struct PF_RationalScale {
    A_long num;
    A_u_long den;
} PF_RationalScale;
typedef struct PF_SpecVersion {
    A_short major;
    A_short minor;
} PF_SpecVersion;

/* Pixels hold alpha, red, green, blue from the lowest address up. */
typedef struct PF_Pixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel* PF_PixelPtr;
typedef struct PF_UnionablePixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_UnionablePixel;
/* A 16-bit channel's full value is PF_MAX_CHAN16. */
typedef struct PF_Pixel16 {
    A_u_short alpha;
    A_u_short red;
    A_u_short green;
    A_u_short blue;
} PF_Pixel16;
typedef struct PF_PixelFloat {
    PF_FpShort alpha;
    PF_FpShort red;
    PF_FpShort green;
    PF_FpShort blue;
} PF_PixelFloat;

#ifdef __cplusplus
}
#endif

#endif
