// Smart render and whole frames, through the entry point of the loaded library.
#include <gtest/gtest.h>

#include <memory>

#include "host/protocol/image_world.h"
#include "host/protocol/pre_render_session.h"
#include "host/protocol/smart_render_session.h"
#include "hostapi/pf_suites.h"
#include "support/loaded_plugin.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::HostCall;
using host::ImageWorld;
using host::PixelDepth;

class SmartRenderTest : public testing::LoadedPluginFixture {
  protected:
    void SetUp() override {
        LoadedPluginFixture::SetUp();
        ASSERT_EQ(Run(PF_Cmd_GLOBAL_SETUP).err, PF_Err_NONE);
        ASSERT_EQ(Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    }

    // Pre-render at `settings`, keeping the handed-over record in the session.
    void PreRender(const CommandSettings& settings = {}) {
        preRender = std::make_unique<host::PreRenderSession>(*instance, settings);
        const CommandResult result = preRender->Run(*instance, settings);
        ASSERT_EQ(result.err, PF_Err_NONE);
        ASSERT_TRUE(result.Balanced()) << result.BalanceReport();
    }

    CommandResult Render(ImageWorld& input, ImageWorld& output, bool gpu = false,
                         const CommandSettings& settings = {}, void* record = nullptr) {
        session = std::make_unique<host::SmartRenderSession>(
            input.World(), output.World(),
            record ? record : const_cast<void*>(preRender->Record()));
        return session->Run(*instance, settings, gpu);
    }

    std::unique_ptr<host::PreRenderSession> preRender;
    std::unique_ptr<host::SmartRenderSession> session;
};

TEST_F(SmartRenderTest, NullPreRenderDataIs512WithNoCallbackMade) {
    ImageWorld input(400, 300, PixelDepth::k8), output(400, 300, PixelDepth::k8);
    host::SmartRenderSession empty(input.World(), output.World(), nullptr);
    const CommandResult result = empty.Run(*instance, {}, false);
    EXPECT_EQ(result.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(result.accounts.Calls(HostCall::CheckoutLayerPixels), 0);
    EXPECT_EQ(result.accounts.TotalSuiteAcquisitions(), 0);
}

TEST_F(SmartRenderTest, FailedOutputCheckoutStillChecksTheLayerIn) {
    PreRender();
    ImageWorld input(400, 300, PixelDepth::k8), output(400, 300, PixelDepth::k8);
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutOutput, 1, 1111);
    const CommandResult result = Render(input, output, false, settings);
    EXPECT_EQ(result.err, 1111);
    EXPECT_EQ(session->LayerCheckins(), 1);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_TRUE(output.PaddingIntact());

    CommandSettings layerFails;
    layerFails.failures.FailNth(HostCall::CheckoutLayerPixels, 1, 2222);
    const CommandResult layer = Render(input, output, false, layerFails);
    EXPECT_EQ(layer.err, 2222);
    EXPECT_EQ(session->LayerCheckins(), 1);
    EXPECT_EQ(session->OutputCheckouts(), 0);
    EXPECT_TRUE(layer.Balanced()) << layer.BalanceReport();
}

TEST_F(SmartRenderTest, GpuCommandWithACpuFormatIs514AndNeverFallsBackToTheCpu) {
    PreRender();
    ImageWorld input(400, 300, PixelDepth::k32), output(400, 300, PixelDepth::k32);
    output.Fill({0.25f, 0.5f, 0.5f, 0.5f});
    const CommandResult result = Render(input, output, true);
    EXPECT_EQ(result.err, PF_Err_UNRECOGNIZED_PARAM_TYPE);
    EXPECT_EQ(output.ReadFloat(200, 150).alpha, 0.25f);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(SmartRenderTest, CheckinFailureOfAGoodRenderIsTheResult) {
    PreRender();
    ImageWorld input(400, 300, PixelDepth::k8), output(400, 300, PixelDepth::k8);
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckinLayerPixels, 1, 3333);
    EXPECT_EQ(Render(input, output, false, settings).err, 3333);
}

TEST_F(SmartRenderTest, MissingWorldSuiteIs13AndTheLayerIsCheckedIn) {
    PreRender();
    ImageWorld input(400, 300, PixelDepth::k8), output(400, 300, PixelDepth::k8);
    instance->Suites().Withdraw(kPFWorldSuite, 2);
    const CommandResult result = Render(input, output);
    EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
    EXPECT_STREQ(result.out.return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(session->LayerCheckins(), 1);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(SmartRenderTest, WholeFramesDrawTheSameRopeAtEveryDepth) {
    CommandSettings settings;
    settings.currentTime = 12;
    PreRender(settings);
    std::vector<std::unique_ptr<ImageWorld>> outputs;
    for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::k32}) {
        ImageWorld input(400, 300, depth);
        outputs.push_back(std::make_unique<ImageWorld>(400, 300, depth));
        const CommandResult result = Render(input, *outputs.back(), false, settings);
        ASSERT_EQ(result.err, PF_Err_NONE);
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
        EXPECT_TRUE(outputs.back()->PaddingIntact());
    }
    int drawn = 0;
    for (int32_t y = 0; y < 300; ++y) {
        for (int32_t x = 0; x < 400; ++x) {
            const float a32 = outputs[2]->ReadFloat(x, y).alpha;
            drawn += a32 > 0.0f;
            EXPECT_NEAR(outputs[0]->ReadFloat(x, y).alpha, a32, 1.0f / 255.0f);
            EXPECT_NEAR(outputs[1]->ReadFloat(x, y).alpha, a32, 1.0f / 32768.0f);
        }
    }
    EXPECT_GT(drawn, 1000);  // a rope 7.5 pixels wide and hundreds long
    EXPECT_TRUE(preRender->DeleteRecord());
}

}  // namespace
}  // namespace tarsivel
