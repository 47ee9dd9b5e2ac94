// Parameter values as the host keeps them, before they are turned into the
// formats a checkout delivers.
#ifndef TARSIVEL_HOST_PROTOCOL_PARAM_VALUE_H
#define TARSIVEL_HOST_PROTOCOL_PARAM_VALUE_H

#include <array>
#include <cstdint>

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

}  // namespace tarsivel::host

#endif
