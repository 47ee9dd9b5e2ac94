// Reads parameter values at a host time for the frame driver: each parameter
// is checked out, copied and checked in again at once. A checkout the host
// refuses is thrown as the host's PF_Err, with nothing left checked out.
#ifndef TARSIVEL_PHYSICS_DRIVER_PARAM_READER_H
#define TARSIVEL_PHYSICS_DRIVER_PARAM_READER_H

#include <cstdint>

#include "param_index.h"
#include "pf_api.h"
#include "vec2.h"

namespace tarsivel {

struct HostTime {
    A_long time;
    A_long step;
    A_u_long scale;
};

// Every getter throws the host's PF_Err when the checkout is refused, and
// PF_Err_BAD_CALLBACK_PARAM when the host has no checkout or check-in callback.
class ParamReader {
  public:
    explicit ParamReader(PF_InData* in_data) : inData_(in_data) {}

    double Float(ParamIndex index, HostTime at);
    // The slider's value as a double, clamped, then truncated.
    int32_t Integer(ParamIndex index, HostTime at, int32_t lo, int32_t hi);
    bool Checkbox(ParamIndex index, HostTime at);
    // 16.16 layer coordinates as doubles, untouched by downsampling or origin.
    Vec2 Point(ParamIndex index, HostTime at);
    double AngleDegrees(ParamIndex index, HostTime at);
    PF_Pixel Color(ParamIndex index, HostTime at);
    PF_PathID Path(ParamIndex index, HostTime at);

  private:
    // One parameter, checked out for as long as the object lives and checked in again on every
    // way out of its block. A refused checkout throws, and there is nothing to check in.
    class CheckedOutParam {
      public:
        CheckedOutParam(PF_InData* in_data, ParamIndex index, HostTime at);
        ~CheckedOutParam();
        CheckedOutParam(const CheckedOutParam&) = delete;
        CheckedOutParam& operator=(const CheckedOutParam&) = delete;

        const PF_ParamDef& Def() const { return def_; }

      private:
        PF_InData* inData_;
        PF_ParamDef def_;
    };

    // Checks out, copies the value with `copy`, checks in.
    template <class Copy>
    auto Read(ParamIndex index, HostTime at, Copy copy) {
        const CheckedOutParam param(inData_, index, at);
        return copy(param.Def());
    }

    PF_InData* inData_;
};

// Host fixed point (16.16) as a double.
inline double FixedToDouble(PF_Fixed v) {
    return double(v) * 0.0000152587890625;
}

}  // namespace tarsivel

#endif
