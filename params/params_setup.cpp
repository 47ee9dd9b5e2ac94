#include "params_setup.h"

#include <cmath>
#include <cstring>

#include "param_table.h"

namespace tarsivel {
namespace {

PF_Fixed PercentToFixed(double percent) {
    return PF_Fixed(std::lround(percent * 65536.0));
}

void FillPoint(const ParamRow& row, PF_PointDef& point) {
    point.x_value = point.x_dephault = PercentToFixed(row.pointX);
    point.y_value = point.y_dephault = PercentToFixed(row.pointY);
}

void FillCheckbox(const ParamRow& row, PF_CheckBoxDef& box) {
    box.value = PF_ParamValue(row.dflt);
    box.dephault = PF_Boolean(row.dflt != 0.0);
    box.u.nameptr = "";
}

void FillSlider(const ParamRow& row, PF_SliderDef& slider) {
    slider.value = slider.dephault = PF_ParamValue(row.dflt);
    slider.valid_min = PF_ParamValue(row.validMin);
    slider.valid_max = PF_ParamValue(row.validMax);
    slider.slider_min = PF_ParamValue(row.sliderMin);
    slider.slider_max = PF_ParamValue(row.sliderMax);
}

void FillFloatSlider(const ParamRow& row, PF_FloatSliderDef& slider) {
    // The host keeps the default in single precision; the value starts as that
    // same float widened, so both agree bit for bit (0.1 becomes 0.100000001490116).
    slider.dephault = float(row.dflt);
    slider.value = double(slider.dephault);
    slider.valid_min = float(row.validMin);
    slider.valid_max = float(row.validMax);
    slider.slider_min = float(row.sliderMin);
    slider.slider_max = float(row.sliderMax);
    slider.precision = row.precision;
    slider.curve_tolerance = 0.05f;
}

void FillColor(const ParamRow& row, PF_ColorDef& color) {
    color.value = color.dephault = row.color;
}

void FillKindFields(const ParamRow& row, PF_ParamDef& def) {
    switch (row.kind) {
        case PF_Param_POINT:
            FillPoint(row, def.u.td);
            break;
        case PF_Param_CHECKBOX:
            FillCheckbox(row, def.u.bd);
            break;
        case PF_Param_SLIDER:
            FillSlider(row, def.u.sd);
            break;
        case PF_Param_FLOAT_SLIDER:
            FillFloatSlider(row, def.u.fs_d);
            break;
        case PF_Param_COLOR:
            FillColor(row, def.u.cd);
            break;
        default:
            break;  // angle and path default to 0; groups carry no value
    }
}

// Groups, the path and the angle are placed at their own index and the host's
// answer is not looked at; every other entry is appended and must be accepted.
bool IsPlacedAtOwnIndex(PF_ParamType kind) {
    return kind == PF_Param_GROUP_START || kind == PF_Param_GROUP_END || kind == PF_Param_PATH ||
           kind == PF_Param_ANGLE;
}

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data) {
    if (in_data == nullptr || out_data == nullptr || in_data->utils == nullptr ||
        in_data->utils->ansi.strcpy == nullptr || in_data->inter.add_param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_ParamDef def;
    for (const ParamRow& row : ParamTable()) {
        std::memset(&def, 0, sizeof def);
        def.param_type = row.kind;
        if (row.kind != PF_Param_GROUP_END) {
            in_data->utils->ansi.strcpy(def.name, row.name);
        }
        FillKindFields(row, def);
        def.uu.id = row.index;
        if (IsPlacedAtOwnIndex(row.kind)) {
            PF_ADD_PARAM(in_data, row.index, &def);
        } else if (PF_Err err = PF_ADD_PARAM(in_data, kAppendParam, &def); err != PF_Err_NONE) {
            return err;
        }
    }
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}

}  // namespace tarsivel
