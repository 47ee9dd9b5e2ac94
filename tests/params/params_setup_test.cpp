#include "params/params_setup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "host/protocol/effect_instance.h"
#include "params/param_index.h"
#include "params/param_table.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::EffectInstance;
using host::HostCall;

PF_Err ParamsOnlyEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**,
                       PF_LayerDef*, void*) {
    return cmd == PF_Cmd_PARAMS_SETUP ? ParamsSetup(in_data, out_data) : PF_Err_NONE;
}

class ParamsSetupTest : public ::testing::Test {
  protected:
    CommandResult Setup(CommandSettings settings = {}) {
        return instance.Run(PF_Cmd_PARAMS_SETUP, settings);
    }
    const PF_ParamDef& Declared(ParamIndex index) {
        return instance.Params().Declarations().at(std::size_t(index - 1)).def;
    }
    PF_ParamDef Delivered(ParamIndex index) {
        PF_ParamDef def{};
        EXPECT_EQ(instance.Params().Deliver(index, 0, 30, {1, 1}, {1, 1}, &def), PF_Err_NONE);
        return def;
    }
    EffectInstance instance{ParamsOnlyEntry, 1920, 1080};
};

TEST_F(ParamsSetupTest, DeclaresEveryEntryInIndexOrderThenCountsForty) {
    const CommandResult result = Setup();
    ASSERT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.out.num_params, 40);
    const auto& declarations = instance.Params().Declarations();
    ASSERT_EQ(declarations.size(), 39u);
    std::set<A_long> ids;
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        const PF_ParamDef& def = declarations[i].def;
        EXPECT_EQ(def.uu.id, A_long(i + 1)) << "entry " << i + 1;
        EXPECT_EQ(def.param_type, ParamTable()[i].kind);
        EXPECT_STREQ(def.name, ParamTable()[i].name);
        EXPECT_EQ(def.ui_flags, 0);
        EXPECT_EQ(def.flags, 0);
        ids.insert(def.uu.id);
    }
    EXPECT_EQ(ids.size(), 39u);
}

TEST_F(ParamsSetupTest, GroupsPathAndAngleArePlacedAtTheirOwnIndexEverythingElseAppended) {
    ASSERT_EQ(Setup().err, PF_Err_NONE);
    for (const host::Declaration& d : instance.Params().Declarations()) {
        const PF_ParamType kind = d.def.param_type;
        const bool ownIndex = kind == PF_Param_GROUP_START || kind == PF_Param_GROUP_END ||
                              kind == PF_Param_PATH || kind == PF_Param_ANGLE;
        EXPECT_EQ(d.position, ownIndex ? d.def.uu.id : kAppendParam) << d.def.name;
    }
}

TEST_F(ParamsSetupTest, GroupEntriesCarryOnlyKindNameAndId) {
    ASSERT_EQ(Setup().err, PF_Err_NONE);
    const PF_ParamDefUnion zero{};
    for (ParamIndex end : {kParamPhysicsGroupEnd, kParamAppearanceGroupEnd, kParamCollisionGroupEnd,
                           kParamWindGroupEnd, kParamTearingGroupEnd}) {
        EXPECT_EQ(Declared(end).param_type, PF_Param_GROUP_END);
        EXPECT_STREQ(Declared(end).name, "");
        EXPECT_EQ(std::memcmp(&Declared(end).u, &zero, sizeof zero), 0);
    }
    EXPECT_STREQ(Declared(kParamWindGroup).name, "Wind Options");
    EXPECT_EQ(std::memcmp(&Declared(kParamWindGroup).u, &zero, sizeof zero), 0);
}

TEST_F(ParamsSetupTest, FloatSlidersCarrySinglePrecisionDefaultsAndTheirRanges) {
    ASSERT_EQ(Setup().err, PF_Err_NONE);
    const PF_FloatSliderDef& elasticity = Declared(kParamElasticity).u.fs_d;
    EXPECT_EQ(elasticity.value, double(0.1f));
    EXPECT_NEAR(elasticity.value, 0.100000001490116, 1e-15);
    EXPECT_EQ(elasticity.precision, 2);
    for (const host::Declaration& d : instance.Params().Declarations()) {
        if (d.def.param_type == PF_Param_FLOAT_SLIDER) {
            EXPECT_EQ(d.def.u.fs_d.curve_tolerance, 0.05f) << d.def.name;
            EXPECT_EQ(d.def.u.fs_d.display_flags, 0);
            EXPECT_EQ(d.def.u.fs_d.value, double(d.def.u.fs_d.dephault));
            const bool negative = d.def.u.fs_d.valid_min < 0;
            EXPECT_EQ(negative, d.def.uu.id == kParamGravity) << d.def.name;
        }
    }
    // Typed values may go beyond these sliders.
    for (ParamIndex wide : {kParamColliderStaticFriction, kParamColliderStick}) {
        EXPECT_EQ(Declared(wide).u.fs_d.valid_max, 10.0f);
        EXPECT_EQ(Declared(wide).u.fs_d.slider_max, 1.0f);
    }
    EXPECT_EQ(Declared(kParamTearThreshold).u.fs_d.valid_max, 1000.0f);
    EXPECT_EQ(Declared(kParamTearThreshold).u.fs_d.slider_max, 100.0f);
    EXPECT_EQ(Declared(kParamRopeLength).u.fs_d.precision, 1);
}

TEST_F(ParamsSetupTest, PointDefaultsArePercentagesTheHostPlacesOnTheLayer) {
    ASSERT_EQ(Setup().err, PF_Err_NONE);
    EXPECT_EQ(Declared(kParamPointA).u.td.x_dephault, 0x00210000);
    EXPECT_EQ(Declared(kParamPointA).u.td.y_dephault, 0x00320000);
    EXPECT_EQ(Declared(kParamPointB).u.td.x_value, 0x00420000);
    EXPECT_EQ(Declared(kParamPointB).u.td.restrict_bounds, 0);
    const auto a = instance.Params().ValueAt(kParamPointA, 0, 30);
    const auto b = instance.Params().ValueAt(kParamPointB, 0, 30);
    EXPECT_DOUBLE_EQ(a.c[0], 633.6);
    EXPECT_DOUBLE_EQ(a.c[1], 540.0);
    EXPECT_DOUBLE_EQ(b.c[0], 1267.2);
    EXPECT_DOUBLE_EQ(b.c[1], 540.0);
}

TEST_F(ParamsSetupTest, DefaultsArriveInTheHostsFormats) {
    ASSERT_EQ(Setup().err, PF_Err_NONE);
    EXPECT_EQ(Delivered(kParamSegments).u.sd.value, 16);
    EXPECT_EQ(Delivered(kParamSubsteps).u.sd.valid_max, 256);
    EXPECT_EQ(Delivered(kParamPointAAttachment).u.bd.value, 1);
    EXPECT_EQ(Delivered(kParamEnableSelfCollision).u.bd.value, 0);
    EXPECT_STREQ(Delivered(kParamTearing).u.bd.u.nameptr, "");
    EXPECT_EQ(Delivered(kParamRopeLength).u.fs_d.value, 630.0);
    const PF_UnionablePixel color = Delivered(kParamRopeColor).u.cd.value;
    EXPECT_EQ(color.alpha, 255);
    EXPECT_EQ(color.red, 255);
    EXPECT_EQ(color.green, 255);
    EXPECT_EQ(color.blue, 255);
    EXPECT_EQ(Delivered(kParamWindDirection).u.ad.value, 0);
    EXPECT_EQ(Delivered(kParamCollisionMask).u.path_d.path_id, 0u);
    const PF_PointDef a = Delivered(kParamPointA).u.td;
    EXPECT_EQ(a.x_value, PF_Fixed(std::lround(633.6 * 65536)));
    EXPECT_EQ(a.y_value, 540 * 65536);
}

TEST_F(ParamsSetupTest, RefusedAppendedEntryStopsSetUpWithTheHostsCode) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::AddParam, 1, PF_Err_OUT_OF_MEMORY, "Point A");
    const CommandResult refused = Setup(settings);
    EXPECT_EQ(refused.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(refused.out.num_params, 0);
    EXPECT_TRUE(instance.Params().Declarations().empty());

    EffectInstance other{ParamsOnlyEntry};
    CommandSettings later;
    later.failures.FailNth(HostCall::AddParam, 1, 1234, "Rope Color");
    const CommandResult partial = other.Run(PF_Cmd_PARAMS_SETUP, later);
    EXPECT_EQ(partial.err, 1234);
    EXPECT_EQ(partial.out.num_params, 0);
    EXPECT_EQ(other.Params().Declarations().size(), std::size_t(kParamRopeColor - 1));
}

TEST_F(ParamsSetupTest, RefusalsOfGroupsPathAndAngleAreNotLookedAt) {
    CommandSettings settings;
    for (const char* name : {"Physics", "Collision Mask", "Wind Direction"}) {
        settings.failures.FailAlways(HostCall::AddParam, PF_Err_INTERNAL_STRUCT_DAMAGED, name);
    }
    // The 14th call declares the end of "Physics".
    settings.failures.FailNth(HostCall::AddParam, kParamPhysicsGroupEnd, 77);
    const CommandResult result = Setup(settings);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(result.out.num_params, 40);
    EXPECT_EQ(instance.Params().Declarations().size(), 39u - 4u);
}

TEST_F(ParamsSetupTest, HostWithoutCallbacksGetsBadCallbackParam) {
    const CommandResult result = instance.RunHandler([](PF_InData* in_data, PF_OutData* out) {
        in_data->utils = nullptr;
        return ParamsSetup(in_data, out);
    });
    EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(instance.Params().Declarations().empty());
}

}  // namespace
}  // namespace tarsivel
