// The three symbols the loadable library exports; everything else is hidden.
#include "entry/command_dispatch.h"
#include "entry/effect_info.h"

extern "C" {

PF_DLL_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    return tarsivel::DispatchCommand(cmd, in_data, out_data, params, output, extra);
}

// Tells the host the effect's name, match name, category and entry point with
// one call of its registration callback, whose result is returned unchanged.
PF_DLL_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr data, PF_PluginDataCB callback) {
    if (callback == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return callback(data, tarsivel::kEffectName, tarsivel::kEffectMatchName,
                    tarsivel::kEffectCategory, tarsivel::kEntryPointName, A_long(PF_KIND_EFFECT),
                    tarsivel::kApiVersionMajor, tarsivel::kApiVersionMinor,
                    tarsivel::kReservedInfo);
}

// Asks the display driver of hybrid-graphics machines for the discrete GPU. It
// must stay writable data, which is what the driver looks for.
PF_DLL_EXPORT int32_t NvOptimusEnablementCuda = 1;

}  // extern "C"
