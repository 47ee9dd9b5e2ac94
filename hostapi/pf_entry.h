// The registration entry point as the host sees it. The effect's command entry
// point, EffectMain, is the effect's own declaration.
#ifndef TARSIVEL_HOSTAPI_PF_ENTRY_H
#define TARSIVEL_HOSTAPI_PF_ENTRY_H

#include "pf_types.h"
#include "sp_basic_suite.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The host's registration callback: the plug-in data pointer, the display
   name, match name, category and entry point name, the kind, the API's major
   and minor version and the reserved info. */
typedef A_Err (*PF_PluginDataCB)(PF_PluginDataPtr, const A_u_char*, const A_u_char*,
                                 const A_u_char*, const A_u_char*, A_long, A_long, A_long, A_long);

/* The plug-in data pointer, the callback, the basic suite, and the host's name
   and version. */
typedef A_Err (*PluginDataEntryFunctionPtr)(PF_PluginDataPtr, PF_PluginDataCB, struct SPBasicSuite*,
                                            const char*, const char*);

#ifdef __cplusplus
}
#endif

#endif
