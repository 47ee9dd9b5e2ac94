#include "command_dispatch.h"

#include <new>

#include "effect_info.h"
#include "gpu_device_setup.h"
#include "params_setup.h"
#include "pf_api.h"
#include "scoped_suite.h"
#include "smart_pre_render.h"
#include "smart_render.h"

namespace tarsivel {
namespace {

// Writes the About text into out_data->return_msg with the ANSI suite.
PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    // A suite the set cannot acquire is PF_Err_BAD_CALLBACK_PARAM without the
    // missing-suite message: return_msg is where the host looks for About's text.
    HostSuiteSet suites(in_data->pica_basicP);
    const auto& ansi = suites.Get<PF_ANSICallbacksSuite1>(kPFANSISuite, kPFANSISuiteVersion1);
    if (ansi.sprintf == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // Two single carriage returns separate the lines, as the host's dialog expects.
    ansi.sprintf(out_data->return_msg, "%s - v%d.%d\r\r%s", kEffectName, kMajorVersion,
                 kMinorVersion, kEffectDescription);
    return PF_Err_NONE;
}

// Declares the version and capabilities; on the 'PrMr' host also the one
// pixel format the effect accepts there. Creates no global data.
PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = kPackedVersion;
    out_data->out_flags = kOutFlags;
    out_data->out_flags2 = kOutFlags2WithoutGpu;
    if (in_data->appl_id == kApplIdPrMr) {
        // That host is not told of GPU rendering and takes one pixel format.
        ScopedSuite<PF_PixelFormatSuite1> formats(in_data, kPFPixelFormatSuite,
                                                  kPFPixelFormatSuiteVersion1, out_data);
        // Both answers are ignored: set-up succeeds whichever formats the host keeps.
        formats->ClearSupportedPixelFormats(in_data->effect_ref);
        formats->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_VUYA_4444_32f);
    } else {
        out_data->out_flags2 = kOutFlags2;
    }
    return PF_Err_NONE;
}

bool UsesExtra(PF_Cmd cmd) {
    return cmd == PF_Cmd_SMART_PRE_RENDER || cmd == PF_Cmd_SMART_RENDER ||
           cmd == PF_Cmd_SMART_RENDER_GPU || cmd == PF_Cmd_GPU_DEVICE_SETUP ||
           cmd == PF_Cmd_GPU_DEVICE_SETDOWN;
}

bool IsHandled(PF_Cmd cmd) {
    return cmd == PF_Cmd_ABOUT || cmd == PF_Cmd_GLOBAL_SETUP || cmd == PF_Cmd_PARAMS_SETUP ||
           UsesExtra(cmd);
}

PF_Err RunHandler(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, void* extra) {
    switch (cmd) {
        case PF_Cmd_ABOUT:
            return About(in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP:
            return GlobalSetup(in_data, out_data);
        case PF_Cmd_PARAMS_SETUP:
            return ParamsSetup(in_data, out_data);
        case PF_Cmd_SMART_PRE_RENDER:
            return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
        case PF_Cmd_SMART_RENDER:
            return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra), false);
        case PF_Cmd_SMART_RENDER_GPU:
            return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra), true);
        case PF_Cmd_GPU_DEVICE_SETUP:
            return GPUDeviceSetup(in_data, out_data, static_cast<PF_GPUDeviceSetupExtra*>(extra));
        case PF_Cmd_GPU_DEVICE_SETDOWN:
            return GPUDeviceSetdown(in_data, out_data,
                                    static_cast<PF_GPUDeviceSetdownExtra*>(extra));
        default:
            return PF_Err_NONE;
    }
}

}  // namespace

PF_Err DispatchCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                       PF_ParamDef* /*params*/[], PF_LayerDef* /*output*/, void* extra) {
    if (!IsHandled(cmd)) {
        return PF_Err_NONE;
    }
    if (in_data == nullptr || out_data == nullptr || (UsesExtra(cmd) && extra == nullptr)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    try {
        return RunHandler(cmd, in_data, out_data, extra);
    } catch (PF_Err err) {
        return err;
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        // The pure core's std::invalid_argument, which no handler should let happen.
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

}  // namespace tarsivel
