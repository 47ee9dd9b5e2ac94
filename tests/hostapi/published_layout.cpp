// The host API's binary layout, pinned: the size and alignment of every record
// the effect or a host touches, the offset and size of each of their fields, and
// the value of every constant and suite name the project names, as the
// published headers give them for 64-bit Windows (Linux x86-64 has the same).
// Every line is a static check, so a shifted field fails the build; this file
// is compiled into the Linux tests and into every build of the plug-in, the
// Windows one and one against the published headers included. It pins 63
// records, their 474 fields, 271 constants and suite names, and the size (and
// signedness) of the 71 scalar, pointer and enumeration types.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "hostapi/pf_api.h"

namespace {

#define RECORD(T, SIZE, ALIGN)                      \
    static_assert(sizeof(T) == (SIZE), #T " size"); \
    static_assert(alignof(T) == (ALIGN), #T " alignment")
#define FIELD(T, F, OFFSET, SIZE)                                   \
    static_assert(offsetof(T, F) == (OFFSET), #T "." #F " offset"); \
    static_assert(sizeof(std::declval<T&>().F) == (SIZE), #T "." #F " size")
#define CONSTANT(NAME, VALUE) static_assert(static_cast<std::int64_t>(NAME) == (VALUE##LL), #NAME)
#define TEXT(NAME, VALUE) static_assert(std::string_view(NAME) == (VALUE), #NAME)
#define SIZE(T, BYTES) static_assert(sizeof(T) == (BYTES), #T " size")
#define SCALAR(T, BYTES, SIGNED) \
    SIZE(T, BYTES);              \
    static_assert(std::is_signed_v<T> == (SIGNED), #T " signedness")

RECORD(PF_ANSICallbacks, 160, 8);
FIELD(PF_ANSICallbacks, atan, 0, 8);
FIELD(PF_ANSICallbacks, atan2, 8, 8);
FIELD(PF_ANSICallbacks, ceil, 16, 8);
FIELD(PF_ANSICallbacks, cos, 24, 8);
FIELD(PF_ANSICallbacks, exp, 32, 8);
FIELD(PF_ANSICallbacks, fabs, 40, 8);
FIELD(PF_ANSICallbacks, floor, 48, 8);
FIELD(PF_ANSICallbacks, fmod, 56, 8);
FIELD(PF_ANSICallbacks, hypot, 64, 8);
FIELD(PF_ANSICallbacks, log, 72, 8);
FIELD(PF_ANSICallbacks, log10, 80, 8);
FIELD(PF_ANSICallbacks, pow, 88, 8);
FIELD(PF_ANSICallbacks, sin, 96, 8);
FIELD(PF_ANSICallbacks, sqrt, 104, 8);
FIELD(PF_ANSICallbacks, tan, 112, 8);
FIELD(PF_ANSICallbacks, sprintf, 120, 8);
FIELD(PF_ANSICallbacks, strcpy, 128, 8);
FIELD(PF_ANSICallbacks, asin, 136, 8);
FIELD(PF_ANSICallbacks, acos, 144, 8);
FIELD(PF_ANSICallbacks, ansi_procs, 152, 4);

RECORD(PF_ANSICallbacksSuite1, 152, 8);
FIELD(PF_ANSICallbacksSuite1, atan, 0, 8);
FIELD(PF_ANSICallbacksSuite1, atan2, 8, 8);
FIELD(PF_ANSICallbacksSuite1, ceil, 16, 8);
FIELD(PF_ANSICallbacksSuite1, cos, 24, 8);
FIELD(PF_ANSICallbacksSuite1, exp, 32, 8);
FIELD(PF_ANSICallbacksSuite1, fabs, 40, 8);
FIELD(PF_ANSICallbacksSuite1, floor, 48, 8);
FIELD(PF_ANSICallbacksSuite1, fmod, 56, 8);
FIELD(PF_ANSICallbacksSuite1, hypot, 64, 8);
FIELD(PF_ANSICallbacksSuite1, log, 72, 8);
FIELD(PF_ANSICallbacksSuite1, log10, 80, 8);
FIELD(PF_ANSICallbacksSuite1, pow, 88, 8);
FIELD(PF_ANSICallbacksSuite1, sin, 96, 8);
FIELD(PF_ANSICallbacksSuite1, sqrt, 104, 8);
FIELD(PF_ANSICallbacksSuite1, tan, 112, 8);
FIELD(PF_ANSICallbacksSuite1, sprintf, 120, 8);
FIELD(PF_ANSICallbacksSuite1, strcpy, 128, 8);
FIELD(PF_ANSICallbacksSuite1, asin, 136, 8);
FIELD(PF_ANSICallbacksSuite1, acos, 144, 8);

RECORD(PF_AngleDef, 16, 4);
FIELD(PF_AngleDef, value, 0, 4);
FIELD(PF_AngleDef, dephault, 4, 4);
FIELD(PF_AngleDef, valid_min, 8, 4);
FIELD(PF_AngleDef, valid_max, 12, 4);

RECORD(PF_ArbitraryDef, 32, 8);
FIELD(PF_ArbitraryDef, id, 0, 2);
FIELD(PF_ArbitraryDef, pad, 2, 2);
FIELD(PF_ArbitraryDef, dephault, 8, 8);
FIELD(PF_ArbitraryDef, value, 16, 8);
FIELD(PF_ArbitraryDef, refconPV, 24, 8);

RECORD(PF_ButtonDef, 16, 8);
FIELD(PF_ButtonDef, value, 0, 4);
FIELD(PF_ButtonDef, u, 8, 8);
FIELD(PF_ButtonDef, u.namesptr, 8, 8);

RECORD(PF_CheckBoxDef, 16, 8);
FIELD(PF_CheckBoxDef, value, 0, 4);
FIELD(PF_CheckBoxDef, dephault, 4, 1);
FIELD(PF_CheckBoxDef, reserved, 5, 1);
FIELD(PF_CheckBoxDef, reserved1, 6, 2);
FIELD(PF_CheckBoxDef, u, 8, 8);
FIELD(PF_CheckBoxDef, u.nameptr, 8, 8);

RECORD(PF_CheckoutResult, 76, 4);
FIELD(PF_CheckoutResult, result_rect, 0, 16);
FIELD(PF_CheckoutResult, max_result_rect, 16, 16);
FIELD(PF_CheckoutResult, par, 32, 8);
FIELD(PF_CheckoutResult, solid, 40, 1);
FIELD(PF_CheckoutResult, reservedB, 41, 3);
FIELD(PF_CheckoutResult, ref_width, 44, 4);
FIELD(PF_CheckoutResult, ref_height, 48, 4);
FIELD(PF_CheckoutResult, reserved, 52, 24);

RECORD(PF_ColorCallbacks, 64, 8);
FIELD(PF_ColorCallbacks, RGBtoHLS, 0, 8);
FIELD(PF_ColorCallbacks, HLStoRGB, 8, 8);
FIELD(PF_ColorCallbacks, RGBtoYIQ, 16, 8);
FIELD(PF_ColorCallbacks, YIQtoRGB, 24, 8);
FIELD(PF_ColorCallbacks, Luminance, 32, 8);
FIELD(PF_ColorCallbacks, Hue, 40, 8);
FIELD(PF_ColorCallbacks, Lightness, 48, 8);
FIELD(PF_ColorCallbacks, Saturation, 56, 8);

RECORD(PF_ColorDef, 8, 1);
FIELD(PF_ColorDef, value, 0, 4);
FIELD(PF_ColorDef, dephault, 4, 4);

RECORD(PF_CompositeMode, 12, 4);
FIELD(PF_CompositeMode, xfer, 0, 4);
FIELD(PF_CompositeMode, rand_seed, 4, 4);
FIELD(PF_CompositeMode, opacity, 8, 1);
FIELD(PF_CompositeMode, rgb_only, 9, 1);
FIELD(PF_CompositeMode, opacitySu, 10, 2);

RECORD(PF_EffectWorld, 120, 8);
FIELD(PF_EffectWorld, reserved0, 0, 8);
FIELD(PF_EffectWorld, reserved1, 8, 8);
FIELD(PF_EffectWorld, world_flags, 16, 4);
FIELD(PF_EffectWorld, data, 24, 8);
FIELD(PF_EffectWorld, rowbytes, 32, 4);
FIELD(PF_EffectWorld, width, 36, 4);
FIELD(PF_EffectWorld, height, 40, 4);
FIELD(PF_EffectWorld, extent_hint, 44, 16);
FIELD(PF_EffectWorld, platform_ref, 64, 8);
FIELD(PF_EffectWorld, reserved_long1, 72, 4);
FIELD(PF_EffectWorld, reserved_long4, 80, 8);
FIELD(PF_EffectWorld, pix_aspect_ratio, 88, 8);
FIELD(PF_EffectWorld, reserved_long2, 96, 8);
FIELD(PF_EffectWorld, origin_x, 104, 4);
FIELD(PF_EffectWorld, origin_y, 108, 4);
FIELD(PF_EffectWorld, reserved_long3, 112, 4);
FIELD(PF_EffectWorld, dephault, 116, 4);

RECORD(PF_FixedSliderDef, 92, 4);
FIELD(PF_FixedSliderDef, value, 0, 4);
FIELD(PF_FixedSliderDef, value_str, 4, 32);
FIELD(PF_FixedSliderDef, value_desc, 36, 32);
FIELD(PF_FixedSliderDef, valid_min, 68, 4);
FIELD(PF_FixedSliderDef, valid_max, 72, 4);
FIELD(PF_FixedSliderDef, slider_min, 76, 4);
FIELD(PF_FixedSliderDef, slider_max, 80, 4);
FIELD(PF_FixedSliderDef, dephault, 84, 4);
FIELD(PF_FixedSliderDef, precision, 88, 2);
FIELD(PF_FixedSliderDef, display_flags, 90, 2);

RECORD(PF_FloatMatrix, 72, 8);
FIELD(PF_FloatMatrix, mat, 0, 72);

RECORD(PF_FloatSliderDef, 88, 8);
FIELD(PF_FloatSliderDef, value, 0, 8);
FIELD(PF_FloatSliderDef, phase, 8, 8);
FIELD(PF_FloatSliderDef, value_desc, 16, 32);
FIELD(PF_FloatSliderDef, valid_min, 48, 4);
FIELD(PF_FloatSliderDef, valid_max, 52, 4);
FIELD(PF_FloatSliderDef, slider_min, 56, 4);
FIELD(PF_FloatSliderDef, slider_max, 60, 4);
FIELD(PF_FloatSliderDef, dephault, 64, 4);
FIELD(PF_FloatSliderDef, precision, 68, 2);
FIELD(PF_FloatSliderDef, display_flags, 70, 2);
FIELD(PF_FloatSliderDef, fs_flags, 72, 4);
FIELD(PF_FloatSliderDef, curve_tolerance, 76, 4);
FIELD(PF_FloatSliderDef, useExponent, 80, 1);
FIELD(PF_FloatSliderDef, exponent, 84, 4);

RECORD(PF_GPUDeviceInfo, 56, 8);
FIELD(PF_GPUDeviceInfo, device_framework, 0, 4);
FIELD(PF_GPUDeviceInfo, compatibleB, 4, 1);
FIELD(PF_GPUDeviceInfo, platformPV, 8, 8);
FIELD(PF_GPUDeviceInfo, devicePV, 16, 8);
FIELD(PF_GPUDeviceInfo, contextPV, 24, 8);
FIELD(PF_GPUDeviceInfo, command_queuePV, 32, 8);
FIELD(PF_GPUDeviceInfo, offscreen_opengl_contextPV, 40, 8);
FIELD(PF_GPUDeviceInfo, offscreen_opengl_devicePV, 48, 8);

RECORD(PF_GPUDeviceSetdownExtra, 8, 8);
FIELD(PF_GPUDeviceSetdownExtra, input, 0, 8);

RECORD(PF_GPUDeviceSetdownInput, 16, 8);
FIELD(PF_GPUDeviceSetdownInput, gpu_data, 0, 8);
FIELD(PF_GPUDeviceSetdownInput, what_gpu, 8, 4);
FIELD(PF_GPUDeviceSetdownInput, device_index, 12, 4);

RECORD(PF_GPUDeviceSetupExtra, 16, 8);
FIELD(PF_GPUDeviceSetupExtra, input, 0, 8);
FIELD(PF_GPUDeviceSetupExtra, output, 8, 8);

RECORD(PF_GPUDeviceSetupInput, 8, 4);
FIELD(PF_GPUDeviceSetupInput, what_gpu, 0, 4);
FIELD(PF_GPUDeviceSetupInput, device_index, 4, 4);

RECORD(PF_GPUDeviceSetupOutput, 8, 8);
FIELD(PF_GPUDeviceSetupOutput, gpu_data, 0, 8);

RECORD(PF_GPUDeviceSuite1, 120, 8);
FIELD(PF_GPUDeviceSuite1, GetDeviceCount, 0, 8);
FIELD(PF_GPUDeviceSuite1, GetDeviceInfo, 8, 8);
FIELD(PF_GPUDeviceSuite1, AcquireExclusiveDeviceAccess, 16, 8);
FIELD(PF_GPUDeviceSuite1, ReleaseExclusiveDeviceAccess, 24, 8);
FIELD(PF_GPUDeviceSuite1, AllocateDeviceMemory, 32, 8);
FIELD(PF_GPUDeviceSuite1, FreeDeviceMemory, 40, 8);
FIELD(PF_GPUDeviceSuite1, PurgeDeviceMemory, 48, 8);
FIELD(PF_GPUDeviceSuite1, AllocateHostMemory, 56, 8);
FIELD(PF_GPUDeviceSuite1, FreeHostMemory, 64, 8);
FIELD(PF_GPUDeviceSuite1, PurgeHostMemory, 72, 8);
FIELD(PF_GPUDeviceSuite1, CreateGPUWorld, 80, 8);
FIELD(PF_GPUDeviceSuite1, DisposeGPUWorld, 88, 8);
FIELD(PF_GPUDeviceSuite1, GetGPUWorldData, 96, 8);
FIELD(PF_GPUDeviceSuite1, GetGPUWorldSize, 104, 8);
FIELD(PF_GPUDeviceSuite1, GetGPUWorldDeviceIndex, 112, 8);

RECORD(PF_HandleSuite1, 48, 8);
FIELD(PF_HandleSuite1, host_new_handle, 0, 8);
FIELD(PF_HandleSuite1, host_lock_handle, 8, 8);
FIELD(PF_HandleSuite1, host_unlock_handle, 16, 8);
FIELD(PF_HandleSuite1, host_dispose_handle, 24, 8);
FIELD(PF_HandleSuite1, host_get_handle_size, 32, 8);
FIELD(PF_HandleSuite1, host_resize_handle, 40, 8);

RECORD(PF_InData, 408, 8);
FIELD(PF_InData, inter, 0, 176);
FIELD(PF_InData, utils, 176, 8);
FIELD(PF_InData, effect_ref, 184, 8);
FIELD(PF_InData, quality, 192, 4);
FIELD(PF_InData, version, 196, 4);
FIELD(PF_InData, serial_num, 200, 4);
FIELD(PF_InData, appl_id, 204, 4);
FIELD(PF_InData, num_params, 208, 4);
FIELD(PF_InData, reserved, 212, 4);
FIELD(PF_InData, what_cpu, 216, 4);
FIELD(PF_InData, what_fpu, 220, 4);
FIELD(PF_InData, current_time, 224, 4);
FIELD(PF_InData, time_step, 228, 4);
FIELD(PF_InData, total_time, 232, 4);
FIELD(PF_InData, local_time_step, 236, 4);
FIELD(PF_InData, time_scale, 240, 4);
FIELD(PF_InData, field, 244, 4);
FIELD(PF_InData, shutter_angle, 248, 4);
FIELD(PF_InData, width, 252, 4);
FIELD(PF_InData, height, 256, 4);
FIELD(PF_InData, extent_hint, 260, 16);
FIELD(PF_InData, output_origin_x, 276, 4);
FIELD(PF_InData, output_origin_y, 280, 4);
FIELD(PF_InData, downsample_x, 284, 8);
FIELD(PF_InData, downsample_y, 292, 8);
FIELD(PF_InData, pixel_aspect_ratio, 300, 8);
FIELD(PF_InData, in_flags, 308, 4);
FIELD(PF_InData, global_data, 312, 8);
FIELD(PF_InData, sequence_data, 320, 8);
FIELD(PF_InData, frame_data, 328, 8);
FIELD(PF_InData, start_sampL, 336, 4);
FIELD(PF_InData, dur_sampL, 340, 4);
FIELD(PF_InData, total_sampL, 344, 4);
FIELD(PF_InData, src_snd, 352, 32);
FIELD(PF_InData, pica_basicP, 384, 8);
FIELD(PF_InData, pre_effect_source_origin_x, 392, 4);
FIELD(PF_InData, pre_effect_source_origin_y, 396, 4);
FIELD(PF_InData, shutter_phase, 400, 4);

RECORD(PF_InteractCallbacks, 176, 8);
FIELD(PF_InteractCallbacks, checkout_param, 0, 8);
FIELD(PF_InteractCallbacks, checkin_param, 8, 8);
FIELD(PF_InteractCallbacks, add_param, 16, 8);
FIELD(PF_InteractCallbacks, abort, 24, 8);
FIELD(PF_InteractCallbacks, progress, 32, 8);
FIELD(PF_InteractCallbacks, register_ui, 40, 8);
FIELD(PF_InteractCallbacks, checkout_layer_audio, 48, 8);
FIELD(PF_InteractCallbacks, checkin_layer_audio, 56, 8);
FIELD(PF_InteractCallbacks, get_audio_data, 64, 8);
FIELD(PF_InteractCallbacks, reserved_str, 72, 24);
FIELD(PF_InteractCallbacks, reserved, 96, 80);

RECORD(PF_LRect, 16, 4);
FIELD(PF_LRect, left, 0, 4);
FIELD(PF_LRect, top, 4, 4);
FIELD(PF_LRect, right, 8, 4);
FIELD(PF_LRect, bottom, 12, 4);

RECORD(PF_LayerDef, 120, 8);
FIELD(PF_LayerDef, reserved0, 0, 8);
FIELD(PF_LayerDef, reserved1, 8, 8);
FIELD(PF_LayerDef, world_flags, 16, 4);
FIELD(PF_LayerDef, data, 24, 8);
FIELD(PF_LayerDef, rowbytes, 32, 4);
FIELD(PF_LayerDef, width, 36, 4);
FIELD(PF_LayerDef, height, 40, 4);
FIELD(PF_LayerDef, extent_hint, 44, 16);
FIELD(PF_LayerDef, platform_ref, 64, 8);
FIELD(PF_LayerDef, reserved_long1, 72, 4);
FIELD(PF_LayerDef, reserved_long4, 80, 8);
FIELD(PF_LayerDef, pix_aspect_ratio, 88, 8);
FIELD(PF_LayerDef, reserved_long2, 96, 8);
FIELD(PF_LayerDef, origin_x, 104, 4);
FIELD(PF_LayerDef, origin_y, 108, 4);
FIELD(PF_LayerDef, reserved_long3, 112, 4);
FIELD(PF_LayerDef, dephault, 116, 4);

RECORD(PF_MaskWorld, 136, 8);
FIELD(PF_MaskWorld, mask, 0, 120);
FIELD(PF_MaskWorld, offset, 120, 8);
FIELD(PF_MaskWorld, what_is_mask, 128, 4);

RECORD(PF_OutData, 408, 8);
FIELD(PF_OutData, my_version, 0, 4);
FIELD(PF_OutData, name, 4, 32);
FIELD(PF_OutData, global_data, 40, 8);
FIELD(PF_OutData, num_params, 48, 4);
FIELD(PF_OutData, sequence_data, 56, 8);
FIELD(PF_OutData, flat_sdata_size, 64, 4);
FIELD(PF_OutData, frame_data, 72, 8);
FIELD(PF_OutData, width, 80, 4);
FIELD(PF_OutData, height, 84, 4);
FIELD(PF_OutData, origin, 88, 8);
FIELD(PF_OutData, out_flags, 96, 4);
FIELD(PF_OutData, return_msg, 100, 256);
FIELD(PF_OutData, start_sampL, 356, 4);
FIELD(PF_OutData, dur_sampL, 360, 4);
FIELD(PF_OutData, dest_snd, 368, 32);
FIELD(PF_OutData, out_flags2, 400, 4);

RECORD(PF_ParamDef, 176, 8);
FIELD(PF_ParamDef, uu, 0, 4);
FIELD(PF_ParamDef, uu.id, 0, 4);
FIELD(PF_ParamDef, uu.change_flags, 0, 4);
FIELD(PF_ParamDef, ui_flags, 4, 4);
FIELD(PF_ParamDef, ui_width, 8, 2);
FIELD(PF_ParamDef, ui_height, 10, 2);
FIELD(PF_ParamDef, param_type, 12, 4);
FIELD(PF_ParamDef, name, 16, 32);
FIELD(PF_ParamDef, flags, 48, 4);
FIELD(PF_ParamDef, unused, 52, 4);
FIELD(PF_ParamDef, u, 56, 120);

RECORD(PF_ParamDefUnion, 120, 8);
FIELD(PF_ParamDefUnion, ld, 0, 120);
FIELD(PF_ParamDefUnion, sd, 0, 88);
FIELD(PF_ParamDefUnion, fd, 0, 92);
FIELD(PF_ParamDefUnion, ad, 0, 16);
FIELD(PF_ParamDefUnion, bd, 0, 16);
FIELD(PF_ParamDefUnion, cd, 0, 8);
FIELD(PF_ParamDefUnion, td, 0, 20);
FIELD(PF_ParamDefUnion, pd, 0, 16);
FIELD(PF_ParamDefUnion, fs_d, 0, 88);
FIELD(PF_ParamDefUnion, arb_d, 0, 32);
FIELD(PF_ParamDefUnion, path_d, 0, 12);
FIELD(PF_ParamDefUnion, button_d, 0, 16);
FIELD(PF_ParamDefUnion, point3d_d, 0, 64);

RECORD(PF_PathDataSuite1, 88, 8);
FIELD(PF_PathDataSuite1, PF_PathIsOpen, 0, 8);
FIELD(PF_PathDataSuite1, PF_PathNumSegments, 8, 8);
FIELD(PF_PathDataSuite1, PF_PathVertexInfo, 16, 8);
FIELD(PF_PathDataSuite1, PF_PathPrepareSegLength, 24, 8);
FIELD(PF_PathDataSuite1, PF_PathGetSegLength, 32, 8);
FIELD(PF_PathDataSuite1, PF_PathEvalSegLength, 40, 8);
FIELD(PF_PathDataSuite1, PF_PathEvalSegLengthDeriv1, 48, 8);
FIELD(PF_PathDataSuite1, PF_PathCleanupSegLength, 56, 8);
FIELD(PF_PathDataSuite1, PF_PathIsInverted, 64, 8);
FIELD(PF_PathDataSuite1, PF_PathGetMaskMode, 72, 8);
FIELD(PF_PathDataSuite1, PF_PathGetName, 80, 8);

RECORD(PF_PathDef, 12, 4);
FIELD(PF_PathDef, path_id, 0, 4);
FIELD(PF_PathDef, reserved0, 4, 4);
FIELD(PF_PathDef, dephault, 8, 4);

RECORD(PF_PathQuerySuite1, 32, 8);
FIELD(PF_PathQuerySuite1, PF_NumPaths, 0, 8);
FIELD(PF_PathQuerySuite1, PF_PathInfo, 8, 8);
FIELD(PF_PathQuerySuite1, PF_CheckoutPath, 16, 8);
FIELD(PF_PathQuerySuite1, PF_CheckinPath, 24, 8);

RECORD(PF_PathVertex, 48, 8);
FIELD(PF_PathVertex, x, 0, 8);
FIELD(PF_PathVertex, y, 8, 8);
FIELD(PF_PathVertex, tan_in_x, 16, 8);
FIELD(PF_PathVertex, tan_in_y, 24, 8);
FIELD(PF_PathVertex, tan_out_x, 32, 8);
FIELD(PF_PathVertex, tan_out_y, 40, 8);

RECORD(PF_Pixel, 4, 1);
FIELD(PF_Pixel, alpha, 0, 1);
FIELD(PF_Pixel, red, 1, 1);
FIELD(PF_Pixel, green, 2, 1);
FIELD(PF_Pixel, blue, 3, 1);

RECORD(PF_Pixel16, 8, 2);
FIELD(PF_Pixel16, alpha, 0, 2);
FIELD(PF_Pixel16, red, 2, 2);
FIELD(PF_Pixel16, green, 4, 2);
FIELD(PF_Pixel16, blue, 6, 2);

RECORD(PF_PixelFloat, 16, 4);
FIELD(PF_PixelFloat, alpha, 0, 4);
FIELD(PF_PixelFloat, red, 4, 4);
FIELD(PF_PixelFloat, green, 8, 4);
FIELD(PF_PixelFloat, blue, 12, 4);

RECORD(PF_PixelFormatSuite1, 64, 8);
FIELD(PF_PixelFormatSuite1, AddSupportedPixelFormat, 0, 8);
FIELD(PF_PixelFormatSuite1, ClearSupportedPixelFormats, 8, 8);
FIELD(PF_PixelFormatSuite1, NewWorldOfPixelFormat, 16, 8);
FIELD(PF_PixelFormatSuite1, DisposeWorld, 24, 8);
FIELD(PF_PixelFormatSuite1, GetPixelFormat, 32, 8);
FIELD(PF_PixelFormatSuite1, GetBlackForPixelFormat, 40, 8);
FIELD(PF_PixelFormatSuite1, GetWhiteForPixelFormat, 48, 8);
FIELD(PF_PixelFormatSuite1, ConvertColorToPixelFormattedData, 56, 8);

RECORD(PF_Point, 8, 4);
FIELD(PF_Point, h, 0, 4);
FIELD(PF_Point, v, 4, 4);

RECORD(PF_Point3DDef, 64, 8);
FIELD(PF_Point3DDef, x_value, 0, 8);
FIELD(PF_Point3DDef, y_value, 8, 8);
FIELD(PF_Point3DDef, z_value, 16, 8);
FIELD(PF_Point3DDef, x_dephault, 24, 8);
FIELD(PF_Point3DDef, y_dephault, 32, 8);
FIELD(PF_Point3DDef, z_dephault, 40, 8);
FIELD(PF_Point3DDef, reserved, 48, 16);

RECORD(PF_PointDef, 20, 4);
FIELD(PF_PointDef, x_value, 0, 4);
FIELD(PF_PointDef, y_value, 4, 4);
FIELD(PF_PointDef, reserved, 8, 3);
FIELD(PF_PointDef, restrict_bounds, 11, 1);
FIELD(PF_PointDef, x_dephault, 12, 4);
FIELD(PF_PointDef, y_dephault, 16, 4);

RECORD(PF_PopupDef, 16, 8);
FIELD(PF_PopupDef, value, 0, 4);
FIELD(PF_PopupDef, num_choices, 4, 2);
FIELD(PF_PopupDef, dephault, 6, 2);
FIELD(PF_PopupDef, u, 8, 8);
FIELD(PF_PopupDef, u.namesptr, 8, 8);

RECORD(PF_PreRenderCallbacks, 16, 8);
FIELD(PF_PreRenderCallbacks, checkout_layer, 0, 8);
FIELD(PF_PreRenderCallbacks, GuidMixInPtr, 8, 8);

RECORD(PF_PreRenderExtra, 24, 8);
FIELD(PF_PreRenderExtra, input, 0, 8);
FIELD(PF_PreRenderExtra, output, 8, 8);
FIELD(PF_PreRenderExtra, cb, 16, 8);

RECORD(PF_PreRenderInput, 64, 8);
FIELD(PF_PreRenderInput, output_request, 0, 44);
FIELD(PF_PreRenderInput, bitdepth, 44, 2);
FIELD(PF_PreRenderInput, gpu_data, 48, 8);
FIELD(PF_PreRenderInput, what_gpu, 56, 4);
FIELD(PF_PreRenderInput, device_index, 60, 4);

RECORD(PF_PreRenderOutput, 56, 8);
FIELD(PF_PreRenderOutput, result_rect, 0, 16);
FIELD(PF_PreRenderOutput, max_result_rect, 16, 16);
FIELD(PF_PreRenderOutput, solid, 32, 1);
FIELD(PF_PreRenderOutput, reserved, 33, 1);
FIELD(PF_PreRenderOutput, flags, 34, 2);
FIELD(PF_PreRenderOutput, pre_render_data, 40, 8);
FIELD(PF_PreRenderOutput, delete_pre_render_data_func, 48, 8);

RECORD(PF_RationalScale, 8, 4);
FIELD(PF_RationalScale, num, 0, 4);
FIELD(PF_RationalScale, den, 4, 4);

RECORD(PF_Rect, 16, 4);
FIELD(PF_Rect, left, 0, 4);
FIELD(PF_Rect, top, 4, 4);
FIELD(PF_Rect, right, 8, 4);
FIELD(PF_Rect, bottom, 12, 4);

RECORD(PF_RenderRequest, 44, 4);
FIELD(PF_RenderRequest, rect, 0, 16);
FIELD(PF_RenderRequest, field, 16, 4);
FIELD(PF_RenderRequest, channel_mask, 20, 4);
FIELD(PF_RenderRequest, preserve_rgb_of_zero_alpha, 24, 1);
FIELD(PF_RenderRequest, unused, 25, 3);
FIELD(PF_RenderRequest, reserved, 28, 16);

RECORD(PF_SampPB, 104, 8);
FIELD(PF_SampPB, x_radius, 0, 4);
FIELD(PF_SampPB, y_radius, 4, 4);
FIELD(PF_SampPB, area, 8, 4);
FIELD(PF_SampPB, src, 16, 8);
FIELD(PF_SampPB, samp_behave, 24, 4);
FIELD(PF_SampPB, allow_asynch, 28, 4);
FIELD(PF_SampPB, motion_blur, 32, 4);
FIELD(PF_SampPB, comp_mode, 36, 12);
FIELD(PF_SampPB, mask0, 48, 8);
FIELD(PF_SampPB, fcm_table, 56, 8);
FIELD(PF_SampPB, fcd_table, 64, 8);
FIELD(PF_SampPB, reserved, 72, 32);

RECORD(PF_SliderDef, 88, 4);
FIELD(PF_SliderDef, value, 0, 4);
FIELD(PF_SliderDef, value_str, 4, 32);
FIELD(PF_SliderDef, value_desc, 36, 32);
FIELD(PF_SliderDef, valid_min, 68, 4);
FIELD(PF_SliderDef, valid_max, 72, 4);
FIELD(PF_SliderDef, slider_min, 76, 4);
FIELD(PF_SliderDef, slider_max, 80, 4);
FIELD(PF_SliderDef, dephault, 84, 4);

RECORD(PF_SmartRenderCallbacks, 24, 8);
FIELD(PF_SmartRenderCallbacks, checkout_layer_pixels, 0, 8);
FIELD(PF_SmartRenderCallbacks, checkin_layer_pixels, 8, 8);
FIELD(PF_SmartRenderCallbacks, checkout_output, 16, 8);

RECORD(PF_SmartRenderExtra, 16, 8);
FIELD(PF_SmartRenderExtra, input, 0, 8);
FIELD(PF_SmartRenderExtra, cb, 8, 8);

RECORD(PF_SmartRenderInput, 72, 8);
FIELD(PF_SmartRenderInput, output_request, 0, 44);
FIELD(PF_SmartRenderInput, bitdepth, 44, 2);
FIELD(PF_SmartRenderInput, pre_render_data, 48, 8);
FIELD(PF_SmartRenderInput, gpu_data, 56, 8);
FIELD(PF_SmartRenderInput, what_gpu, 64, 4);
FIELD(PF_SmartRenderInput, device_index, 68, 4);

RECORD(PF_SoundFormatInfo, 16, 8);
FIELD(PF_SoundFormatInfo, rateF, 0, 8);
FIELD(PF_SoundFormatInfo, num_channels, 8, 2);
FIELD(PF_SoundFormatInfo, format, 10, 2);
FIELD(PF_SoundFormatInfo, sample_size, 12, 2);

RECORD(PF_SoundWorld, 32, 8);
FIELD(PF_SoundWorld, fi, 0, 16);
FIELD(PF_SoundWorld, num_samples, 16, 4);
FIELD(PF_SoundWorld, dataP, 24, 8);

RECORD(PF_SpecVersion, 4, 2);
FIELD(PF_SpecVersion, major, 0, 2);
FIELD(PF_SpecVersion, minor, 2, 2);

RECORD(PF_UnionablePixel, 4, 1);
FIELD(PF_UnionablePixel, alpha, 0, 1);
FIELD(PF_UnionablePixel, red, 1, 1);
FIELD(PF_UnionablePixel, green, 2, 1);
FIELD(PF_UnionablePixel, blue, 3, 1);

RECORD(PF_UnionableRect, 16, 4);
FIELD(PF_UnionableRect, left, 0, 4);
FIELD(PF_UnionableRect, top, 4, 4);
FIELD(PF_UnionableRect, right, 8, 4);
FIELD(PF_UnionableRect, bottom, 12, 4);

RECORD(PF_UtilCallbacks, 552, 8);
FIELD(PF_UtilCallbacks, begin_sampling, 0, 8);
FIELD(PF_UtilCallbacks, subpixel_sample, 8, 8);
FIELD(PF_UtilCallbacks, area_sample, 16, 8);
FIELD(PF_UtilCallbacks, get_batch_func_is_deprecated, 24, 8);
FIELD(PF_UtilCallbacks, end_sampling, 32, 8);
FIELD(PF_UtilCallbacks, composite_rect, 40, 8);
FIELD(PF_UtilCallbacks, blend, 48, 8);
FIELD(PF_UtilCallbacks, convolve, 56, 8);
FIELD(PF_UtilCallbacks, copy, 64, 8);
FIELD(PF_UtilCallbacks, fill, 72, 8);
FIELD(PF_UtilCallbacks, gaussian_kernel, 80, 8);
FIELD(PF_UtilCallbacks, iterate, 88, 8);
FIELD(PF_UtilCallbacks, premultiply, 96, 8);
FIELD(PF_UtilCallbacks, premultiply_color, 104, 8);
FIELD(PF_UtilCallbacks, new_world, 112, 8);
FIELD(PF_UtilCallbacks, dispose_world, 120, 8);
FIELD(PF_UtilCallbacks, iterate_origin, 128, 8);
FIELD(PF_UtilCallbacks, iterate_lut, 136, 8);
FIELD(PF_UtilCallbacks, transfer_rect, 144, 8);
FIELD(PF_UtilCallbacks, transform_world, 152, 8);
FIELD(PF_UtilCallbacks, host_new_handle, 160, 8);
FIELD(PF_UtilCallbacks, host_lock_handle, 168, 8);
FIELD(PF_UtilCallbacks, host_unlock_handle, 176, 8);
FIELD(PF_UtilCallbacks, host_dispose_handle, 184, 8);
FIELD(PF_UtilCallbacks, get_callback_addr, 192, 8);
FIELD(PF_UtilCallbacks, app, 200, 8);
FIELD(PF_UtilCallbacks, ansi, 208, 160);
FIELD(PF_UtilCallbacks, colorCB, 368, 64);
FIELD(PF_UtilCallbacks, get_platform_data, 432, 8);
FIELD(PF_UtilCallbacks, host_get_handle_size, 440, 8);
FIELD(PF_UtilCallbacks, iterate_origin_non_clip_src, 448, 8);
FIELD(PF_UtilCallbacks, iterate_generic, 456, 8);
FIELD(PF_UtilCallbacks, host_resize_handle, 464, 8);
FIELD(PF_UtilCallbacks, subpixel_sample16, 472, 8);
FIELD(PF_UtilCallbacks, area_sample16, 480, 8);
FIELD(PF_UtilCallbacks, fill16, 488, 8);
FIELD(PF_UtilCallbacks, premultiply_color16, 496, 8);
FIELD(PF_UtilCallbacks, iterate16, 504, 8);
FIELD(PF_UtilCallbacks, iterate_origin16, 512, 8);
FIELD(PF_UtilCallbacks, iterate_origin_non_clip_src16, 520, 8);
FIELD(PF_UtilCallbacks, get_pixel_data8, 528, 8);
FIELD(PF_UtilCallbacks, get_pixel_data16, 536, 8);
FIELD(PF_UtilCallbacks, reserved, 544, 4);

RECORD(PF_WorldSuite2, 24, 8);
FIELD(PF_WorldSuite2, PF_NewWorld, 0, 8);
FIELD(PF_WorldSuite2, PF_DisposeWorld, 8, 8);
FIELD(PF_WorldSuite2, PF_GetPixelFormat, 16, 8);

RECORD(PF_WorldTransformSuite1, 56, 8);
FIELD(PF_WorldTransformSuite1, composite_rect, 0, 8);
FIELD(PF_WorldTransformSuite1, blend, 8, 8);
FIELD(PF_WorldTransformSuite1, convolve, 16, 8);
FIELD(PF_WorldTransformSuite1, copy, 24, 8);
FIELD(PF_WorldTransformSuite1, copy_hq, 32, 8);
FIELD(PF_WorldTransformSuite1, transfer_rect, 40, 8);
FIELD(PF_WorldTransformSuite1, transform_world, 48, 8);

RECORD(SPBasicSuite, 56, 8);
FIELD(SPBasicSuite, AcquireSuite, 0, 8);
FIELD(SPBasicSuite, ReleaseSuite, 8, 8);
FIELD(SPBasicSuite, IsEqual, 16, 8);
FIELD(SPBasicSuite, AllocateBlock, 24, 8);
FIELD(SPBasicSuite, FreeBlock, 32, 8);
FIELD(SPBasicSuite, ReallocateBlock, 40, 8);
FIELD(SPBasicSuite, Undefined, 48, 8);
CONSTANT(A_Err_NONE, 0);
CONSTANT(A_Err_GENERIC, 1);
CONSTANT(A_Err_STRUCT, 2);
CONSTANT(A_Err_PARAMETER, 3);
CONSTANT(A_Err_ALLOC, 4);
CONSTANT(A_Err_WRONG_THREAD, 5);
CONSTANT(A_Err_CONST_PROJECT_MODIFICATION, 6);
CONSTANT(A_Err_RESERVED_7, 7);
CONSTANT(A_Err_RESERVED_8, 8);
CONSTANT(A_Err_RESERVED_9, 9);
CONSTANT(A_Err_RESERVED_10, 10);
CONSTANT(A_Err_RESERVED_11, 11);
CONSTANT(A_Err_RESERVED_12, 12);
CONSTANT(A_Err_MISSING_SUITE, 13);
CONSTANT(A_Err_RESERVED_14, 14);
CONSTANT(A_Err_RESERVED_15, 15);
CONSTANT(A_Err_RESERVED_16, 16);
CONSTANT(A_Err_RESERVED_17, 17);
CONSTANT(A_Err_RESERVED_18, 18);
CONSTANT(A_Err_RESERVED_19, 19);
CONSTANT(A_Err_RESERVED_20, 20);
CONSTANT(A_Err_RESERVED_21, 21);
CONSTANT(A_Err_NOT_IN_CACHE_OR_COMPUTE_PENDING, 22);
CONSTANT(A_Err_PROJECT_LOAD_FATAL, 23);
CONSTANT(A_Err_EFFECT_APPLY_FATAL, 24);
CONSTANT(A_Err_LAST, 25);
CONSTANT(PF_Quality_DRAWING_AUDIO, -1);
CONSTANT(PF_Quality_LO, 0);
CONSTANT(PF_Quality_HI, 1);
CONSTANT(PF_MF_Alpha_PREMUL, 0);
CONSTANT(PF_MF_Alpha_STRAIGHT, 1);
CONSTANT(PF_Field_FRAME, 0);
CONSTANT(PF_Field_UPPER, 1);
CONSTANT(PF_Field_LOWER, 2);
CONSTANT(PF_Param_RESERVED, -1);
CONSTANT(PF_Param_LAYER, 0);
CONSTANT(PF_Param_SLIDER, 1);
CONSTANT(PF_Param_FIX_SLIDER, 2);
CONSTANT(PF_Param_ANGLE, 3);
CONSTANT(PF_Param_CHECKBOX, 4);
CONSTANT(PF_Param_COLOR, 5);
CONSTANT(PF_Param_POINT, 6);
CONSTANT(PF_Param_POPUP, 7);
CONSTANT(PF_Param_CUSTOM, 8);
CONSTANT(PF_Param_NO_DATA, 9);
CONSTANT(PF_Param_FLOAT_SLIDER, 10);
CONSTANT(PF_Param_ARBITRARY_DATA, 11);
CONSTANT(PF_Param_PATH, 12);
CONSTANT(PF_Param_GROUP_START, 13);
CONSTANT(PF_Param_GROUP_END, 14);
CONSTANT(PF_Param_BUTTON, 15);
CONSTANT(PF_Param_RESERVED2, 16);
CONSTANT(PF_Param_RESERVED3, 17);
CONSTANT(PF_Param_POINT_3D, 18);
CONSTANT(PF_ParamFlag_RESERVED1, 1);
CONSTANT(PF_ParamFlag_CANNOT_TIME_VARY, 2);
CONSTANT(PF_ParamFlag_CANNOT_INTERP, 4);
CONSTANT(PF_ParamFlag_RESERVED2, 8);
CONSTANT(PF_ParamFlag_RESERVED3, 16);
CONSTANT(PF_ParamFlag_COLLAPSE_TWIRLY, 32);
CONSTANT(PF_ParamFlag_SUPERVISE, 64);
CONSTANT(PF_ParamFlag_START_COLLAPSED, 32);
CONSTANT(PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 128);
CONSTANT(PF_ParamFlag_LAYER_PARAM_IS_TRACKMATTE, 128);
CONSTANT(PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 256);
CONSTANT(PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN, 512);
CONSTANT(PF_Err_NONE, 0);
CONSTANT(PF_Err_OUT_OF_MEMORY, 4);
CONSTANT(PF_Err_INTERNAL_STRUCT_DAMAGED, 512);
CONSTANT(PF_Err_INVALID_INDEX, 513);
CONSTANT(PF_Err_UNRECOGNIZED_PARAM_TYPE, 514);
CONSTANT(PF_Err_INVALID_CALLBACK, 515);
CONSTANT(PF_Err_BAD_CALLBACK_PARAM, 516);
CONSTANT(PF_Interrupt_CANCEL, 517);
CONSTANT(PF_Err_CANNOT_PARSE_KEYFRAME_TEXT, 518);
CONSTANT(PF_WorldFlag_DEEP, 1);
CONSTANT(PF_WorldFlag_WRITEABLE, 2);
CONSTANT(PF_WorldFlag_RESERVED0, 16777216);
CONSTANT(PF_WorldFlag_RESERVED1, 33554432);
CONSTANT(PF_WorldFlag_RESERVED2, 67108864);
CONSTANT(PF_WorldFlag_RESERVED3, 134217728);
CONSTANT(PF_WorldFlag_RESERVED4, 268435456);
CONSTANT(PF_WorldFlag_RESERVED5, 536870912);
CONSTANT(PF_WorldFlag_RESERVED6, 1073741824);
CONSTANT(PF_WorldFlag_RESERVED, -2147483648);
CONSTANT(PF_OutFlag_NONE, 0);
CONSTANT(PF_OutFlag_KEEP_RESOURCE_OPEN, 1);
CONSTANT(PF_OutFlag_WIDE_TIME_INPUT, 2);
CONSTANT(PF_OutFlag_NON_PARAM_VARY, 4);
CONSTANT(PF_OutFlag_RESERVED6, 8);
CONSTANT(PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING, 16);
CONSTANT(PF_OutFlag_I_DO_DIALOG, 32);
CONSTANT(PF_OutFlag_USE_OUTPUT_EXTENT, 64);
CONSTANT(PF_OutFlag_SEND_DO_DIALOG, 128);
CONSTANT(PF_OutFlag_DISPLAY_ERROR_MESSAGE, 256);
CONSTANT(PF_OutFlag_I_EXPAND_BUFFER, 512);
CONSTANT(PF_OutFlag_PIX_INDEPENDENT, 1024);
CONSTANT(PF_OutFlag_I_WRITE_INPUT_BUFFER, 2048);
CONSTANT(PF_OutFlag_I_SHRINK_BUFFER, 4096);
CONSTANT(PF_OutFlag_WORKS_IN_PLACE, 8192);
CONSTANT(PF_OutFlag_RESERVED8, 16384);
CONSTANT(PF_OutFlag_CUSTOM_UI, 32768);
CONSTANT(PF_OutFlag_RESERVED7, 65536);
CONSTANT(PF_OutFlag_REFRESH_UI, 131072);
CONSTANT(PF_OutFlag_NOP_RENDER, 262144);
CONSTANT(PF_OutFlag_I_USE_SHUTTER_ANGLE, 524288);
CONSTANT(PF_OutFlag_I_USE_AUDIO, 1048576);
CONSTANT(PF_OutFlag_I_AM_OBSOLETE, 2097152);
CONSTANT(PF_OutFlag_FORCE_RERENDER, 4194304);
CONSTANT(PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS, 8388608);
CONSTANT(PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES, 16777216);
CONSTANT(PF_OutFlag_DEEP_COLOR_AWARE, 33554432);
CONSTANT(PF_OutFlag_SEND_UPDATE_PARAMS_UI, 67108864);
CONSTANT(PF_OutFlag_AUDIO_FLOAT_ONLY, 134217728);
CONSTANT(PF_OutFlag_AUDIO_IIR, 268435456);
CONSTANT(PF_OutFlag_I_SYNTHESIZE_AUDIO, 536870912);
CONSTANT(PF_OutFlag_AUDIO_EFFECT_TOO, 1073741824);
CONSTANT(PF_OutFlag_AUDIO_EFFECT_ONLY, -2147483648);
CONSTANT(PF_OutFlag2_NONE, 0);
CONSTANT(PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS, 1);
CONSTANT(PF_OutFlag2_I_USE_3D_CAMERA, 2);
CONSTANT(PF_OutFlag2_I_USE_3D_LIGHTS, 4);
CONSTANT(PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG, 8);
CONSTANT(PF_OutFlag2_I_AM_THREADSAFE, 16);
CONSTANT(PF_OutFlag2_CAN_COMBINE_WITH_DESTINATION, 32);
CONSTANT(PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS, 64);
CONSTANT(PF_OutFlag2_REVEALS_ZERO_ALPHA, 128);
CONSTANT(PF_OutFlag2_PRESERVES_FULLY_OPAQUE_PIXELS, 256);
CONSTANT(PF_OutFlag2_SUPPORTS_SMART_RENDER, 1024);
CONSTANT(PF_OutFlag2_RESERVED9, 2048);
CONSTANT(PF_OutFlag2_FLOAT_COLOR_AWARE, 4096);
CONSTANT(PF_OutFlag2_I_USE_COLORSPACE_ENUMERATION, 8192);
CONSTANT(PF_OutFlag2_I_AM_DEPRECATED, 16384);
CONSTANT(PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER, 32768);
CONSTANT(PF_OutFlag2_RESERVED10, 65536);
CONSTANT(PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT, 131072);
CONSTANT(PF_OutFlag2_I_USE_TIMECODE, 262144);
CONSTANT(PF_OutFlag2_DEPENDS_ON_UNREFERENCED_MASKS, 524288);
CONSTANT(PF_OutFlag2_OUTPUT_IS_WATERMARKED, 1048576);
CONSTANT(PF_OutFlag2_I_MIX_GUID_DEPENDENCIES, 2097152);
CONSTANT(PF_OutFlag2_AE13_5_THREADSAFE, 4194304);
CONSTANT(PF_OutFlag2_SUPPORTS_GET_FLATTENED_SEQUENCE_DATA, 8388608);
CONSTANT(PF_OutFlag2_CUSTOM_UI_ASYNC_MANAGER, 16777216);
CONSTANT(PF_OutFlag2_SUPPORTS_GPU_RENDER_F32, 33554432);
CONSTANT(PF_OutFlag2_RESERVED12, 67108864);
CONSTANT(PF_OutFlag2_SUPPORTS_THREADED_RENDERING, 134217728);
CONSTANT(PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER, 268435456);
CONSTANT(PF_InFlag_NONE, 0);
CONSTANT(PF_InFlag_PROJECT_IS_RENDER_ONLY, 1);
CONSTANT(PF_Cmd_ABOUT, 0);
CONSTANT(PF_Cmd_GLOBAL_SETUP, 1);
CONSTANT(PF_Cmd_UNUSED_0, 2);
CONSTANT(PF_Cmd_GLOBAL_SETDOWN, 3);
CONSTANT(PF_Cmd_PARAMS_SETUP, 4);
CONSTANT(PF_Cmd_SEQUENCE_SETUP, 5);
CONSTANT(PF_Cmd_SEQUENCE_RESETUP, 6);
CONSTANT(PF_Cmd_SEQUENCE_FLATTEN, 7);
CONSTANT(PF_Cmd_SEQUENCE_SETDOWN, 8);
CONSTANT(PF_Cmd_DO_DIALOG, 9);
CONSTANT(PF_Cmd_FRAME_SETUP, 10);
CONSTANT(PF_Cmd_RENDER, 11);
CONSTANT(PF_Cmd_FRAME_SETDOWN, 12);
CONSTANT(PF_Cmd_USER_CHANGED_PARAM, 13);
CONSTANT(PF_Cmd_UPDATE_PARAMS_UI, 14);
CONSTANT(PF_Cmd_EVENT, 15);
CONSTANT(PF_Cmd_GET_EXTERNAL_DEPENDENCIES, 16);
CONSTANT(PF_Cmd_COMPLETELY_GENERAL, 17);
CONSTANT(PF_Cmd_QUERY_DYNAMIC_FLAGS, 18);
CONSTANT(PF_Cmd_AUDIO_RENDER, 19);
CONSTANT(PF_Cmd_AUDIO_SETUP, 20);
CONSTANT(PF_Cmd_AUDIO_SETDOWN, 21);
CONSTANT(PF_Cmd_ARBITRARY_CALLBACK, 22);
CONSTANT(PF_Cmd_SMART_PRE_RENDER, 23);
CONSTANT(PF_Cmd_SMART_RENDER, 24);
CONSTANT(PF_Cmd_RESERVED1, 25);
CONSTANT(PF_Cmd_RESERVED2, 26);
CONSTANT(PF_Cmd_RESERVED3, 27);
CONSTANT(PF_Cmd_GET_FLATTENED_SEQUENCE_DATA, 28);
CONSTANT(PF_Cmd_TRANSLATE_PARAMS_TO_PREFS, 29);
CONSTANT(PF_Cmd_RESERVED4, 30);
CONSTANT(PF_Cmd_SMART_RENDER_GPU, 31);
CONSTANT(PF_Cmd_GPU_DEVICE_SETUP, 32);
CONSTANT(PF_Cmd_GPU_DEVICE_SETDOWN, 33);
CONSTANT(PF_Cmd_NUM_CMDS, 34);
CONSTANT(PF_LayerDefault_MYSELF, -1);
CONSTANT(PF_LayerDefault_NONE, 0);
CONSTANT(PF_ValueDisplayFlag_NONE, 0);
CONSTANT(PF_ValueDisplayFlag_PERCENT, 1);
CONSTANT(PF_ValueDisplayFlag_PIXEL, 2);
CONSTANT(PF_ValueDisplayFlag_RESERVED1, 4);
CONSTANT(PF_ValueDisplayFlag_REVERSE, 8);
CONSTANT(PF_FSliderFlag_NONE, 0);
CONSTANT(PF_FSliderFlag_WANT_PHASE, 1);
CONSTANT(PF_PUI_NONE, 0);
CONSTANT(PF_PUI_TOPIC, 1);
CONSTANT(PF_PUI_CONTROL, 2);
CONSTANT(PF_PUI_STD_CONTROL_ONLY, 4);
CONSTANT(PF_PUI_NO_ECW_UI, 8);
CONSTANT(PF_PUI_ECW_SEPARATOR, 16);
CONSTANT(PF_PUI_DISABLED, 32);
CONSTANT(PF_PUI_DONT_ERASE_TOPIC, 64);
CONSTANT(PF_PUI_DONT_ERASE_CONTROL, 128);
CONSTANT(PF_PUI_RADIO_BUTTON, 256);
CONSTANT(PF_PUI_INVISIBLE, 512);
CONSTANT(PF_ChannelMask_ALPHA, 1);
CONSTANT(PF_ChannelMask_RED, 2);
CONSTANT(PF_ChannelMask_GREEN, 4);
CONSTANT(PF_ChannelMask_BLUE, 8);
CONSTANT(PF_ChannelMask_ARGB, 15);
CONSTANT(PF_GPU_Framework_NONE, 0);
CONSTANT(PF_GPU_Framework_OPENCL, 1);
CONSTANT(PF_GPU_Framework_METAL, 2);
CONSTANT(PF_GPU_Framework_CUDA, 3);
CONSTANT(PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 1);
CONSTANT(PF_RenderOutputFlag_GPU_RENDER_POSSIBLE, 2);
CONSTANT(PF_RenderOutputFlag_RESERVED1, 4);
CONSTANT(PF_NewWorldFlag_NONE, 0);
CONSTANT(PF_NewWorldFlag_CLEAR_PIXELS, 1);
CONSTANT(PF_NewWorldFlag_DEEP_PIXELS, 2);
CONSTANT(PF_NewWorldFlag_RESERVED0, 4);
CONSTANT(PF_NewWorldFlag_RESERVED1, 8);
CONSTANT(PF_PixelFormat_ARGB32, 1650946657);
CONSTANT(PF_PixelFormat_ARGB64, 909206881);
CONSTANT(PF_PixelFormat_ARGB128, 842229089);
CONSTANT(PF_PixelFormat_GPU_BGRA128, 1094992704);
CONSTANT(PF_PixelFormat_RESERVED, 1631863616);
CONSTANT(PF_PixelFormat_BGRA32, 1634887522);
CONSTANT(PF_PixelFormat_VUYA32, 1635349878);
CONSTANT(PF_PixelFormat_NTSCDV25, 846100068);
CONSTANT(PF_PixelFormat_PALDV25, 846231140);
CONSTANT(PF_PixelFormat_INVALID, 1717854562);
CONSTANT(PF_PixelFormat_FORCE_LONG_INT, 4294967295);
CONSTANT(PrPixelFormat_VUYA_4444_32f, 1635341654);
CONSTANT(PrPixelFormat_VUYA_4444_8u, 1635349878);
CONSTANT(PrPixelFormat_BGRA_4444_8u, 1634887522);
CONSTANT(PrPixelFormat_BGRA_4444_32f, 1634879298);

CONSTANT(PF_AE_PLUG_IN_SUBVERS, 28);
CONSTANT(PF_AE_PLUG_IN_VERSION, 13);
CONSTANT(PF_FIRST_ERR, 512);
CONSTANT(PF_MAX_CHAN16, 32768);
CONSTANT(PF_MAX_CHAN8, 255);
CONSTANT(PF_MAX_EFFECT_CATEGORY_NAME_LEN, 31);
CONSTANT(PF_MAX_EFFECT_MSG_LEN, 255);
CONSTANT(PF_MAX_EFFECT_NAME_LEN, 31);
CONSTANT(PF_MAX_EFFECT_PARAM_NAME_LEN, 31);
CONSTANT(PF_MAX_PARAM_DESCRIPTION_LEN, 31);
CONSTANT(PF_MAX_PARAM_VALUE_LEN, 31);
CONSTANT(PF_MAX_PATH_NAME_LEN, 31);
CONSTANT(PF_MAX_WORLD_HEIGHT, 30000);
CONSTANT(PF_MAX_WORLD_WIDTH, 30000);
TEXT(kPFANSISuite, "PF ANSI Suite");
CONSTANT(kPFANSISuiteVersion1, 1);
TEXT(kPFGPUDeviceSuite, "PF GPU Device Suite");
CONSTANT(kPFGPUDeviceSuiteVersion1, 1);
TEXT(kPFHandleSuite, "PF Handle Suite");
CONSTANT(kPFHandleSuiteVersion1, 2);
TEXT(kPFPathDataSuite, "PF Path Data Suite");
CONSTANT(kPFPathDataSuiteVersion1, 1);
TEXT(kPFPathQuerySuite, "PF Path Query Suite");
CONSTANT(kPFPathQuerySuiteVersion1, 1);
TEXT(kPFPixelFormatSuite, "PF Pixel Format Suite");
CONSTANT(kPFPixelFormatSuiteVersion, 1);
CONSTANT(kPFPixelFormatSuiteVersion1, 1);
CONSTANT(kPFPixelFormatSuiteVersion2, 2);
TEXT(kPFWorldSuite, "PF World Suite");
CONSTANT(kPFWorldSuiteVersion1, 1);
CONSTANT(kPFWorldSuiteVersion2, 2);
TEXT(kPFWorldTransformSuite, "PF World Transform Suite");
CONSTANT(kPFWorldTransformSuiteVersion1, 1);
TEXT(kSPBasicSuite, "SP Basic Suite");
CONSTANT(kSPBasicSuiteVersion, 4);

// Scalar types, pointers and the one enumeration.
SCALAR(A_Boolean, 1, false);
SCALAR(A_Err, 4, true);
SIZE(A_FpLong, 8);
SIZE(A_FpShort, 4);
SCALAR(A_HandleSize, 8, false);
SIZE(A_char, 1);
SCALAR(A_long, 4, true);
SCALAR(A_short, 2, true);
SCALAR(A_u_char, 1, false);
SCALAR(A_u_long, 4, false);
SCALAR(A_u_longlong, 8, false);
SCALAR(A_u_short, 2, false);
SIZE(PF_ArbitraryH, 8);
SIZE(PF_Boolean, 1);
SIZE(PF_CallbackFunc, 8);
SCALAR(PF_CallbackID, 4, true);
SCALAR(PF_ChangeFlags, 4, true);
SCALAR(PF_ChannelMask, 4, true);
SCALAR(PF_Cmd, 4, true);
SIZE(PF_DeletePreRenderDataFunc, 8);
SCALAR(PF_Err, 4, true);
SCALAR(PF_FSliderFlags, 4, false);
SCALAR(PF_Field, 4, true);
SCALAR(PF_Fixed, 4, true);
SIZE(PF_FpLong, 8);
SIZE(PF_FpShort, 4);
SCALAR(PF_GPU_Framework, 4, true);
SIZE(PF_Handle, 8);
SCALAR(PF_InFlags, 4, true);
SIZE(PF_IteratePixel16Func, 8);
SIZE(PF_IteratePixel8Func, 8);
SCALAR(PF_KernelFlags, 4, false);
SIZE(PF_LayerAudio, 8);
SCALAR(PF_MaskFlags, 4, true);
SCALAR(PF_MaskMode, 4, true);
SCALAR(PF_ModeFlags, 4, true);
SCALAR(PF_NewWorldFlags, 4, true);
SCALAR(PF_OutFlags, 4, true);
SCALAR(PF_OutFlags2, 4, true);
SIZE(PF_ParamDefPtr, 8);
SCALAR(PF_ParamFlags, 4, true);
SCALAR(PF_ParamIndex, 4, true);
SCALAR(PF_ParamType, 4, true);
SCALAR(PF_ParamUIFlags, 4, true);
SCALAR(PF_ParamValue, 4, true);
SCALAR(PF_PathID, 4, false);
SIZE(PF_PathOutlinePtr, 8);
SIZE(PF_PathSegPrepPtr, 8);
SCALAR(PF_PixelFormat, 4, true);
SIZE(PF_PixelPtr, 8);
SCALAR(PF_PlatDataID, 4, true);
SIZE(PF_PluginDataCB, 8);
SIZE(PF_PluginDataPtr, 8);
SIZE(PF_ProgPtr, 8);
SCALAR(PF_Quality, 4, true);
SCALAR(PF_RenderOutputFlags, 2, true);
SCALAR(PF_SampleEdgeBehav, 4, false);
SIZE(PF_SndSamplePtr, 8);
SCALAR(PF_SoundChannels, 2, true);
SCALAR(PF_SoundFormat, 2, true);
SCALAR(PF_SoundSampleSize, 2, true);
SCALAR(PF_TransferMode, 4, true);
SCALAR(PF_UFixed, 4, false);
SCALAR(PF_ValueDisplayFlags, 2, true);
SCALAR(PF_WorldFlags, 4, true);
SCALAR(PF_XferMode, 4, true);
SCALAR(SPErr, 4, true);
SCALAR(int32, 4, true);
SIZE(PF_Pixel8, 4);
SIZE(PrPixelFormat, 4);
// Four bytes on Windows, one elsewhere; only IsEqual returns it.
#if defined(_WIN32)
SIZE(SPBoolean, 4);
#else
SIZE(SPBoolean, 1);
#endif

}  // namespace
