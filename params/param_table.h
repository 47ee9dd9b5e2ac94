// The effect's parameter list as data: one row per declared entry, in index
// order. Parameter set-up turns each row into a host definition.
#ifndef TARSIVEL_PARAMS_PARAM_TABLE_H
#define TARSIVEL_PARAMS_PARAM_TABLE_H

#include <array>

#include "param_index.h"
#include "pf_api.h"

namespace tarsivel {

struct ParamRow {
    ParamIndex index;
    PF_ParamType kind;
    const char* name;  // empty for group ends
    // Checkbox (0 or 1), integer and float sliders; for points, the default's
    // x and y in percent of the layer's size are in pointX and pointY.
    double dflt;
    double validMin;
    double validMax;
    double sliderMin;
    double sliderMax;
    A_short precision;
    double pointX;
    double pointY;
    PF_UnionablePixel color;
};

inline constexpr int kDeclaredParamCount = kParamCount - 1;

const std::array<ParamRow, kDeclaredParamCount>& ParamTable();

}  // namespace tarsivel

#endif
