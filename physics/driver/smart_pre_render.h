// Smart pre-render: rebuilds the rope, runs the pre-roll, replays every frame
// from layer time 0 to the requested time with parameters and masks sampled
// per frame, and hands the resulting render record to the host.
#ifndef TARSIVEL_PHYSICS_DRIVER_SMART_PRE_RENDER_H
#define TARSIVEL_PHYSICS_DRIVER_SMART_PRE_RENDER_H

#include "param_reader.h"
#include "pf_api.h"
#include "rope_step_settings.h"

namespace tarsivel {

// Returns 0, or the code of a parameter checkout the host refused, with the
// record handed over all the same. Throws, for the dispatcher: A_Err_MISSING_SUITE
// for a path suite the host cannot supply and std::bad_alloc, both with nothing
// handed over; the host's code when it refuses the input layer, after the hand-over.
PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);

// A rectangle is empty unless left < right and top < bottom.
bool IsEmptyRect(const PF_LRect& r);

// Grows `target` to hold `source`: an empty target becomes a copy of the source
// (even an empty one); an empty source leaves a non-empty target alone.
void UniteRect(const PF_LRect& source, PF_LRect& target);

// Reads the motion parameters of one frame in the host's order into the step
// settings: anchors, attachments, lengths and accelerations scaled by ds, the
// turbulence frequency divided by it. "Damping" is returned as read. A refused
// checkout is thrown by the reader, with `step` filled only up to it.
double ReadFrameSettings(ParamReader& reader, HostTime at, float ds, RopeStepSettings& step);

}  // namespace tarsivel

#endif
