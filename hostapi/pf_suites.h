// The suites the host offers through the basic suite, each a complete function
// table in the host's slot order, with their registered names and versions.
#ifndef TARSIVEL_HOSTAPI_PF_SUITES_H
#define TARSIVEL_HOSTAPI_PF_SUITES_H

#include "pf_gpu.h"
#include "pf_types.h"
#include "pf_world.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFGPUDeviceSuite "PF GPU Device Suite"
#define kPFGPUDeviceSuiteVersion1 1
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 2
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
#define kPFPixelFormatSuite "PF Pixel Format Suite"
#define kPFPixelFormatSuiteVersion 1
#define kPFPixelFormatSuiteVersion1 1
#define kPFPixelFormatSuiteVersion2 2
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion1 1
#define kPFWorldSuiteVersion2 2
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1

typedef struct PF_ANSICallbacksSuite1 {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong, A_FpLong);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong, A_FpLong);
    A_FpLong (*hypot)(A_FpLong, A_FpLong);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong, A_FpLong);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char*, const A_char*, ...);
    A_char* (*strcpy)(A_char*, const A_char*);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
} PF_ANSICallbacksSuite1;

typedef struct PF_PixelFormatSuite1 {
    PF_Err (*AddSupportedPixelFormat)(PF_ProgPtr, PrPixelFormat);
    PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr);
    PF_Err (*NewWorldOfPixelFormat)(PF_ProgPtr, A_u_long, A_u_long, PF_NewWorldFlags, PrPixelFormat,
                                    PF_EffectWorld*);
    PF_Err (*DisposeWorld)(PF_ProgPtr, PF_EffectWorld*);
    PF_Err (*GetPixelFormat)(PF_EffectWorld*, PrPixelFormat*);
    PF_Err (*GetBlackForPixelFormat)(PrPixelFormat, void*);
    PF_Err (*GetWhiteForPixelFormat)(PrPixelFormat, void*);
    PF_Err (*ConvertColorToPixelFormattedData)(PrPixelFormat, float, float, float, float, void*);
} PF_PixelFormatSuite1;

/* Masks. A vertex's tangent points are absolute positions in the same space. */
typedef struct PF_PathVertex {
    PF_FpLong x;
    PF_FpLong y;
    PF_FpLong tan_in_x;
    PF_FpLong tan_in_y;
    PF_FpLong tan_out_x;
    PF_FpLong tan_out_y;
} PF_PathVertex;
typedef struct PF_PathQuerySuite1 {
    PF_Err (*PF_NumPaths)(PF_ProgPtr, A_long*);
    PF_Err (*PF_PathInfo)(PF_ProgPtr, A_long, PF_PathID*);
    PF_Err (*PF_CheckoutPath)(PF_ProgPtr, PF_PathID, A_long, A_long, A_u_long, PF_PathOutlinePtr*);
    PF_Err (*PF_CheckinPath)(PF_ProgPtr, PF_PathID, PF_Boolean, PF_PathOutlinePtr);
} PF_PathQuerySuite1;
typedef struct PF_PathDataSuite1 {
    PF_Err (*PF_PathIsOpen)(PF_ProgPtr, PF_PathOutlinePtr, PF_Boolean*);
    PF_Err (*PF_PathNumSegments)(PF_ProgPtr, PF_PathOutlinePtr, A_long*);
    PF_Err (*PF_PathVertexInfo)(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathVertex*);
    PF_Err (*PF_PathPrepareSegLength)(PF_ProgPtr, PF_PathOutlinePtr, A_long, A_long,
                                      PF_PathSegPrepPtr*);
    PF_Err (*PF_PathGetSegLength)(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathSegPrepPtr*,
                                  PF_FpLong*);
    PF_Err (*PF_PathEvalSegLength)(PF_ProgPtr, PF_PathOutlinePtr, PF_PathSegPrepPtr*, A_long,
                                   PF_FpLong, PF_FpLong*, PF_FpLong*);
    PF_Err (*PF_PathEvalSegLengthDeriv1)(PF_ProgPtr, PF_PathOutlinePtr, PF_PathSegPrepPtr*, A_long,
                                         PF_FpLong, PF_FpLong*, PF_FpLong*, PF_FpLong*, PF_FpLong*);
    PF_Err (*PF_PathCleanupSegLength)(PF_ProgPtr, PF_PathOutlinePtr, A_long, PF_PathSegPrepPtr*);
    PF_Err (*PF_PathIsInverted)(PF_ProgPtr, PF_PathID, PF_Boolean*);
    PF_Err (*PF_PathGetMaskMode)(PF_ProgPtr, PF_PathID, PF_MaskMode*);
    PF_Err (*PF_PathGetName)(PF_ProgPtr, PF_PathID, A_char*);
} PF_PathDataSuite1;

typedef struct PF_WorldSuite2 {
    PF_Err (*PF_NewWorld)(PF_ProgPtr, A_long, A_long, PF_Boolean, PF_PixelFormat, PF_EffectWorld*);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr, PF_EffectWorld*);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld*, PF_PixelFormat*);
} PF_WorldSuite2;

/* copy: null rectangles mean the whole source into the whole destination. */
typedef struct PF_WorldTransformSuite1 {
    PF_Err (*composite_rect)(PF_ProgPtr, PF_Rect*, A_long, PF_EffectWorld*, A_long, A_long,
                             PF_Field, PF_XferMode, PF_EffectWorld*);
    PF_Err (*blend)(PF_ProgPtr, const PF_EffectWorld*, const PF_EffectWorld*, PF_Fixed,
                    PF_EffectWorld*);
    PF_Err (*convolve)(PF_ProgPtr, PF_EffectWorld*, const PF_Rect*, PF_KernelFlags, A_long, void*,
                       void*, void*, void*, PF_EffectWorld*);
    PF_Err (*copy)(PF_ProgPtr, PF_EffectWorld*, PF_EffectWorld*, PF_Rect*, PF_Rect*);
    PF_Err (*copy_hq)(PF_ProgPtr, PF_EffectWorld*, PF_EffectWorld*, PF_Rect*, PF_Rect*);
    PF_Err (*transfer_rect)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_Rect*,
                            const PF_EffectWorld*, const PF_CompositeMode*, const PF_MaskWorld*,
                            A_long, A_long, PF_EffectWorld*);
    PF_Err (*transform_world)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld*,
                              const PF_CompositeMode*, const PF_MaskWorld*, const PF_FloatMatrix*,
                              A_long, PF_Boolean, const PF_Rect*, PF_EffectWorld*);
} PF_WorldTransformSuite1;

typedef struct PF_GPUDeviceSuite1 {
    PF_Err (*GetDeviceCount)(PF_ProgPtr, A_u_long*);
    PF_Err (*GetDeviceInfo)(PF_ProgPtr, A_u_long, PF_GPUDeviceInfo*);
    PF_Err (*AcquireExclusiveDeviceAccess)(PF_ProgPtr, A_u_long);
    PF_Err (*ReleaseExclusiveDeviceAccess)(PF_ProgPtr, A_u_long);
    PF_Err (*AllocateDeviceMemory)(PF_ProgPtr, A_u_long, size_t, void**);
    PF_Err (*FreeDeviceMemory)(PF_ProgPtr, A_u_long, void*);
    PF_Err (*PurgeDeviceMemory)(PF_ProgPtr, A_u_long, size_t, size_t*);
    PF_Err (*AllocateHostMemory)(PF_ProgPtr, A_u_long, size_t, void**);
    PF_Err (*FreeHostMemory)(PF_ProgPtr, A_u_long, void*);
    PF_Err (*PurgeHostMemory)(PF_ProgPtr, A_u_long, size_t, size_t*);
    PF_Err (*CreateGPUWorld)(PF_ProgPtr, A_u_long, A_long, A_long, PF_RationalScale, PF_Field,
                             PF_PixelFormat, PF_Boolean, PF_EffectWorld**);
    PF_Err (*DisposeGPUWorld)(PF_ProgPtr, PF_EffectWorld*);
    PF_Err (*GetGPUWorldData)(PF_ProgPtr, PF_EffectWorld*, void**);
    PF_Err (*GetGPUWorldSize)(PF_ProgPtr, PF_EffectWorld*, size_t*);
    PF_Err (*GetGPUWorldDeviceIndex)(PF_ProgPtr, PF_EffectWorld*, A_u_long*);
} PF_GPUDeviceSuite1;

/* Registered under kPFHandleSuiteVersion1, whose value is 2. */
typedef struct PF_HandleSuite1 {
    PF_Handle (*host_new_handle)(A_HandleSize);
    void* (*host_lock_handle)(PF_Handle);
    void (*host_unlock_handle)(PF_Handle);
    void (*host_dispose_handle)(PF_Handle);
    A_HandleSize (*host_get_handle_size)(PF_Handle);
    PF_Err (*host_resize_handle)(A_HandleSize, PF_Handle*);
} PF_HandleSuite1;

#ifdef __cplusplus
}
#endif

#endif
