// Smart render, CPU or GPU: checks out the input and output, asks the input's
// pixel format and hands everything to the renderer the command chose.
#ifndef TARSIVEL_RENDER_SMART_RENDER_H
#define TARSIVEL_RENDER_SMART_RENDER_H

#include "pf_api.h"

namespace tarsivel {

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra,
                   bool useGPU);

}  // namespace tarsivel

#endif
