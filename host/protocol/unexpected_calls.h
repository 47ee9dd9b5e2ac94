// Every function slot of every table this host hands out gets a function: the
// ones the effect is documented to call do the work (they are set after these),
// and every other one records the call as a breach of the host contract, naming
// the slot, and answers a refusal. No slot is ever a null pointer the effect
// could jump through; only the slots the API reserves stay null.
#ifndef TARSIVEL_HOST_PROTOCOL_UNEXPECTED_CALLS_H
#define TARSIVEL_HOST_PROTOCOL_UNEXPECTED_CALLS_H

#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

#include "hostapi/pf_api.h"

namespace tarsivel::host {

// Notes the breach in the accounts of the command running on this thread.
void ReportUnexpectedCall(const char* slot) noexcept;

namespace detail {

// A slot's name as a template argument.
template <std::size_t N>
struct SlotName {
    char text[N];
    constexpr SlotName(const char (&name)[N]) {  // NOLINT: implicit on purpose
        for (std::size_t i = 0; i < N; ++i) {
            text[i] = name[i];
        }
    }
};

// What an unexpected call answers: an error code where the slot returns one,
// a null pointer, a quiet NaN for the arithmetic callbacks, else zero.
template <class Result>
Result Refusal() noexcept {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
    } else if constexpr (std::is_floating_point_v<Result>) {
        return std::numeric_limits<Result>::quiet_NaN();
    } else if constexpr (std::is_integral_v<Result> && sizeof(Result) == sizeof(PF_Err)) {
        return Result(PF_Err_INVALID_CALLBACK);
    } else {
        return Result{};
    }
}

template <SlotName Slot, class Signature>
struct UnexpectedCall;

template <SlotName Slot, class Result, class... Args>
struct UnexpectedCall<Slot, Result (*)(Args...)> {
    static Result Call(Args...) noexcept {
        ReportUnexpectedCall(Slot.text);
        return Refusal<Result>();
    }
};

template <SlotName Slot, class Result, class... Args>
struct UnexpectedCall<Slot, Result (*)(Args..., ...)> {
    static Result Call(Args..., ...) noexcept {
        ReportUnexpectedCall(Slot.text);
        return Refusal<Result>();
    }
};

}  // namespace detail

#define TARSIVEL_UNEXPECTED(TABLE, OBJECT, SLOT) \
    (OBJECT).SLOT =                              \
        ::tarsivel::host::detail::UnexpectedCall<#TABLE "." #SLOT, decltype((OBJECT).SLOT)>::Call

// One for each table: every slot the API defines, set to its unexpected call.
inline void MarkUnexpected(SPBasicSuite& table) {
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, AcquireSuite);
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, ReleaseSuite);
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, IsEqual);
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, AllocateBlock);
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, FreeBlock);
    TARSIVEL_UNEXPECTED(SPBasicSuite, table, ReallocateBlock);
}

inline void MarkUnexpected(PF_InteractCallbacks& table) {
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, checkout_param);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, checkin_param);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, add_param);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, abort);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, progress);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, register_ui);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, checkout_layer_audio);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, checkin_layer_audio);
    TARSIVEL_UNEXPECTED(PF_InteractCallbacks, table, get_audio_data);
}

inline void MarkUnexpected(PF_UtilCallbacks& table) {
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, begin_sampling);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, subpixel_sample);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, area_sample);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, end_sampling);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, composite_rect);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, blend);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, convolve);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, copy);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, fill);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, gaussian_kernel);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, premultiply);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, premultiply_color);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, new_world);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, dispose_world);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_origin);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_lut);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, transfer_rect);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, transform_world);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_new_handle);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_lock_handle);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_unlock_handle);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_dispose_handle);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, get_callback_addr);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, app);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.atan);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.atan2);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.ceil);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.cos);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.exp);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.fabs);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.floor);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.fmod);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.hypot);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.log);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.log10);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.pow);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.sin);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.sqrt);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.tan);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.sprintf);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.strcpy);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.asin);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, ansi.acos);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.RGBtoHLS);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.HLStoRGB);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.RGBtoYIQ);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.YIQtoRGB);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.Luminance);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.Hue);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.Lightness);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, colorCB.Saturation);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, get_platform_data);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_get_handle_size);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_origin_non_clip_src);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_generic);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, host_resize_handle);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, subpixel_sample16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, area_sample16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, fill16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, premultiply_color16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_origin16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, iterate_origin_non_clip_src16);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, get_pixel_data8);
    TARSIVEL_UNEXPECTED(PF_UtilCallbacks, table, get_pixel_data16);
}

inline void MarkUnexpected(PF_ANSICallbacksSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, atan);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, atan2);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, ceil);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, cos);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, exp);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, fabs);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, floor);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, fmod);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, hypot);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, log);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, log10);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, pow);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, sin);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, sqrt);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, tan);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, sprintf);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, strcpy);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, asin);
    TARSIVEL_UNEXPECTED(PF_ANSICallbacksSuite1, table, acos);
}

inline void MarkUnexpected(PF_PixelFormatSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, AddSupportedPixelFormat);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, ClearSupportedPixelFormats);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, NewWorldOfPixelFormat);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, DisposeWorld);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, GetPixelFormat);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, GetBlackForPixelFormat);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, GetWhiteForPixelFormat);
    TARSIVEL_UNEXPECTED(PF_PixelFormatSuite1, table, ConvertColorToPixelFormattedData);
}

inline void MarkUnexpected(PF_PathQuerySuite1& table) {
    TARSIVEL_UNEXPECTED(PF_PathQuerySuite1, table, PF_NumPaths);
    TARSIVEL_UNEXPECTED(PF_PathQuerySuite1, table, PF_PathInfo);
    TARSIVEL_UNEXPECTED(PF_PathQuerySuite1, table, PF_CheckoutPath);
    TARSIVEL_UNEXPECTED(PF_PathQuerySuite1, table, PF_CheckinPath);
}

inline void MarkUnexpected(PF_PathDataSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathIsOpen);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathNumSegments);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathVertexInfo);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathPrepareSegLength);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathGetSegLength);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathEvalSegLength);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathEvalSegLengthDeriv1);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathCleanupSegLength);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathIsInverted);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathGetMaskMode);
    TARSIVEL_UNEXPECTED(PF_PathDataSuite1, table, PF_PathGetName);
}

inline void MarkUnexpected(PF_WorldSuite2& table) {
    TARSIVEL_UNEXPECTED(PF_WorldSuite2, table, PF_NewWorld);
    TARSIVEL_UNEXPECTED(PF_WorldSuite2, table, PF_DisposeWorld);
    TARSIVEL_UNEXPECTED(PF_WorldSuite2, table, PF_GetPixelFormat);
}

inline void MarkUnexpected(PF_WorldTransformSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, composite_rect);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, blend);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, convolve);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, copy);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, copy_hq);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, transfer_rect);
    TARSIVEL_UNEXPECTED(PF_WorldTransformSuite1, table, transform_world);
}

inline void MarkUnexpected(PF_GPUDeviceSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, GetDeviceCount);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, GetDeviceInfo);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, AcquireExclusiveDeviceAccess);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, ReleaseExclusiveDeviceAccess);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, AllocateDeviceMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, FreeDeviceMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, PurgeDeviceMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, AllocateHostMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, FreeHostMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, PurgeHostMemory);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, CreateGPUWorld);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, DisposeGPUWorld);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, GetGPUWorldData);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, GetGPUWorldSize);
    TARSIVEL_UNEXPECTED(PF_GPUDeviceSuite1, table, GetGPUWorldDeviceIndex);
}

inline void MarkUnexpected(PF_HandleSuite1& table) {
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_new_handle);
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_lock_handle);
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_unlock_handle);
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_dispose_handle);
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_get_handle_size);
    TARSIVEL_UNEXPECTED(PF_HandleSuite1, table, host_resize_handle);
}

inline void MarkUnexpected(PF_PreRenderCallbacks& table) {
    TARSIVEL_UNEXPECTED(PF_PreRenderCallbacks, table, checkout_layer);
    TARSIVEL_UNEXPECTED(PF_PreRenderCallbacks, table, GuidMixInPtr);
}

inline void MarkUnexpected(PF_SmartRenderCallbacks& table) {
    TARSIVEL_UNEXPECTED(PF_SmartRenderCallbacks, table, checkout_layer_pixels);
    TARSIVEL_UNEXPECTED(PF_SmartRenderCallbacks, table, checkin_layer_pixels);
    TARSIVEL_UNEXPECTED(PF_SmartRenderCallbacks, table, checkout_output);
}

#undef TARSIVEL_UNEXPECTED

// A table with every slot marked, for the host to set the documented ones in.
template <class Table>
Table UnexpectedTable() {
    Table table{};
    MarkUnexpected(table);
    return table;
}

}  // namespace tarsivel::host

#endif
