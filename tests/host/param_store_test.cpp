#include "host/protocol/param_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

#include "host_test_support.h"

namespace tarsivel::host {
namespace {

using testing::Declare;
using testing::Definition;

class ParamStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PF_ParamDef slider = Definition(PF_Param_FLOAT_SLIDER, "Float", 1);
        slider.u.fs_d.valid_min = -10.0f;
        slider.u.fs_d.valid_max = 10.0f;
        PF_ParamDef integer = Definition(PF_Param_SLIDER, "Integer", 2);
        integer.u.sd.valid_min = 0;
        integer.u.sd.valid_max = 100;
        for (const PF_ParamDef& def :
             {slider, integer, Definition(PF_Param_POINT, "Point", 3),
              Definition(PF_Param_CHECKBOX, "Box", 4), Definition(PF_Param_COLOR, "Color", 5),
              Definition(PF_Param_ANGLE, "Angle", 6), Definition(PF_Param_PATH, "Path", 7)}) {
            ASSERT_EQ(Declare(instance, def).err, PF_Err_NONE);
        }
    }
    PF_ParamDef Deliver(PF_ParamIndex index, int32_t time, uint32_t scale = 30,
                        PF_RationalScale ds = {1, 1}) {
        PF_ParamDef def{};
        EXPECT_EQ(store().Deliver(index, time, scale, ds, ds, &def), PF_Err_NONE);
        return def;
    }
    ParamStore& store() { return instance.Params(); }
    EffectInstance instance{nullptr, 1920, 1080};
};

TEST_F(ParamStoreTest, InterpolatesLinearlyBetweenKeyframesAndHoldsOutside) {
    store().SetKeyframes(1, {{30, ParamValue::Scalar(2.0)}, {90, ParamValue::Scalar(8.0)}});
    EXPECT_EQ(Deliver(1, 0).u.fs_d.value, 2.0);    // before the first
    EXPECT_EQ(Deliver(1, 30).u.fs_d.value, 2.0);   // at a keyframe
    EXPECT_EQ(Deliver(1, 45).u.fs_d.value, 3.5);   // a quarter of the way
    EXPECT_EQ(Deliver(1, 90).u.fs_d.value, 8.0);   // at the last
    EXPECT_EQ(Deliver(1, 900).u.fs_d.value, 8.0);  // after it
}

TEST_F(ParamStoreTest, HoldingKeyframesCheckboxesAndPathsJump) {
    store().SetKeyframes(1, {{0, ParamValue::Scalar(1.0), true}, {30, ParamValue::Scalar(5.0)}});
    EXPECT_EQ(Deliver(1, 29).u.fs_d.value, 1.0);
    EXPECT_EQ(Deliver(1, 30).u.fs_d.value, 5.0);
    store().SetKeyframes(4, {{0, ParamValue::Scalar(0)}, {30, ParamValue::Scalar(1)}});
    EXPECT_EQ(Deliver(4, 29).u.bd.value, 0);
    EXPECT_EQ(Deliver(4, 30).u.bd.value, 1);
    store().SetKeyframes(7, {{0, ParamValue::Scalar(3)}, {30, ParamValue::Scalar(9)}});
    EXPECT_EQ(Deliver(7, 20).u.path_d.path_id, 3u);
}

TEST_F(ParamStoreTest, ValuesAreClampedWhenSetAndInterpolatedBetweenClampedValues) {
    store().SetKeyframes(1, {{0, ParamValue::Scalar(-50.0)}, {30, ParamValue::Scalar(50.0)}});
    EXPECT_EQ(Deliver(1, 0).u.fs_d.value, -10.0);
    EXPECT_EQ(Deliver(1, 15).u.fs_d.value, 0.0);
    store().SetValue(2, ParamValue::Scalar(1000));
    EXPECT_EQ(Deliver(2, 0).u.sd.value, 100);
    store().SetValue(5, ParamValue::Color(300, -5, 127.5, 10));
    const PF_UnionablePixel c = Deliver(5, 0).u.cd.value;
    EXPECT_EQ(c.alpha, 255);
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.green, 128);  // halves round away from zero
    EXPECT_EQ(c.blue, 10);
}

TEST_F(ParamStoreTest, IntegerSlidersRoundToNearestWithHalvesAwayFromZero) {
    store().SetKeyframes(2, {{0, ParamValue::Scalar(2)}, {30, ParamValue::Scalar(3)}});
    EXPECT_EQ(Deliver(2, 14).u.sd.value, 2);  // 2.4666...
    EXPECT_EQ(Deliver(2, 15).u.sd.value, 3);  // 2.5
}

TEST_F(ParamStoreTest, PointsAreScaledByTheDownsampleFactorThenRoundedTo16_16) {
    store().SetValue(3, ParamValue::Point(633.6, -0.3));
    const PF_PointDef full = Deliver(3, 0).u.td;
    EXPECT_EQ(full.x_value, PF_Fixed(std::lround(633.6 * 65536.0)));
    EXPECT_EQ(full.y_value, PF_Fixed(std::lround(-0.3 * 65536.0)));
    const PF_PointDef half = Deliver(3, 0, 30, {1, 2}).u.td;
    EXPECT_EQ(half.x_value, PF_Fixed(std::lround(633.6 * 0.5 * 65536.0)));
    store().SetValue(6, ParamValue::Scalar(90.00000762939453125));  // 90 + 2^-17: a half
    EXPECT_EQ(Deliver(6, 0).u.ad.value, 90 * 65536 + 1);
}

TEST_F(ParamStoreTest, RefusesValuesThatDoNotFitAndKeyframesOutOfOrder) {
    EXPECT_THROW(store().SetValue(3, ParamValue::Point(40000.0, 0)), std::invalid_argument);
    EXPECT_THROW(store().SetValue(6, ParamValue::Scalar(-33000.0)), std::invalid_argument);
    EXPECT_THROW(store().SetKeyframes(1, {{30, ParamValue{}}, {30, ParamValue{}}}),
                 std::invalid_argument);
    EXPECT_THROW(store().SetValue(99, ParamValue{}), std::invalid_argument);
    PF_ParamDef def{};
    EXPECT_EQ(store().Deliver(0, 0, 30, {1, 1}, {1, 1}, &def), PF_Err_INVALID_INDEX);
}

TEST_F(ParamStoreTest, AddParamRefusesMalformedDefinitionsAndReportsTheMisuse) {
    PF_ParamDef unterminated = Definition(PF_Param_SLIDER, "", 40);
    std::memset(unterminated.name, 'x', sizeof unterminated.name);
    PF_ParamDef duplicate = Definition(PF_Param_SLIDER, "Again", 1);
    PF_ParamDef unknownKind = Definition(77, "Odd", 41);
    for (const PF_ParamDef& bad : {unterminated, duplicate, unknownKind}) {
        const CommandResult result = Declare(instance, bad);
        EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_FALSE(result.Balanced());
    }
    EXPECT_EQ(store().Count(), 8);
}

// Parameters and masks interpolate by one formula, the product before the
// division: at 1 s and 2 s between keyframes 0 (at 0 s) and 10 (at 3 s) the
// values are 10/3 and 20/3 rounded once, 3.3333333333333335 and
// 6.666666666666667. Taking the fraction first (1/3 and 2/3 rounded, then
// times 10) would give 3.333333333333333 and 6.666666666666666.
TEST_F(ParamStoreTest, ParametersAndMasksShareTheKeyframeFormula) {
    store().SetKeyframes(1, {{0, ParamValue::Scalar(0.0)}, {90, ParamValue::Scalar(10.0)}});
    EXPECT_EQ(store().ValueAt(1, 30, 30).c[0], 3.3333333333333335);
    EXPECT_EQ(store().ValueAt(1, 60, 30).c[0], 6.666666666666667);

    const PF_PathID id = instance.Masks().AddKeyframed(
        true, {MaskKeyframe{0, {MaskVertex{0, 0, 0, 0, 0, 0}}},
               MaskKeyframe{90, {MaskVertex{10, 10, 10, 10, -10, 10}}}});
    for (auto [time, expected] : {std::pair{30, 3.3333333333333335}, {60, 6.666666666666667}}) {
        const std::optional<MaskOutline> outline = instance.Masks().OutlineAt(id, time, 30);
        ASSERT_TRUE(outline.has_value());
        const MaskVertex& v = outline->vertices.at(0);
        EXPECT_EQ(v.x, expected);
        EXPECT_EQ(v.y, expected);
        EXPECT_EQ(v.inX, expected);
        EXPECT_EQ(v.outX, -expected);
        EXPECT_EQ(v.outY, expected);
    }
}

}  // namespace
}  // namespace tarsivel::host
