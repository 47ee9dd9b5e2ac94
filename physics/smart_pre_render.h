// Smart pre-render: rebuilds the rope, runs the pre-roll, replays every frame
// from layer time 0 to the requested time with parameters and masks sampled
// per frame, and hands the resulting render record to the host.
#ifndef TARSIVEL_PHYSICS_SMART_PRE_RENDER_H
#define TARSIVEL_PHYSICS_SMART_PRE_RENDER_H

#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_smart_render.h"

namespace tarsivel {

// Returns the host's error code; a path suite the host cannot supply is thrown
// as A_Err_MISSING_SUITE for the dispatcher, with nothing handed over.
PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);

}  // namespace tarsivel

#endif
