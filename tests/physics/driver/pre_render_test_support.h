// An effect instance that declares the real parameters and answers smart
// pre-render, driven through the reference host.
#ifndef TARSIVEL_TESTS_PHYSICS_PRE_RENDER_TEST_SUPPORT_H
#define TARSIVEL_TESTS_PHYSICS_PRE_RENDER_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>

#include "host/protocol/effect_instance.h"
#include "host/protocol/pre_render_session.h"
#include "params/param_index.h"
#include "params/params_setup.h"
#include "physics/driver/smart_pre_render.h"
#include "physics/rope_render_data.h"

namespace tarsivel::testing {

// Thrown codes become results, as the dispatcher does.
inline PF_Err PreRenderEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**,
                             PF_LayerDef*, void* extra) {
    try {
        if (cmd == PF_Cmd_PARAMS_SETUP) {
            return ParamsSetup(in_data, out_data);
        }
        if (cmd == PF_Cmd_SMART_PRE_RENDER) {
            return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
        }
    } catch (PF_Err err) {
        return err;
    }
    return PF_Err_NONE;
}

class PreRenderFixture : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(instance.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE); }

    host::CommandResult PreRender(const host::CommandSettings& settings = {}) {
        session = std::make_unique<host::PreRenderSession>(instance, settings);
        return session->Run(instance, settings);
    }

    const RopeRenderData& Record() const {
        return *static_cast<const RopeRenderData*>(session->Record());
    }

    void Set(ParamIndex index, double value) {
        instance.Params().SetValue(index, host::ParamValue::Scalar(value));
    }
    void SetPoint(ParamIndex index, double x, double y) {
        instance.Params().SetValue(index, host::ParamValue::Point(x, y));
    }

    host::EffectInstance instance{PreRenderEntry, 400, 300};
    std::unique_ptr<host::PreRenderSession> session;
};

}  // namespace tarsivel::testing

#endif
