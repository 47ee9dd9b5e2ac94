// The records the host passes with every command: what the effect reads
// (PF_InData, with the host's callbacks) and what it writes back (PF_OutData).
#ifndef TARSIVEL_HOSTAPI_PF_IN_OUT_DATA_H
#define TARSIVEL_HOSTAPI_PF_IN_OUT_DATA_H

#include "pf_out_flags.h"
#include "pf_param_def.h"
#include "pf_types.h"
#include "pf_world.h"
#include "sp_basic_suite.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PF_InData PF_InData;

typedef PF_Err (*PF_IteratePixel8Func)(void*, A_long, A_long, PF_Pixel*, PF_Pixel*);
typedef PF_Err (*PF_IteratePixel16Func)(void*, A_long, A_long, PF_Pixel16*, PF_Pixel16*);

typedef struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    PF_SoundChannels num_channels;
    PF_SoundFormat format;
    PF_SoundSampleSize sample_size;
} PF_SoundFormatInfo;
typedef struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void* dataP;
} PF_SoundWorld;

/* The callbacks every command carries. Slots past get_audio_data are reserved
   and left null. */
typedef struct PF_InteractCallbacks {
    PF_Err (*checkout_param)(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long, PF_ParamDef*);
    PF_Err (*checkin_param)(PF_ProgPtr, PF_ParamDef*);
    PF_Err (*add_param)(PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr);
    PF_Err (*abort)(PF_ProgPtr);
    PF_Err (*progress)(PF_ProgPtr, A_long, A_long);
    PF_Err (*register_ui)(PF_ProgPtr, PF_CustomUIInfo*);
    PF_Err (*checkout_layer_audio)(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long, PF_UFixed,
                                   A_long, A_long, A_long, PF_LayerAudio*);
    PF_Err (*checkin_layer_audio)(PF_ProgPtr, PF_LayerAudio);
    PF_Err (*get_audio_data)(PF_ProgPtr, PF_LayerAudio, PF_SndSamplePtr*, A_long*, PF_UFixed*,
                             A_long*, A_long*, A_long*);
    void* reserved_str[3];
    void* reserved[10];
} PF_InteractCallbacks;

typedef struct PF_ANSICallbacks {
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
    A_long ansi_procs[1];
} PF_ANSICallbacks;
typedef struct PF_ColorCallbacks {
    PF_Err (*RGBtoHLS)(PF_ProgPtr, PF_Pixel*, PF_Fixed*);
    PF_Err (*HLStoRGB)(PF_ProgPtr, PF_Fixed*, PF_Pixel*);
    PF_Err (*RGBtoYIQ)(PF_ProgPtr, PF_Pixel*, PF_Fixed*);
    PF_Err (*YIQtoRGB)(PF_ProgPtr, PF_Fixed*, PF_Pixel*);
    PF_Err (*Luminance)(PF_ProgPtr, PF_Pixel*, A_long*);
    PF_Err (*Hue)(PF_ProgPtr, PF_Pixel*, A_long*);
    PF_Err (*Lightness)(PF_ProgPtr, PF_Pixel*, A_long*);
    PF_Err (*Saturation)(PF_ProgPtr, PF_Pixel*, A_long*);
} PF_ColorCallbacks;

/* The host's utility callbacks, behind PF_InData's utils. */
typedef struct _PF_UtilCallbacks {
    PF_Err (*begin_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*subpixel_sample)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel*);
    PF_Err (*area_sample)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel*);
    void* get_batch_func_is_deprecated;
    PF_Err (*end_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*composite_rect)(PF_ProgPtr, PF_Rect*, A_long, PF_EffectWorld*, A_long, A_long,
                             PF_Field, PF_XferMode, PF_EffectWorld*);
    PF_Err (*blend)(PF_ProgPtr, const PF_EffectWorld*, const PF_EffectWorld*, PF_Fixed,
                    PF_EffectWorld*);
    PF_Err (*convolve)(PF_ProgPtr, PF_EffectWorld*, const PF_Rect*, PF_KernelFlags, A_long, void*,
                       void*, void*, void*, PF_EffectWorld*);
    PF_Err (*copy)(PF_ProgPtr, PF_EffectWorld*, PF_EffectWorld*, PF_Rect*, PF_Rect*);
    PF_Err (*fill)(PF_ProgPtr, const PF_Pixel*, const PF_Rect*, PF_EffectWorld*);
    PF_Err (*gaussian_kernel)(PF_ProgPtr, A_FpLong, PF_KernelFlags, A_FpLong, A_long*, void*);
    PF_Err (*iterate)(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, void*,
                      PF_IteratePixel8Func, PF_EffectWorld*);
    PF_Err (*premultiply)(PF_ProgPtr, A_long, PF_EffectWorld*);
    PF_Err (*premultiply_color)(PF_ProgPtr, PF_EffectWorld*, const PF_Pixel*, A_long,
                                PF_EffectWorld*);
    PF_Err (*new_world)(PF_ProgPtr, A_long, A_long, PF_NewWorldFlags, PF_EffectWorld*);
    PF_Err (*dispose_world)(PF_ProgPtr, PF_EffectWorld*);
    PF_Err (*iterate_origin)(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*,
                             const PF_Point*, void*, PF_IteratePixel8Func, PF_EffectWorld*);
    PF_Err (*iterate_lut)(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, A_u_char*,
                          A_u_char*, A_u_char*, A_u_char*, PF_EffectWorld*);
    PF_Err (*transfer_rect)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_Rect*,
                            const PF_EffectWorld*, const PF_CompositeMode*, const PF_MaskWorld*,
                            A_long, A_long, PF_EffectWorld*);
    PF_Err (*transform_world)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld*,
                              const PF_CompositeMode*, const PF_MaskWorld*, const PF_FloatMatrix*,
                              A_long, PF_Boolean, const PF_Rect*, PF_EffectWorld*);
    PF_Handle (*host_new_handle)(A_u_longlong);
    void* (*host_lock_handle)(PF_Handle);
    void (*host_unlock_handle)(PF_Handle);
    void (*host_dispose_handle)(PF_Handle);
    PF_Err (*get_callback_addr)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_CallbackID,
                                PF_CallbackFunc*);
    PF_Err (*app)(PF_ProgPtr, A_long, ...);
    PF_ANSICallbacks ansi;
    PF_ColorCallbacks colorCB;
    PF_Err (*get_platform_data)(PF_ProgPtr, PF_PlatDataID, void*);
    A_u_longlong (*host_get_handle_size)(PF_Handle);
    PF_Err (*iterate_origin_non_clip_src)(PF_InData*, A_long, A_long, PF_EffectWorld*,
                                          const PF_Rect*, const PF_Point*, void*,
                                          PF_IteratePixel8Func, PF_EffectWorld*);
    PF_Err (*iterate_generic)(A_long, void*, PF_Err (*)(void*, A_long, A_long, A_long));
    PF_Err (*host_resize_handle)(A_u_longlong, PF_Handle*);
    PF_Err (*subpixel_sample16)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
    PF_Err (*area_sample16)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
    PF_Err (*fill16)(PF_ProgPtr, const PF_Pixel16*, const PF_Rect*, PF_EffectWorld*);
    PF_Err (*premultiply_color16)(PF_ProgPtr, PF_EffectWorld*, const PF_Pixel16*, A_long,
                                  PF_EffectWorld*);
    PF_Err (*iterate16)(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, void*,
                        PF_IteratePixel16Func, PF_EffectWorld*);
    PF_Err (*iterate_origin16)(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*,
                               const PF_Point*, void*, PF_IteratePixel16Func, PF_EffectWorld*);
    PF_Err (*iterate_origin_non_clip_src16)(PF_InData*, A_long, A_long, PF_EffectWorld*,
                                            const PF_Rect*, const PF_Point*, void*,
                                            PF_IteratePixel16Func, PF_EffectWorld*);
    PF_Err (*get_pixel_data8)(PF_EffectWorld*, PF_PixelPtr, PF_Pixel8**);
    PF_Err (*get_pixel_data16)(PF_EffectWorld*, PF_PixelPtr, PF_Pixel16**);
    A_long reserved[1];
} PF_UtilCallbacks;

/* PF_InData's width and height are the layer's size at full resolution. */
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    struct _PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    PF_SoundWorld src_snd;
    struct SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

/* return_msg holds PF_MAX_EFFECT_MSG_LEN characters and the terminating zero. */
typedef struct PF_OutData {
    A_u_long my_version;
    A_char name[32];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[256];
    A_long start_sampL;
    A_long dur_sampL;
    PF_SoundWorld dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

#define PF_ADD_PARAM(IN_DATA, INDEX, DEF) \
    (*(IN_DATA)->inter.add_param)((IN_DATA)->effect_ref, (INDEX), (DEF))
#define PF_CHECKOUT_PARAM(IN_DATA, INDEX, TIME, STEP, SCALE, PARAM)                             \
    (*(IN_DATA)->inter.checkout_param)((IN_DATA)->effect_ref, (INDEX), (TIME), (STEP), (SCALE), \
                                       (PARAM))
#define PF_CHECKIN_PARAM(IN_DATA, PARAM) \
    (*(IN_DATA)->inter.checkin_param)((IN_DATA)->effect_ref, (PARAM))

#ifdef __cplusplus
}
#endif

#endif
