// How long one replayed frame is, in seconds and in host time units.
#ifndef TARSIVEL_PHYSICS_FRAME_TIMING_H
#define TARSIVEL_PHYSICS_FRAME_TIMING_H

#include <cstdint>

#include "hostapi/pf_types.h"

namespace tarsivel {

struct FrameTiming {
    double frameDuration;  // seconds
    A_long frameStep;      // host time units between two replayed frames; 0 replays t = 0 only
};

// From the layer's own time step when the host gives one, else 30 frames per second.
FrameTiming ComputeFrameTiming(A_long localTimeStep, A_u_long timeScale);

// The time in seconds of the replayed frame at host time t. Without a time
// scale, frames are counted in steps instead of dividing by zero.
double ReplayTime(int64_t t, const FrameTiming& timing, A_u_long timeScale);

}  // namespace tarsivel

#endif
