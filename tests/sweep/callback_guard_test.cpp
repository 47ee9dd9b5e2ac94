// An allocation that fails inside a host callback is answered with an error
// code: nothing unwinds into the caller's frames, and nothing is left half
// counted in the host's accounts.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "host/protocol/pre_render_session.h"
#include "host/protocol/smart_render_session.h"
#include "hostapi/pf_suites.h"
#include "tests/host/host_test_support.h"
#include "tests/sweep/failing_new.h"

namespace tarsivel::host {
namespace {

using tarsivel::testing::FailingNew;

// The entry point of the instance below: runs whatever the test puts here, with
// the command's extra record.
thread_local std::function<PF_Err(PF_InData*, void*)> probe;

PF_Err ProbeEntry(PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**, PF_LayerDef*,
                  void* extra) {
    return probe(in_data, extra);
}

struct GuardCase {
    const char* callback;
    PF_Cmd cmd;
    // Calls the callback once with the first allocation of the thread inside
    // it failing (the guard below); returns its answer (0 for success).
    std::function<PF_Err(PF_InData*, void*, std::optional<FailingNew>&)> call;
};

class CallbackGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(testing::Declare(instance, testing::Definition(PF_Param_SLIDER, "Slider", 1)).err,
                  PF_Err_NONE);
        instance.Masks().Add(false, {CornerVertex(1, 2), CornerVertex(3, 4)});
    }

    CommandResult Run(const GuardCase& c, bool& allocationFailed) {
        probe = [&](PF_InData* in_data, void* extra) {
            std::optional<FailingNew> failing;
            const PF_Err err = c.call(in_data, extra, failing);
            allocationFailed = failing && failing->Failed();
            return err;
        };
        CommandResult result;
        if (c.cmd == PF_Cmd_SMART_PRE_RENDER) {
            PreRenderSession session(instance, {});
            result = session.Run(instance, {});
        } else if (c.cmd == PF_Cmd_SMART_RENDER) {
            ImageWorld input(8, 8, PixelDepth::k8), output(8, 8, PixelDepth::k8);
            int record = 0;
            SmartRenderSession session(input.World(), output.World(), &record);
            result = session.Run(instance, {}, false);
        } else {
            int extra = 0;
            result = instance.Run(c.cmd, {}, &extra);
        }
        probe = nullptr;
        return result;
    }

    EffectInstance instance{ProbeEntry, 64, 64};
};

TEST_F(CallbackGuardTest, AnAllocationFailureInsideACallbackIsAnsweredWithAnErrorCode) {
    const std::vector<GuardCase> cases = {
        {"AcquireSuite", PF_Cmd_ABOUT,
         [](PF_InData* in_data, void*, std::optional<FailingNew>& failing) -> PF_Err {
             const void* suite = nullptr;
             failing.emplace(1);
             const SPErr err = in_data->pica_basicP->AcquireSuite(kPFPathQuerySuite, 1, &suite);
             return err != 0 && suite == nullptr ? err : PF_Err_NONE;
         }},
        {"add_param", PF_Cmd_PARAMS_SETUP,
         [](PF_InData* in_data, void*, std::optional<FailingNew>& failing) {
             PF_ParamDef def = testing::Definition(PF_Param_CHECKBOX, "Box", 2);
             failing.emplace(1);
             return PF_ADD_PARAM(in_data, host::kAppendPosition, &def);
         }},
        {"checkout_param", PF_Cmd_SMART_PRE_RENDER,
         [](PF_InData* in_data, void*, std::optional<FailingNew>& failing) {
             PF_ParamDef def{};
             failing.emplace(1);
             return PF_CHECKOUT_PARAM(in_data, 1, 0, 1, 30, &def);
         }},
        {"checkout_layer", PF_Cmd_SMART_PRE_RENDER,
         [](PF_InData* in_data, void* extra, std::optional<FailingNew>& failing) {
             auto* pre = static_cast<PF_PreRenderExtra*>(extra);
             PF_CheckoutResult result{};
             failing.emplace(1);
             return pre->cb->checkout_layer(in_data->effect_ref, 0, 0, &pre->input->output_request,
                                            0, 1, 30, &result);
         }},
        {"PF_CheckoutPath", PF_Cmd_SMART_PRE_RENDER,
         [](PF_InData* in_data, void*, std::optional<FailingNew>& failing) -> PF_Err {
             const void* suite = nullptr;
             in_data->pica_basicP->AcquireSuite(kPFPathQuerySuite, 1, &suite);
             auto* paths = static_cast<const PF_PathQuerySuite1*>(suite);
             PF_PathOutlinePtr outline = nullptr;
             failing.emplace(1);
             const PF_Err err =
                 paths->PF_CheckoutPath(in_data->effect_ref, 101, 0, 1, 30, &outline);
             failing->Stop();
             in_data->pica_basicP->ReleaseSuite(kPFPathQuerySuite, 1);
             return outline == nullptr ? err : PF_Err_NONE;
         }},
        {"checkout_layer_pixels", PF_Cmd_SMART_RENDER,
         [](PF_InData* in_data, void* extra, std::optional<FailingNew>& failing) {
             auto* smart = static_cast<PF_SmartRenderExtra*>(extra);
             PF_EffectWorld* world = nullptr;
             failing.emplace(1);
             const PF_Err err = smart->cb->checkout_layer_pixels(in_data->effect_ref, 0, &world);
             // A check-in after a failed checkout is legal and must balance.
             failing->Stop();
             smart->cb->checkin_layer_pixels(in_data->effect_ref, 0);
             return world == nullptr ? err : PF_Err_NONE;
         }},
        {"host_new_handle", PF_Cmd_GPU_DEVICE_SETUP,
         [](PF_InData* in_data, void*, std::optional<FailingNew>& failing) -> PF_Err {
             const void* suite = nullptr;
             in_data->pica_basicP->AcquireSuite(kPFHandleSuite, 2, &suite);
             auto* handles = static_cast<const PF_HandleSuite1*>(suite);
             const HandleCounts before = CountHandles();
             PF_Handle handle = nullptr;
             failing.emplace(1);
             handle = handles->host_new_handle(8);
             failing->Stop();
             in_data->pica_basicP->ReleaseSuite(kPFHandleSuite, 2);
             return handle == nullptr && CountHandles().made == before.made ? PF_Err_OUT_OF_MEMORY
                                                                            : PF_Err_NONE;
         }},
    };
    for (const GuardCase& c : cases) {
        SCOPED_TRACE(c.callback);
        bool allocationFailed = false;
        const CommandResult result = Run(c, allocationFailed);
        EXPECT_TRUE(allocationFailed);
        EXPECT_EQ(result.err, PF_Err_OUT_OF_MEMORY);
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    }
    EXPECT_EQ(instance.Params().Declarations().size(), 1u);  // the failed add_param left nothing
}

}  // namespace
}  // namespace tarsivel::host
