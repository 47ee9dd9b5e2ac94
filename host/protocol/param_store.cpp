#include "host/protocol/param_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>

#include "host/protocol/entry_types.h"
#include "host/protocol/keyframe_interpolation.h"

namespace tarsivel::host {
namespace {

bool IsDeclarableKind(PF_ParamType kind) {
    switch (kind) {
        case PF_Param_SLIDER:
        case PF_Param_ANGLE:
        case PF_Param_CHECKBOX:
        case PF_Param_COLOR:
        case PF_Param_POINT:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_PATH:
        case PF_Param_GROUP_START:
        case PF_Param_GROUP_END:
            return true;
        default:
            return false;
    }
}

// Checkboxes and the mask choice jump from keyframe to keyframe.
bool AlwaysHolds(PF_ParamType kind) {
    return kind == PF_Param_CHECKBOX || kind == PF_Param_PATH;
}

double Seconds(int32_t time, uint32_t scale) {
    return scale == 0 ? double(time) : double(time) / double(scale);
}

double Ratio(PF_RationalScale r) {
    return r.den == 0 ? 1.0 : double(r.num) / double(r.den);
}

int32_t RoundToInt(double v) {
    const double r = std::round(v);
    const double lo = double(std::numeric_limits<int32_t>::min());
    const double hi = double(std::numeric_limits<int32_t>::max());
    return int32_t(std::clamp(std::isnan(r) ? 0.0 : r, lo, hi));
}

A_u_char RoundToByte(double v) {
    return A_u_char(std::clamp(RoundToInt(v), 0, 255));
}

}  // namespace

bool ToFixed(double value, PF_Fixed& fixed) {
    const double scaled = std::round(value * 65536.0);
    if (!(scaled >= double(std::numeric_limits<int32_t>::min()) &&
          scaled <= double(std::numeric_limits<int32_t>::max()))) {
        return false;
    }
    fixed = PF_Fixed(scaled);
    return true;
}

ParamStore::ParamStore(int32_t layerWidth, int32_t layerHeight)
    : layerWidth_(layerWidth), layerHeight_(layerHeight) {}

PF_Err ParamStore::Declare(PF_ParamIndex position, const PF_ParamDef& def, std::string& problem) {
    std::unique_lock lock(mutex_);
    if (!IsDeclarableKind(def.param_type)) {
        problem = "unknown parameter kind " + std::to_string(def.param_type);
    } else if (std::memchr(def.name, 0, sizeof def.name) == nullptr) {
        problem = "name does not end within its 32 bytes";
    } else if (position < kAppendPosition) {
        problem = "position " + std::to_string(position) + " is not an index";
    } else if (std::any_of(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.def.uu.id == def.uu.id; })) {
        problem = "id " + std::to_string(def.uu.id) + " is used twice";
    }
    if (!problem.empty()) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // Room in both first: a declaration is kept in full or not at all.
    declarations_.reserve(declarations_.size() + 1);
    entries_.reserve(entries_.size() + 1);
    declarations_.push_back(Declaration{position, def});
    entries_.push_back(Entry{def, DefaultOf(def), {}});
    return PF_Err_NONE;
}

PF_ParamIndex ParamStore::IndexOf(const std::string& name) const {
    std::shared_lock lock(mutex_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (name == entries_[i].def.name) {
            return PF_ParamIndex(i) + 1;
        }
    }
    return -1;
}

PF_ParamType ParamStore::KindOf(PF_ParamIndex index) const {
    std::shared_lock lock(mutex_);
    const Entry* entry = Find(index);
    return entry ? entry->def.param_type : PF_Param_RESERVED;
}

const ParamStore::Entry* ParamStore::Find(PF_ParamIndex index) const {
    if (index < 1 || index > PF_ParamIndex(entries_.size())) {
        return nullptr;
    }
    return &entries_[std::size_t(index - 1)];
}

ParamStore::Entry& ParamStore::FindOrThrow(PF_ParamIndex index) {
    const Entry* entry = Find(index);
    if (entry == nullptr) {
        throw std::invalid_argument("no parameter at index " + std::to_string(index));
    }
    return const_cast<Entry&>(*entry);
}

ParamValue ParamStore::DefaultOf(const PF_ParamDef& def) const {
    const PF_ParamDefUnion& u = def.u;
    switch (def.param_type) {
        case PF_Param_POINT: {
            // Point defaults are percentages of the layer's size.
            const double px = double(u.td.x_dephault) / 65536.0;
            const double py = double(u.td.y_dephault) / 65536.0;
            return ParamValue::Point(px * layerWidth_ / 100.0, py * layerHeight_ / 100.0);
        }
        case PF_Param_CHECKBOX:
            return ParamValue::Scalar(u.bd.dephault ? 1.0 : 0.0);
        case PF_Param_SLIDER:
            return ParamValue::Scalar(double(u.sd.dephault));
        case PF_Param_FLOAT_SLIDER:
            return ParamValue::Scalar(double(u.fs_d.dephault));
        case PF_Param_COLOR: {
            const PF_UnionablePixel& p = u.cd.dephault;
            return ParamValue::Color(p.alpha, p.red, p.green, p.blue);
        }
        case PF_Param_ANGLE:
            return ParamValue::Scalar(double(u.ad.dephault) / 65536.0);
        case PF_Param_PATH:
            return ParamValue::Scalar(double(u.path_d.dephault));
        default:
            return ParamValue{};
    }
}

ParamValue ParamStore::Clamp(const PF_ParamDef& def, ParamValue v) const {
    switch (def.param_type) {
        case PF_Param_SLIDER:
            v.c[0] = std::clamp(v.c[0], double(def.u.sd.valid_min), double(def.u.sd.valid_max));
            break;
        case PF_Param_FLOAT_SLIDER:
            v.c[0] = std::clamp(v.c[0], double(def.u.fs_d.valid_min), double(def.u.fs_d.valid_max));
            break;
        case PF_Param_COLOR:
            for (double& c : v.c) {
                c = std::clamp(c, 0.0, 255.0);
            }
            break;
        case PF_Param_CHECKBOX:
            v.c[0] = v.c[0] != 0.0 ? 1.0 : 0.0;
            break;
        default:
            break;
    }
    PF_Fixed unused = 0;
    const bool fixedKind = def.param_type == PF_Param_POINT || def.param_type == PF_Param_ANGLE;
    if (fixedKind && !(ToFixed(v.c[0], unused) && ToFixed(v.c[1], unused))) {
        throw std::invalid_argument(std::string("value of \"") + def.name +
                                    "\" does not fit 16.16 fixed point");
    }
    return v;
}

void ParamStore::SetValue(PF_ParamIndex index, ParamValue value) {
    std::unique_lock lock(mutex_);
    Entry& entry = FindOrThrow(index);
    entry.value = Clamp(entry.def, value);
    entry.keys.clear();
}

void ParamStore::SetKeyframes(PF_ParamIndex index, std::vector<Keyframe> keys) {
    std::unique_lock lock(mutex_);
    Entry& entry = FindOrThrow(index);
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].time <= keys[i - 1].time) {
            throw std::invalid_argument("keyframe times must strictly increase");
        }
    }
    for (Keyframe& key : keys) {
        key.value = Clamp(entry.def, key.value);
    }
    entry.keys = std::move(keys);
}

ParamValue ParamStore::ValueAt(PF_ParamIndex index, int32_t time, uint32_t scale) const {
    std::shared_lock lock(mutex_);
    const Entry* entry = Find(index);
    if (entry == nullptr) {
        return ParamValue{};
    }
    const std::vector<Keyframe>& keys = entry->keys;
    if (keys.empty()) {
        return entry->value;
    }
    const double s = Seconds(time, scale);
    if (s < Seconds(keys.front().time, scale)) {
        return keys.front().value;
    }
    if (s >= Seconds(keys.back().time, scale)) {
        return keys.back().value;
    }
    std::size_t k = 0;
    while (Seconds(keys[k + 1].time, scale) <= s) {
        ++k;
    }
    const double sk = Seconds(keys[k].time, scale);
    if (s == sk || keys[k].hold || AlwaysHolds(entry->def.param_type)) {
        return keys[k].value;
    }
    const double sNext = Seconds(keys[k + 1].time, scale);
    ParamValue v;
    for (std::size_t i = 0; i < v.c.size(); ++i) {
        v.c[i] = InterpolateKeyframes(keys[k].value.c[i], keys[k + 1].value.c[i], s, sk, sNext);
    }
    return v;
}

PF_Err ParamStore::Deliver(PF_ParamIndex index, int32_t time, uint32_t scale, PF_RationalScale dsX,
                           PF_RationalScale dsY, PF_ParamDef* out) const {
    ParamValue v;
    {
        std::shared_lock lock(mutex_);
        const Entry* entry = Find(index);
        if (entry == nullptr) {
            return PF_Err_INVALID_INDEX;
        }
        *out = entry->def;
    }
    v = ValueAt(index, time, scale);
    PF_ParamDefUnion& u = out->u;
    switch (out->param_type) {
        case PF_Param_POINT:
            // Reduced resolution: points arrive in the downsampled layer's pixels.
            if (!ToFixed(v.c[0] * Ratio(dsX), u.td.x_value) ||
                !ToFixed(v.c[1] * Ratio(dsY), u.td.y_value)) {
                return PF_Err_BAD_CALLBACK_PARAM;
            }
            break;
        case PF_Param_ANGLE:
            if (!ToFixed(v.c[0], u.ad.value)) {
                return PF_Err_BAD_CALLBACK_PARAM;
            }
            break;
        case PF_Param_CHECKBOX:
            u.bd.value = RoundToInt(v.c[0]);
            break;
        case PF_Param_SLIDER:
            u.sd.value = RoundToInt(v.c[0]);
            break;
        case PF_Param_FLOAT_SLIDER:
            u.fs_d.value = v.c[0];
            break;
        case PF_Param_COLOR:
            u.cd.value = PF_UnionablePixel{RoundToByte(v.c[0]), RoundToByte(v.c[1]),
                                           RoundToByte(v.c[2]), RoundToByte(v.c[3])};
            break;
        case PF_Param_PATH:
            u.path_d.path_id = PF_PathID(std::max(0, RoundToInt(v.c[0])));
            break;
        default:
            break;
    }
    return PF_Err_NONE;
}

}  // namespace tarsivel::host
