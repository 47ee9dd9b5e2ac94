// The effect's exported entry points as the host sees them.
#ifndef TARSIVEL_HOSTAPI_PF_ENTRY_H
#define TARSIVEL_HOSTAPI_PF_ENTRY_H

#include "hostapi/pf_commands.h"
#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_param_def.h"
#include "hostapi/pf_world.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PF_DLL_EXPORT __declspec(dllexport)
#else
#define PF_DLL_EXPORT __attribute__((visibility("default")))
#endif

/* 'eFKT': the plug-in kind of an effect. */
#define PF_KIND_EFFECT PF_FOURCC('e', 'F', 'K', 'T')

typedef PF_Err (*PF_EffectMainFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

/* The host's registration callback, called once by PluginDataEntryFunction. */
typedef PF_Err (*PF_PluginDataCB)(PF_PluginDataPtr data, const A_char* name,
                                  const A_char* match_name, const A_char* category,
                                  const A_char* entry_point_name, A_long kind,
                                  A_long api_version_major, A_long api_version_minor,
                                  A_long reserved_info);

typedef PF_Err (*PF_PluginDataEntryFunc)(PF_PluginDataPtr data, PF_PluginDataCB callback);

#ifdef __cplusplus
}
#endif

#endif
