// Worlds (the host's images), the pixel formats the effect tells apart, and the
// records the host's own image operations take.
#ifndef TARSIVEL_HOSTAPI_PF_WORLD_H
#define TARSIVEL_HOSTAPI_PF_WORLD_H

#include "pf_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_WorldFlags;
typedef A_long PF_NewWorldFlags;

enum {
    PF_WorldFlag_DEEP = 1,
    PF_WorldFlag_WRITEABLE = 2,
    PF_WorldFlag_RESERVED0 = 16777216,
    PF_WorldFlag_RESERVED1 = 33554432,
    PF_WorldFlag_RESERVED2 = 67108864,
    PF_WorldFlag_RESERVED3 = 134217728,
    PF_WorldFlag_RESERVED4 = 268435456,
    PF_WorldFlag_RESERVED5 = 536870912,
    PF_WorldFlag_RESERVED6 = 1073741824,
    PF_WorldFlag_RESERVED = (-2147483647 - 1),
};

enum {
    PF_NewWorldFlag_NONE = 0,
    PF_NewWorldFlag_CLEAR_PIXELS = 1,
    PF_NewWorldFlag_DEEP_PIXELS = 2,
    PF_NewWorldFlag_RESERVED0 = 4,
    PF_NewWorldFlag_RESERVED1 = 8,
};

/* Row r starts r * rowbytes bytes after data. On a GPU world data is null and
   the pixels are on the device (GetGPUWorldData). */
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    PF_WorldFlags world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_UnionableRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;

typedef struct PF_MaskWorld {
    PF_EffectWorld mask;
    PF_Point offset;
    PF_MaskFlags what_is_mask;
} PF_MaskWorld;
typedef struct PF_CompositeMode {
    PF_TransferMode xfer;
    A_long rand_seed;
    A_u_char opacity;
    PF_Boolean rgb_only;
    A_u_short opacitySu;
} PF_CompositeMode;
typedef struct PF_FloatMatrix {
    PF_FpLong mat[3][3];
} PF_FloatMatrix;
typedef struct PF_SampPB {
    PF_Fixed x_radius;
    PF_Fixed y_radius;
    PF_Fixed area;
    PF_EffectWorld* src;
    PF_SampleEdgeBehav samp_behave;
    A_long allow_asynch;
    A_long motion_blur;
    PF_CompositeMode comp_mode;
    PF_PixelPtr mask0;
    A_u_char* fcm_table;
    A_u_char* fcd_table;
    A_long reserved[8];
} PF_SampPB;

typedef A_long PF_PixelFormat;
enum {
    PF_PixelFormat_ARGB32 = 0x62677261,
    PF_PixelFormat_ARGB64 = 0x36316561,
    PF_PixelFormat_ARGB128 = 0x32336561,
    PF_PixelFormat_GPU_BGRA128 = 0x41444340,
    PF_PixelFormat_RESERVED = 0x61444340,
    PF_PixelFormat_BGRA32 = 0x61726762,
    PF_PixelFormat_VUYA32 = 0x61797576,
    PF_PixelFormat_NTSCDV25 = 0x326E7664,
    PF_PixelFormat_PALDV25 = 0x32707664,
    PF_PixelFormat_INVALID = 0x66646162,
    PF_PixelFormat_FORCE_LONG_INT = 0xFFFFFFFF,
};

/* The other host family's pixel formats, four-character codes in one
   enumeration of their own. */
enum PrPixelFormat {
    PrPixelFormat_VUYA_4444_32f = 0x61795556,
    PrPixelFormat_VUYA_4444_8u = 0x61797576,
    PrPixelFormat_BGRA_4444_8u = 0x61726762,
    PrPixelFormat_BGRA_4444_32f = 0x61724742,
};
typedef enum PrPixelFormat PrPixelFormat;

#ifdef __cplusplus
}
#endif

#endif
