// Reads parameter values at a host time for the frame driver: each parameter
// is checked out, copied and checked in again at once. After the first failed
// checkout nothing more is checked out; the reader keeps that error.
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

class ParamReader {
  public:
    explicit ParamReader(PF_InData* in_data) : inData_(in_data) {}

    PF_Err Error() const { return err_; }
    bool Ok() const { return err_ == PF_Err_NONE; }

    // Each getter returns 0 (or false) once a checkout has failed.
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
    // way out of its block. Once a checkout has failed (this one or an earlier one), nothing is
    // checked out or in and the reader keeps the first error.
    class CheckedOutParam {
      public:
        CheckedOutParam(ParamReader& reader, ParamIndex index, HostTime at);
        ~CheckedOutParam();
        CheckedOutParam(const CheckedOutParam&) = delete;
        CheckedOutParam& operator=(const CheckedOutParam&) = delete;

        bool Ok() const { return ok_; }
        const PF_ParamDef& Def() const { return def_; }

      private:
        PF_InData* inData_;
        PF_ParamDef def_;
        bool ok_ = false;
    };

    // Checks out, copies the value with `copy`, checks in; `fallback` once failed.
    template <class T, class Copy>
    T Read(ParamIndex index, HostTime at, T fallback, Copy copy) {
        const CheckedOutParam param(*this, index, at);
        if (!param.Ok()) {
            return fallback;
        }
        return copy(param.Def());
    }

    PF_InData* inData_;
    PF_Err err_ = PF_Err_NONE;
};

// Host fixed point (16.16) as a double.
inline double FixedToDouble(PF_Fixed v) {
    return double(v) * 0.0000152587890625;
}

}  // namespace tarsivel

#endif
