// Basic types, error codes and small records of the host's effect API.
// Plain C layouts with fixed-width types, so that the Linux shared library and
// the Windows x64 DLL see the same structures.
#ifndef TARSIVEL_HOSTAPI_PF_TYPES_H
#define TARSIVEL_HOSTAPI_PF_TYPES_H

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
typedef uint8_t A_Boolean;
typedef uint8_t PF_Boolean;
typedef uint64_t A_HandleSize;
typedef int32_t A_Err;
typedef int32_t PF_Err;
typedef int32_t PF_Fixed; /* signed 16.16 fixed point */
typedef double PF_FpLong;
typedef float PF_FpShort;
typedef int32_t PF_ParamValue;
typedef void* PF_ProgPtr; /* the host's opaque effect reference */
typedef void** PF_Handle;
typedef void* PF_PluginDataPtr;
typedef A_u_long PF_PathID; /* a mask's id, the host's own numbering */

/* Four-character codes as one little-endian 32-bit number: 'eFKT' is 0x65464B54. */
#define PF_FOURCC(a, b, c, d) \
    ((((0u + (a)) << 24) | ((0u + (b)) << 16) | ((0u + (c)) << 8) | (0u + (d))))

/* Error codes. */
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    A_Err_MISSING_SUITE = 13,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517
};

/* A rectangle is empty unless left < right and top < bottom. */
typedef struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
} PF_LRect;

typedef struct PF_RationalScale {
    A_long num;
    A_u_long den;
} PF_RationalScale;

/* 8-bit pixel, in the host's channel order. */
typedef struct PF_Pixel {
    A_u_char alpha;
    A_u_char red;
    A_u_char green;
    A_u_char blue;
} PF_Pixel;

/* 16-bit pixel; full value is 32768. */
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
