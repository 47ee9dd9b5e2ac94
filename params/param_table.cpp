#include "param_table.h"

namespace tarsivel {
namespace {

constexpr PF_UnionablePixel kWhite{255, 255, 255, 255};

constexpr ParamRow Group(ParamIndex index, const char* name) {
    return {index, PF_Param_GROUP_START, name, 0, 0, 0, 0, 0, 0, 0, 0, {}};
}
constexpr ParamRow GroupEnd(ParamIndex index) {
    return {index, PF_Param_GROUP_END, "", 0, 0, 0, 0, 0, 0, 0, 0, {}};
}
constexpr ParamRow Point(ParamIndex index, const char* name, double xPercent, double yPercent) {
    return {index, PF_Param_POINT, name, 0, 0, 0, 0, 0, 0, xPercent, yPercent, {}};
}
constexpr ParamRow Checkbox(ParamIndex index, const char* name, bool on) {
    return {index, PF_Param_CHECKBOX, name, on ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0, 0, {}};
}
constexpr ParamRow Slider(ParamIndex index, const char* name, int dflt, int lo, int hi) {
    return {index,      PF_Param_SLIDER,
            name,       double(dflt),
            double(lo), double(hi),
            double(lo), double(hi),
            0,          0,
            0,          {}};
}
constexpr ParamRow FloatSlider(ParamIndex index, const char* name, double dflt, double validLo,
                               double validHi, double sliderLo, double sliderHi,
                               A_short precision) {
    return {index,     PF_Param_FLOAT_SLIDER,
            name,      dflt,
            validLo,   validHi,
            sliderLo,  sliderHi,
            precision, 0,
            0,         {}};
}
constexpr ParamRow Color(ParamIndex index, const char* name, PF_UnionablePixel dflt) {
    return {index, PF_Param_COLOR, name, 0, 0, 0, 0, 0, 0, 0, 0, dflt};
}
constexpr ParamRow Angle(ParamIndex index, const char* name) {
    return {index, PF_Param_ANGLE, name, 0, 0, 0, 0, 0, 0, 0, 0, {}};
}
constexpr ParamRow Path(ParamIndex index, const char* name) {
    return {index, PF_Param_PATH, name, 0, 0, 0, 0, 0, 0, 0, 0, {}};
}

constexpr std::array<ParamRow, kDeclaredParamCount> kTable{{
    Point(kParamPointA, "Point A", 33.0, 50.0),
    Point(kParamPointB, "Point B", 66.0, 50.0),
    Checkbox(kParamPointAAttachment, "Point A Attachment", true),
    Checkbox(kParamPointBAttachment, "Point B Attachment", true),
    Group(kParamPhysicsGroup, "Physics"),
    Slider(kParamSegments, "Segments", 16, 2, 1024),
    FloatSlider(kParamRopeLength, "Rope Length", 630.0, 10, 5000, 10, 5000, 1),
    FloatSlider(kParamGravity, "Gravity", 500.0, -1000, 1000, -1000, 1000, 1),
    FloatSlider(kParamElasticity, "Elasticity", 0.1, 0, 1, 0, 1, 2),
    FloatSlider(kParamDamping, "Damping", 1.0, 0, 100, 0, 100, 2),
    Slider(kParamSubsteps, "Substeps", 8, 1, 256),
    Slider(kParamPreRollFrames, "Pre-roll Frames", 0, 0, 300),
    Checkbox(kParamEnableSelfCollision, "Enable Self-Collision", false),
    GroupEnd(kParamPhysicsGroupEnd),
    Group(kParamAppearanceGroup, "Appearance"),
    FloatSlider(kParamThicknessStart, "Thickness Start", 7.5, 0.5, 50, 0.5, 50, 1),
    FloatSlider(kParamThicknessEnd, "Thickness End", 7.5, 0.5, 50, 0.5, 50, 1),
    Color(kParamRopeColor, "Rope Color", kWhite),
    Checkbox(kParamDisplaySegmentNodes, "Display Segment Nodes", false),
    Checkbox(kParamCompositeOnOriginal, "Composite On Original", false),
    GroupEnd(kParamAppearanceGroupEnd),
    Group(kParamCollisionGroup, "Collision Options"),
    Path(kParamCollisionMask, "Collision Mask"),
    Checkbox(kParamUseAllMasks, "Use All Masks", false),
    FloatSlider(kParamColliderStaticFriction, "Collider Static Friction", 0, 0, 10, 0, 1, 2),
    FloatSlider(kParamColliderKineticFriction, "Collider Kinetic Friction", 0, 0, 1, 0, 1, 2),
    FloatSlider(kParamColliderBounce, "Collider Bounce", 0, 0, 1, 0, 1, 2),
    FloatSlider(kParamColliderStick, "Collider Stick", 0, 0, 10, 0, 1, 2),
    GroupEnd(kParamCollisionGroupEnd),
    Group(kParamWindGroup, "Wind Options"),
    FloatSlider(kParamWindIntensity, "Wind Intensity", 0, 0, 1000, 0, 1000, 1),
    Angle(kParamWindDirection, "Wind Direction"),
    FloatSlider(kParamTurbulenceAmount, "Turbulence Amount", 0, 0, 1000, 0, 1000, 1),
    FloatSlider(kParamTurbulenceFrequency, "Turbulence Frequency", 1.0, 0, 10, 0, 10, 2),
    GroupEnd(kParamWindGroupEnd),
    Group(kParamTearingGroup, "Tearing Options"),
    Checkbox(kParamTearing, "Tearing", false),
    FloatSlider(kParamTearThreshold, "Tear Threshold %", 100.0, 0, 1000, 0, 100, 1),
    GroupEnd(kParamTearingGroupEnd),
}};

// The declaration loop relies on rows standing at their own index.
constexpr bool RowsAreInIndexOrder() {
    for (int i = 0; i < kDeclaredParamCount; ++i) {
        if (kTable[i].index != i + 1) {
            return false;
        }
    }
    return true;
}
static_assert(RowsAreInIndexOrder());

}  // namespace

const std::array<ParamRow, kDeclaredParamCount>& ParamTable() {
    return kTable;
}

}  // namespace tarsivel
