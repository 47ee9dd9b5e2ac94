// The one formula by which this host interpolates between two keyframes, for
// parameter values and mask vertices alike. It is evaluated left to right,
//   v_k + (v_k+1 - v_k) * (s - s_k) / (s_k+1 - s_k),
// so the product comes before the division; grouping the fraction first gives
// a different last bit for some times, and records must not depend on which
// kind of keyframe moved a value.
#ifndef TARSIVEL_HOST_PROTOCOL_KEYFRAME_INTERPOLATION_H
#define TARSIVEL_HOST_PROTOCOL_KEYFRAME_INTERPOLATION_H

namespace tarsivel::host {

// `s` in seconds, between the keyframes at `sk` and `sNext` (sk < sNext).
inline double InterpolateKeyframes(double vk, double vNext, double s, double sk, double sNext) {
    return vk + (vNext - vk) * (s - sk) / (sNext - sk);
}

}  // namespace tarsivel::host

#endif
