// The host suites the effect acquires through the basic suite, each with exactly
// the operations the effect uses, and their registered names and versions.
#ifndef TARSIVEL_HOSTAPI_PF_SUITES_H
#define TARSIVEL_HOSTAPI_PF_SUITES_H

#include "hostapi/pf_gpu.h"
#include "hostapi/pf_types.h"
#include "hostapi/pf_world.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFPixelFormatSuite "PF Pixel Format Suite"
#define kPFPixelFormatSuiteVersion1 1
#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1
#define kPFGPUDeviceSuite "PF GPU Device Suite"
#define kPFGPUDeviceSuiteVersion1 1
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion2 2

typedef struct PF_ANSICallbacksSuite1 {
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
} PF_ANSICallbacksSuite1;

typedef struct PF_PixelFormatSuite1 {
    PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr effect_ref);
    PF_Err (*AddSupportedPixelFormat)(PF_ProgPtr effect_ref, PrPixelFormat pixel_format);
} PF_PixelFormatSuite1;

/* Masks. */
typedef struct PF_PathOutline* PF_PathOutlinePtr; /* opaque, the host's */

/* One mask vertex; the tangent points are absolute positions in the same space. */
typedef struct PF_PathVertex {
    PF_FpLong x;
    PF_FpLong y;
    PF_FpLong tan_in_x;
    PF_FpLong tan_in_y;
    PF_FpLong tan_out_x;
    PF_FpLong tan_out_y;
} PF_PathVertex;

typedef struct PF_PathQuerySuite1 {
    PF_Err (*PF_NumPaths)(PF_ProgPtr effect_ref, A_long* num_paths);
    PF_Err (*PF_PathInfo)(PF_ProgPtr effect_ref, A_long index, PF_PathID* path_id);
    PF_Err (*PF_CheckoutPath)(PF_ProgPtr effect_ref, PF_PathID path_id, A_long what_time,
                              A_long time_step, A_u_long time_scale, PF_PathOutlinePtr* path);
    PF_Err (*PF_CheckinPath)(PF_ProgPtr effect_ref, PF_PathID path_id, PF_Boolean changed,
                             PF_PathOutlinePtr path);
} PF_PathQuerySuite1;

typedef struct PF_PathDataSuite1 {
    PF_Err (*PF_PathIsOpen)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_Boolean* open);
    PF_Err (*PF_PathNumSegments)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path,
                                 A_long* num_segments);
    PF_Err (*PF_PathVertexInfo)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which,
                                PF_PathVertex* vertex);
} PF_PathDataSuite1;

typedef struct PF_WorldSuite2 {
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* world, PF_PixelFormat* pixel_format);
} PF_WorldSuite2;

typedef struct PF_WorldTransformSuite1 {
    /* Null rectangles mean the whole source into the whole destination. */
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                   PF_LRect* src_rect, PF_LRect* dst_rect);
} PF_WorldTransformSuite1;

typedef struct PF_GPUDeviceSuite1 {
    PF_Err (*GetDeviceInfo)(PF_ProgPtr effect_ref, A_u_long device_index,
                            PF_GPUDeviceInfo* device_info);
    PF_Err (*GetGPUWorldData)(PF_ProgPtr effect_ref, PF_EffectWorld* world, void** pixels);
} PF_GPUDeviceSuite1;

/* Registered as version 2 of "PF Handle Suite". */
typedef struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize size);
    void (*host_dispose_handle)(PF_Handle handle);
} PF_HandleSuite1;

#ifdef __cplusplus
}
#endif

#endif
