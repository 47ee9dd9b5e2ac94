// The three symbols the loadable library exports; everything else is hidden.
#include "command_dispatch.h"
#include "effect_info.h"

#if defined(_WIN32)
#define TARSIVEL_EXPORT __declspec(dllexport)
#else
#define TARSIVEL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

TARSIVEL_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    return tarsivel::DispatchCommand(cmd, in_data, out_data, params, output, extra);
}

// Tells the host the effect's name, match name, category and entry point with
// one call of its registration callback, whose result is returned unchanged.
// The host also passes its basic suite, name and version, which registration
// does not need.
TARSIVEL_EXPORT A_Err PluginDataEntryFunction(PF_PluginDataPtr data, PF_PluginDataCB callback,
                                              SPBasicSuite* /*basic*/, const char* /*host_name*/,
                                              const char* /*host_version*/) {
    if (callback == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto text = [](const char* s) { return reinterpret_cast<const A_u_char*>(s); };
    return callback(data, text(tarsivel::kEffectName), text(tarsivel::kEffectMatchName),
                    text(tarsivel::kEffectCategory), text(tarsivel::kEntryPointName),
                    tarsivel::kEffectKind, tarsivel::kApiVersionMajor, tarsivel::kApiVersionMinor,
                    tarsivel::kReservedInfo);
}

// Asks the display driver of hybrid-graphics machines for the discrete GPU. It
// must stay writable data, which is what the driver looks for.
TARSIVEL_EXPORT int32_t NvOptimusEnablementCuda = 1;

}  // extern "C"
