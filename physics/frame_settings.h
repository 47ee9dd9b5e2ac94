// The parameters the frame driver reads: once per call at the requested time
// (resolution, pre-roll, look, mask choice), and for every simulated frame at
// that frame's time (everything that shapes the motion).
#ifndef TARSIVEL_PHYSICS_FRAME_SETTINGS_H
#define TARSIVEL_PHYSICS_FRAME_SETTINGS_H

#include <cstdint>

#include "physics/param_reader.h"
#include "physics/rope_render_data.h"
#include "physics/rope_step_settings.h"

namespace tarsivel {

struct CallSettings {
    int32_t segmentCount = 0;
    int32_t substeps = 0;
    int32_t preRollCount = 0;
    PF_PathID maskId = 0;
    bool useAllMasks = false;

    bool MasksSelected() const { return maskId != 0 || useAllMasks; }
};

// Reads the call settings in the host's order and fills the record's scalar
// fields (thicknesses scaled by ds in single precision, colour bytes / 255).
CallSettings ReadCallSettings(ParamReader& reader, HostTime at, float ds, RopeRenderData& record);

// Reads the motion parameters of one frame in the host's order into the step
// settings: anchors, attachments, lengths and accelerations scaled by ds, the
// turbulence frequency divided by it. "Damping" is returned as read.
double ReadFrameSettings(ParamReader& reader, HostTime at, float ds, RopeStepSettings& step);

}  // namespace tarsivel

#endif
