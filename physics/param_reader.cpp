#include "physics/param_reader.h"

#include <algorithm>
#include <cstring>

namespace tarsivel {

bool ParamReader::Checkout(ParamIndex index, HostTime at, PF_ParamDef& def) {
    if (err_ != PF_Err_NONE) {
        return false;
    }
    if (inData_->inter.checkout_param == nullptr || inData_->inter.checkin_param == nullptr) {
        err_ = PF_Err_BAD_CALLBACK_PARAM;
        return false;
    }
    std::memset(&def, 0, sizeof def);
    err_ = PF_CHECKOUT_PARAM(inData_, index, at.time, at.step, at.scale, &def);
    return err_ == PF_Err_NONE;
}

// The value has been copied by now; a failed check-in changes nothing for the
// simulation, so its result is not looked at.
void ParamReader::Checkin(PF_ParamDef& def) {
    PF_CHECKIN_PARAM(inData_, &def);
}

double ParamReader::Float(ParamIndex index, HostTime at) {
    return Read(index, at, 0.0, [](const PF_ParamDef& d) { return d.u.fs_d.value; });
}

int32_t ParamReader::Integer(ParamIndex index, HostTime at, int32_t lo, int32_t hi) {
    return Read(index, at, int32_t(0), [&](const PF_ParamDef& d) {
        return int32_t(std::clamp(double(d.u.sd.value), double(lo), double(hi)));
    });
}

bool ParamReader::Checkbox(ParamIndex index, HostTime at) {
    return Read(index, at, false, [](const PF_ParamDef& d) { return d.u.bd.value != 0; });
}

Vec2 ParamReader::Point(ParamIndex index, HostTime at) {
    return Read(index, at, Vec2{0.0, 0.0}, [](const PF_ParamDef& d) {
        return Vec2{FixedToDouble(d.u.td.x_value), FixedToDouble(d.u.td.y_value)};
    });
}

double ParamReader::AngleDegrees(ParamIndex index, HostTime at) {
    return Read(index, at, 0.0, [](const PF_ParamDef& d) { return FixedToDouble(d.u.ad.value); });
}

PF_Pixel ParamReader::Color(ParamIndex index, HostTime at) {
    return Read(index, at, PF_Pixel{0, 0, 0, 0}, [](const PF_ParamDef& d) { return d.u.cd.value; });
}

PF_PathID ParamReader::Path(ParamIndex index, HostTime at) {
    return Read(index, at, PF_PathID(0), [](const PF_ParamDef& d) { return d.u.path_d.path_id; });
}

}  // namespace tarsivel
