// Extra records of the two smart render commands: pre-render (what the effect
// needs and how large its output is) and render (the pixels).
#ifndef TARSIVEL_HOSTAPI_PF_SMART_RENDER_H
#define TARSIVEL_HOSTAPI_PF_SMART_RENDER_H

#include "pf_gpu.h"
#include "pf_types.h"
#include "pf_world.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef short PF_RenderOutputFlags;
enum {
    PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 1,
    PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 2,
    PF_RenderOutputFlag_RESERVED1 = 4,
};

typedef void (*PF_DeletePreRenderDataFunc)(void*);

typedef struct PF_RenderRequest {
    PF_LRect rect;
    PF_Field field;
    PF_ChannelMask channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    char unused[3];
    A_long reserved[4];
} PF_RenderRequest;
typedef struct PF_CheckoutResult {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    PF_Boolean solid;
    PF_Boolean reservedB[3];
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
} PF_CheckoutResult;

typedef struct PF_PreRenderInput {
    PF_RenderRequest output_request;
    short bitdepth;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_PreRenderInput;
typedef struct PF_PreRenderOutput {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reserved;
    PF_RenderOutputFlags flags;
    void* pre_render_data;
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;
/* checkout_layer: the layer's index, the checkout id, the request, the time,
   the time step and the time scale. */
typedef struct PF_PreRenderCallbacks {
    PF_Err (*checkout_layer)(PF_ProgPtr, PF_ParamIndex, A_long, const PF_RenderRequest*, A_long,
                             A_long, A_u_long, PF_CheckoutResult*);
    PF_Err (*GuidMixInPtr)(PF_ProgPtr, A_u_long, const void*);
} PF_PreRenderCallbacks;
typedef struct PF_PreRenderExtra {
    PF_PreRenderInput* input;
    PF_PreRenderOutput* output;
    PF_PreRenderCallbacks* cb;
} PF_PreRenderExtra;

typedef struct PF_SmartRenderInput {
    PF_RenderRequest output_request;
    short bitdepth;
    void* pre_render_data;
    const void* gpu_data;
    PF_GPU_Framework what_gpu;
    A_u_long device_index;
} PF_SmartRenderInput;
typedef struct PF_SmartRenderCallbacks {
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr, A_long, PF_EffectWorld**);
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr, A_long);
    PF_Err (*checkout_output)(PF_ProgPtr, PF_EffectWorld**);
} PF_SmartRenderCallbacks;
typedef struct PF_SmartRenderExtra {
    PF_SmartRenderInput* input;
    PF_SmartRenderCallbacks* cb;
} PF_SmartRenderExtra;

#ifdef __cplusplus
}
#endif

#endif
