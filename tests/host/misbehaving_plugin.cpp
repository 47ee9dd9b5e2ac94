// A plug-in that misbehaves on purpose, so the command's verdicts can be
// tested: it declares one parameter and, by TARSIVEL_MISBEHAVE, fails smart
// pre-render with an error and a message ("error"), keeps a suite it
// acquired ("leak"), hands over a record with a value that is not a number
// ("nan"), or calls a callback it has no business calling ("progress").
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "hostapi/pf_api.h"
#include "physics/rope_render_data.h"

#define MISBEHAVING_EXPORT __attribute__((visibility("default")))

namespace {

void DeleteRecord(void* record) {
    delete static_cast<tarsivel::RopeRenderData*>(record);
}

PF_Err PreRender(PF_InData* in_data, PF_OutData* out_data, void* extra) {
    const char* mode = std::getenv("TARSIVEL_MISBEHAVE");
    if (mode != nullptr && std::strcmp(mode, "error") == 0) {
        in_data->utils->ansi.sprintf(out_data->return_msg, "the rope is tangled");
        return PF_Err_OUT_OF_MEMORY;
    }
    if (mode != nullptr && std::strcmp(mode, "progress") == 0) {
        in_data->inter.progress(in_data->effect_ref, 1, 1);
    }
    if (mode != nullptr && std::strcmp(mode, "leak") == 0) {
        const void* suite = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFANSISuite, kPFANSISuiteVersion1, &suite);
    }
    if (mode != nullptr && std::strcmp(mode, "nan") == 0) {
        auto* record = new tarsivel::RopeRenderData;
        record->points = {1, 2, NAN, 4};
        auto* output = static_cast<PF_PreRenderExtra*>(extra)->output;
        output->pre_render_data = record;
        output->delete_pre_render_data_func = DeleteRecord;
    }
    return PF_Err_NONE;
}

}  // namespace

extern "C" {

MISBEHAVING_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                     PF_ParamDef**, PF_LayerDef*, void* extra) {
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof def);
        def.param_type = PF_Param_CHECKBOX;
        std::strcpy(def.name, "Box");
        def.uu.id = 1;
        out_data->num_params = 2;
        return PF_ADD_PARAM(in_data, -1, &def);
    }
    return cmd == PF_Cmd_SMART_PRE_RENDER ? PreRender(in_data, out_data, extra) : PF_Err_NONE;
}

MISBEHAVING_EXPORT A_Err PluginDataEntryFunction(PF_PluginDataPtr data, PF_PluginDataCB callback,
                                                 SPBasicSuite*, const char*, const char*) {
    const auto text = [](const char* s) { return reinterpret_cast<const A_u_char*>(s); };
    return callback(data, text("Misbehaving"), text("Misbehaving"), text("Tests"),
                    text("EffectMain"), 0x65464B54 /* 'eFKT' */, 13, 27, 8);
}

}  // extern "C"
