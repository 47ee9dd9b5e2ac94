// Image buffers (worlds) and the pixel formats the renderers tell apart.
#ifndef TARSIVEL_HOSTAPI_PF_WORLD_H
#define TARSIVEL_HOSTAPI_PF_WORLD_H

#include "hostapi/pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Row r starts r * rowbytes bytes after data; pixels are packed from the row start. */
typedef struct PF_EffectWorld {
    A_long width;
    A_long height;
    A_long rowbytes;
    A_long world_flags;
    void* data;
    PF_ProgPtr effect_ref;
} PF_EffectWorld;

typedef PF_EffectWorld PF_LayerDef;

typedef A_u_long PF_PixelFormat;
typedef A_u_long PrPixelFormat;

enum {
    PF_PixelFormat_ARGB128 = 0x32336561u,
    PF_PixelFormat_ARGB64 = 0x36316561u,
    PF_PixelFormat_ARGB32 = 0x62677261u,
    PF_PixelFormat_GPU_BGRA128 = 0x41444340u,
    PF_PixelFormat_INVALID = 0x66646162u
};

/* A pixel format code of the host's own family, declared by global set-up on one host. */
enum { PrPixelFormat_VUYA_4444_8u = 0x61795556u };

#ifdef __cplusplus
}
#endif

#endif
