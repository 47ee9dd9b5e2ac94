#include "physics/frame_timing.h"

namespace tarsivel {

FrameTiming ComputeFrameTiming(A_long localTimeStep, A_u_long timeScale) {
    if (timeScale != 0 && localTimeStep > 0) {
        return {1.0 / (double(timeScale) / double(localTimeStep)), localTimeStep};
    }
    const A_long step = localTimeStep > 0 ? localTimeStep : A_long(timeScale / 30u);
    return {1.0 / 30.0, step};
}

double ReplayTime(int64_t t, const FrameTiming& timing, A_u_long timeScale) {
    if (timeScale != 0) {
        return double(t) / double(timeScale);
    }
    if (timing.frameStep <= 0) {
        return 0.0;
    }
    return (double(t) / double(timing.frameStep)) * timing.frameDuration;
}

}  // namespace tarsivel
