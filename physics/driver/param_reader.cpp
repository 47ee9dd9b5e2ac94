#include "param_reader.h"

#include <algorithm>
#include <cstring>

namespace tarsivel {

ParamReader::CheckedOutParam::CheckedOutParam(PF_InData* in_data, ParamIndex index, HostTime at)
    : inData_(in_data) {
    if (inData_->inter.checkout_param == nullptr || inData_->inter.checkin_param == nullptr) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    std::memset(&def_, 0, sizeof def_);
    if (const PF_Err err = PF_CHECKOUT_PARAM(inData_, index, at.time, at.step, at.scale, &def_)) {
        throw err;
    }
}

// The value has been copied by now; a failed check-in changes nothing for the
// simulation, so its result is not looked at.
ParamReader::CheckedOutParam::~CheckedOutParam() {
    PF_CHECKIN_PARAM(inData_, &def_);
}

double ParamReader::Float(ParamIndex index, HostTime at) {
    return Read(index, at, [](const PF_ParamDef& d) { return d.u.fs_d.value; });
}

int32_t ParamReader::Integer(ParamIndex index, HostTime at, int32_t lo, int32_t hi) {
    return Read(index, at, [&](const PF_ParamDef& d) {
        return int32_t(std::clamp(double(d.u.sd.value), double(lo), double(hi)));
    });
}

bool ParamReader::Checkbox(ParamIndex index, HostTime at) {
    return Read(index, at, [](const PF_ParamDef& d) { return d.u.bd.value != 0; });
}

Vec2 ParamReader::Point(ParamIndex index, HostTime at) {
    return Read(index, at, [](const PF_ParamDef& d) {
        return Vec2{FixedToDouble(d.u.td.x_value), FixedToDouble(d.u.td.y_value)};
    });
}

double ParamReader::AngleDegrees(ParamIndex index, HostTime at) {
    return Read(index, at, [](const PF_ParamDef& d) { return FixedToDouble(d.u.ad.value); });
}

PF_Pixel ParamReader::Color(ParamIndex index, HostTime at) {
    // A colour parameter holds its value as the API's unionable pixel; the
    // channels are the same four bytes in the same order.
    return Read(index, at, [](const PF_ParamDef& d) {
        const PF_UnionablePixel& c = d.u.cd.value;
        return PF_Pixel{c.alpha, c.red, c.green, c.blue};
    });
}

PF_PathID ParamReader::Path(ParamIndex index, HostTime at) {
    return Read(index, at, [](const PF_ParamDef& d) { return d.u.path_d.path_id; });
}

}  // namespace tarsivel
