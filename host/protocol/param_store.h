// The effect instance's parameters: what the plug-in declared, and each
// entry's value, static or keyframed, delivered in the host's formats.
#ifndef TARSIVEL_HOST_PROTOCOL_PARAM_STORE_H
#define TARSIVEL_HOST_PROTOCOL_PARAM_STORE_H

#include <array>
#include <cstdint>
#include <shared_mutex>
#include <string>
#include <vector>

#include "hostapi/pf_param_def.h"
#include "hostapi/pf_types.h"

namespace tarsivel::host {

// Up to four components, by kind: point x, y in layer pixels at full
// resolution; checkbox 0 or 1; slider and float slider the value; colour
// alpha, red, green, blue in 0..255; angle in degrees; path the mask's id.
struct ParamValue {
    std::array<double, 4> c{};

    static ParamValue Scalar(double v) { return ParamValue{{v, 0, 0, 0}}; }
    static ParamValue Point(double x, double y) { return ParamValue{{x, y, 0, 0}}; }
    static ParamValue Color(double a, double r, double g, double b) {
        return ParamValue{{a, r, g, b}};
    }
    bool operator==(const ParamValue&) const = default;
};

// A keyframe at a time in host units; a holding keyframe keeps its value until
// the next one.
struct Keyframe {
    int32_t time = 0;
    ParamValue value;
    bool hold = false;
};

struct Declaration {
    PF_ParamIndex position;  // the position argument given to add_param
    PF_ParamDef def;         // the definition as handed over
};

class ParamStore {
  public:
    ParamStore(int32_t layerWidth, int32_t layerHeight);

    // Checks a definition and appends it. Returns 0, or PF_Err_BAD_CALLBACK_PARAM
    // with the reason in `problem` when it is malformed.
    PF_Err Declare(PF_ParamIndex position, const PF_ParamDef& def, std::string& problem);

    const std::vector<Declaration>& Declarations() const { return declarations_; }
    // Parameters including the input layer at index 0.
    int32_t Count() const { return int32_t(entries_.size()) + 1; }
    // Index of the declared parameter with this display name; -1 when none.
    PF_ParamIndex IndexOf(const std::string& name) const;
    PF_ParamType KindOf(PF_ParamIndex index) const;

    // Setting values: clamped to the declared valid range; throws
    // std::invalid_argument for an unknown index, a value that does not fit
    // 16.16, or keyframe times that do not strictly increase.
    void SetValue(PF_ParamIndex index, ParamValue value);
    void SetKeyframes(PF_ParamIndex index, std::vector<Keyframe> keys);

    // The value at host time `time` over `scale`, interpolated per component.
    ParamValue ValueAt(PF_ParamIndex index, int32_t time, uint32_t scale) const;

    // Fills `out` as checkout_param delivers it: the declaration with its value
    // at that time, points scaled by the downsample factors and in 16.16.
    PF_Err Deliver(PF_ParamIndex index, int32_t time, uint32_t scale, PF_RationalScale dsX,
                   PF_RationalScale dsY, PF_ParamDef* out) const;

  private:
    struct Entry {
        PF_ParamDef def;
        ParamValue value;            // used when there are no keyframes
        std::vector<Keyframe> keys;  // strictly increasing times
    };

    const Entry* Find(PF_ParamIndex index) const;
    Entry& FindOrThrow(PF_ParamIndex index);
    ParamValue DefaultOf(const PF_ParamDef& def) const;
    ParamValue Clamp(const PF_ParamDef& def, ParamValue value) const;

    int32_t layerWidth_;
    int32_t layerHeight_;
    mutable std::shared_mutex mutex_;
    std::vector<Declaration> declarations_;
    std::vector<Entry> entries_;  // entries_[i] is parameter index i + 1
};

// Round to nearest, halves away from zero, into 16.16; false when it does not fit.
bool ToFixed(double value, PF_Fixed& fixed);

}  // namespace tarsivel::host

#endif
