// A plug-in that misbehaves on purpose, so the command's verdicts can be
// tested: it declares one parameter and, by TARSIVEL_MISBEHAVE, fails smart
// pre-render with an error and a message ("error") or keeps a suite it
// acquired ("leak").
#include <cstdlib>
#include <cstring>

#include "hostapi/pf_api.h"

namespace {

PF_Err PreRender(PF_InData* in_data, PF_OutData* out_data) {
    const char* mode = std::getenv("TARSIVEL_MISBEHAVE");
    if (mode != nullptr && std::strcmp(mode, "error") == 0) {
        in_data->utils->ansi.sprintf(out_data->return_msg, "the rope is tangled");
        return PF_Err_OUT_OF_MEMORY;
    }
    if (mode != nullptr && std::strcmp(mode, "leak") == 0) {
        const void* suite = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFANSISuite, kPFANSISuiteVersion1, &suite);
    }
    return PF_Err_NONE;
}

}  // namespace

extern "C" {

PF_DLL_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**,
                                PF_LayerDef*, void*) {
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof def);
        def.param_type = PF_Param_CHECKBOX;
        std::strcpy(def.name, "Box");
        def.uu.id = 1;
        out_data->num_params = 2;
        return PF_ADD_PARAM(in_data, PF_PARAM_APPEND, &def);
    }
    return cmd == PF_Cmd_SMART_PRE_RENDER ? PreRender(in_data, out_data) : PF_Err_NONE;
}

PF_DLL_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr data, PF_PluginDataCB callback) {
    return callback(data, "Misbehaving", "Misbehaving", "Tests", "EffectMain",
                    A_long(PF_KIND_EFFECT), 13, 27, 8);
}

}  // extern "C"
