// Draws one frame of the rope into the output world on the CPU, for 8-bit,
// 16-bit (full value 32768) and 32-bit float ARGB worlds.
#ifndef TARSIVEL_RENDER_RENDER_ROPE_CPU_H
#define TARSIVEL_RENDER_RENDER_ROPE_CPU_H

#include "pf_api.h"
#include "rope_render_data.h"

namespace tarsivel {

// Prepares the output (the input copied through "PF World Transform Suite"
// when "Composite On Original" is on, else transparent black), then draws the
// pieces through a coverage map and the node markers when "Display Segment
// Nodes" is on. The output world is taken to have `pixelFormat`.
//
// Returns 0; the host's copy error (nothing drawn); PF_Err_OUT_OF_MEMORY when
// the coverage map cannot be allocated (the prepared output stays); or
// PF_Err_BAD_CALLBACK_PARAM for a format it cannot draw (the prepared output
// stays) or an output world that is missing or has no pixel buffer. Throws A_Err_MISSING_SUITE,
// after asking the host to show the message, when the transform suite is missing.
PF_Err RenderRopeCPU(PF_InData* in_data, PF_OutData* out_data, PF_PixelFormat pixelFormat,
                     PF_EffectWorld* inputWorld, PF_EffectWorld* outputWorld,
                     PF_SmartRenderExtra* extra, const RopeRenderData& renderData);

}  // namespace tarsivel

#endif
