// The effect's one entry point behind EffectMain: turns a command code into a
// handler call and any exception below it into the command's result, so that
// nothing but an error code ever reaches the host. About and global set-up,
// which nothing else calls, live beside it.
#ifndef TARSIVEL_ENTRY_COMMAND_DISPATCH_H
#define TARSIVEL_ENTRY_COMMAND_DISPATCH_H

#include "pf_api.h"

namespace tarsivel {

PF_Err DispatchCommand(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                       PF_LayerDef* output, void* extra);

}  // namespace tarsivel

#endif
