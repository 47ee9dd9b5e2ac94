#include "physics/driver/smart_pre_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "physics/driver/mask_gathering.h"
#include "physics/step_rope.h"
#include "pre_render_test_support.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::HostCall;
using host::Keyframe;
using host::ParamValue;

// The default parameters on the 400 by 300 test layer, stepped directly: the
// oracle the driver's wiring is compared against.
struct Reference {
    int preRoll = 0;
    double damping = 1.0;
    double preRollDamping = 1.5;
    double frameDuration = 1.0 / 30.0;
    double scale = 1.0;

    RopeStepSettings Settings() const {
        RopeStepSettings s;
        s.anchorA = s.prevAnchorA = {132.0, 150.0};
        s.anchorB = s.prevAnchorB = {264.0, 150.0};
        s.attachA = s.attachB = true;
        s.segmentCount = 16;
        s.substeps = 8;
        s.ropeLength = 630.0 * scale;
        s.gravity = 500.0 * 4.0 * scale;
        s.stiffness = 1.0 - double(0.1f);
        s.turbulenceFrequency = 1.0 / scale;
        s.tearThresholdPercent = 100.0;
        s.frameDuration = frameDuration;
        s.thickness = double(7.5f * float(scale));
        return s;
    }

    Rope Run(int frames) const {
        RopeStepSettings s = Settings();
        Rope rope = BuildRope(s.anchorA, s.anchorB, true, true, 16, s.ropeLength);
        s.dampingRate = preRollDamping;
        for (int i = 0; i < preRoll; ++i) {
            s.time = double(i - preRoll) * frameDuration;
            StepRope(rope, s);
        }
        s.dampingRate = damping;
        for (int f = 0; f < frames; ++f) {
            s.time = double(f) / 30.0;
            StepRope(rope, s);
        }
        return rope;
    }
};

std::vector<float> NodePoints(const Rope& rope) {
    std::vector<float> points;
    for (const RopeParticle& p : rope) {
        points.push_back(float(p.x));
        points.push_back(float(p.y));
    }
    return points;
}

class SmartPreRenderTest : public testing::PreRenderFixture {
  protected:
    std::vector<int32_t> GravityTimes(const CommandResult& r) const {
        return r.accounts.CheckoutTimes(kParamGravity);
    }
};

TEST_F(SmartPreRenderTest, ReplaysEveryFrameFromTimeZeroToTheRequestedTime) {
    CommandSettings at0;
    const CommandResult first = PreRender(at0);
    ASSERT_EQ(first.err, PF_Err_NONE);
    EXPECT_TRUE(first.Balanced()) << first.BalanceReport();
    // The time-0 settings, then one replayed frame.
    EXPECT_EQ(GravityTimes(first), (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(1)));

    CommandSettings at10;
    at10.currentTime = 10;
    const CommandResult eleven = PreRender(at10);
    EXPECT_EQ(GravityTimes(eleven), (std::vector<int32_t>{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(11)));
}

TEST_F(SmartPreRenderTest, TimeBetweenFramesReplaysUpToTheFrameBelowIt) {
    CommandSettings between;
    between.currentTime = 45;
    between.localTimeStep = 10;
    between.timeScale = 300;
    const CommandResult result = PreRender(between);
    EXPECT_EQ(GravityTimes(result), (std::vector<int32_t>{0, 0, 10, 20, 30, 40}));
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(5)));
}

TEST_F(SmartPreRenderTest, NegativeTimeDrawsTheRopeAsBuiltOrPreRolled) {
    CommandSettings before;
    before.currentTime = -3;
    const CommandResult result = PreRender(before);
    EXPECT_EQ(GravityTimes(result), std::vector<int32_t>{0});
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(0)));
    EXPECT_EQ(Record().nodePoints.size(), 34u);
    EXPECT_EQ(Record().points.size(), 16u * 16u);
}

TEST_F(SmartPreRenderTest, LocalTimeStepZeroFallsBackToThirtyFramesPerSecond) {
    CommandSettings ntsc;
    ntsc.localTimeStep = 0;
    ntsc.timeScale = 2997;
    ntsc.currentTime = 3 * 99 + 50;
    const CommandResult result = PreRender(ntsc);
    EXPECT_EQ(GravityTimes(result), (std::vector<int32_t>{0, 0, 99, 198, 297}));
    // Turbulence is off, so the frame times do not enter the motion.
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(4)));
}

TEST_F(SmartPreRenderTest, PreRollUsesTimeZeroSettingsAndStrongerCappedDamping) {
    Set(kParamPreRollFrames, 5);
    Set(kParamDamping, 2.0);
    CommandResult result = PreRender();
    EXPECT_EQ(GravityTimes(result), (std::vector<int32_t>{0, 0}));
    Reference twoThree{5, 2.0, 3.0};
    EXPECT_EQ(Record().nodePoints, NodePoints(twoThree.Run(1)));
    Reference unscaled{5, 2.0, 2.0};
    EXPECT_NE(Record().nodePoints, NodePoints(unscaled.Run(1)));

    Set(kParamDamping, 80.0);
    result = PreRender();
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{5, 80.0, 100.0}.Run(1)));
    EXPECT_NE(Record().nodePoints, NodePoints(Reference{5, 80.0, 120.0}.Run(1)));
}

TEST_F(SmartPreRenderTest, HalfResolutionScalesLengthsAndWidthsButNotPoints) {
    CommandSettings half;
    half.downsampleX = {1, 2};
    half.downsampleY = {1, 2};
    const CommandResult result = PreRender(half);
    ASSERT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(Record().thicknessStart, 3.75f);
    EXPECT_EQ(Record().thicknessEnd, 3.75f);
    EXPECT_EQ(Record().nodeThickness.front(), 1.875f);
    // The host delivers the points already halved; the effect uses them as they are.
    Reference reference;
    reference.scale = 0.5;
    RopeStepSettings s = reference.Settings();
    s.anchorA = s.prevAnchorA = {66.0, 75.0};
    s.anchorB = s.prevAnchorB = {132.0, 75.0};
    s.dampingRate = 1.0;
    Rope rope = BuildRope(s.anchorA, s.anchorB, true, true, 16, s.ropeLength);
    StepRope(rope, s);
    EXPECT_EQ(Record().nodePoints, NodePoints(rope));
}

TEST_F(SmartPreRenderTest, KeyframedPinnedPointMovesFrameByFrame) {
    instance.Params().SetKeyframes(kParamPointA, {Keyframe{0, ParamValue::Point(100, 150)},
                                                  Keyframe{30, ParamValue::Point(200, 150)}});
    CommandSettings mid;
    mid.currentTime = 15;
    ASSERT_EQ(PreRender(mid).err, PF_Err_NONE);
    EXPECT_EQ(Record().nodePoints[0], 150.0f);
    mid.currentTime = 30;
    ASSERT_EQ(PreRender(mid).err, PF_Err_NONE);
    EXPECT_EQ(Record().nodePoints[0], 200.0f);
}

TEST_F(SmartPreRenderTest, OutputRectanglesAreTheInputLayersAndGpuIsPossible) {
    CommandSettings settings;
    settings.currentTime = 2;
    settings.outputOriginX = 10;
    const CommandResult result = PreRender(settings);
    ASSERT_EQ(result.err, PF_Err_NONE);
    const PF_PreRenderOutput& out = session->Output();
    EXPECT_TRUE(out.flags & PF_RenderOutputFlag_GPU_RENDER_POSSIBLE);
    EXPECT_EQ(out.result_rect.right, 400);
    EXPECT_EQ(out.max_result_rect.bottom, 300);
    ASSERT_EQ(session->LayerCheckouts().size(), 1u);
    const host::LayerCheckoutCall& call = session->LayerCheckouts()[0];
    EXPECT_EQ(call.index, 0);
    EXPECT_EQ(call.checkoutId, 0);
    EXPECT_EQ(call.time, 2);
    EXPECT_EQ(std::memcmp(&call.request, &session->Input().output_request, sizeof call.request), 0);
    // Record positions are in output-buffer pixels.
    EXPECT_EQ(Record().nodePoints[0], 132.0f - 10.0f);
    EXPECT_EQ(out.delete_pre_render_data_func, &DeleteRopeRenderData);
}

// A host that does not clamp slider values (the reference host does) may hand over counts outside
// the sliders' ranges. The driver clamps them before the rope is built or stepped, so the step's
// own check of its inputs never fires and only the host's codes can leave the call.
struct UnclampedCounts {
    static inline decltype(PF_InteractCallbacks::checkout_param) hostCheckout = nullptr;
    static inline int32_t segments = 0;
    static inline int32_t substeps = 0;

    static PF_Err Checkout(PF_ProgPtr ref, PF_ParamIndex index, A_long time, A_long step,
                           A_u_long scale, PF_ParamDef* def) {
        const PF_Err err = hostCheckout(ref, index, time, step, scale, def);
        if (err == PF_Err_NONE && index == kParamSegments) {
            def->u.sd.value = segments;
        }
        if (err == PF_Err_NONE && index == kParamSubsteps) {
            def->u.sd.value = substeps;
        }
        return err;
    }

    static PF_Err Entry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef** params,
                        PF_LayerDef* output, void* extra) {
        if (cmd != PF_Cmd_SMART_PRE_RENDER) {
            return testing::PreRenderEntry(cmd, in_data, out_data, params, output, extra);
        }
        // Stands between the host and the effect for the one command, and puts
        // the host's callback back, as the host checks that in_data is unchanged.
        hostCheckout = in_data->inter.checkout_param;
        in_data->inter.checkout_param = Checkout;
        const PF_Err err = testing::PreRenderEntry(cmd, in_data, out_data, params, output, extra);
        in_data->inter.checkout_param = hostCheckout;
        return err;
    }
};

TEST(SmartPreRenderCounts, OutOfRangeCountsAreClampedBeforeTheRopeIsBuilt) {
    host::EffectInstance unclamped{UnclampedCounts::Entry, 400, 300};
    ASSERT_EQ(unclamped.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    struct Case {
        int32_t segments;
        int32_t substeps;
        std::size_t nodes;
    };
    for (const Case c : {Case{0, 0, 3}, Case{-7, -1, 3}, Case{5000, 1000, 1025}}) {
        UnclampedCounts::segments = c.segments;
        UnclampedCounts::substeps = c.substeps;
        const CommandSettings settings;
        host::PreRenderSession session(unclamped, settings);
        const CommandResult result = session.Run(unclamped, settings);
        ASSERT_EQ(result.err, PF_Err_NONE) << c.segments;
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
        const auto& record = *static_cast<const RopeRenderData*>(session.Record());
        EXPECT_EQ(record.nodePoints.size(), 2 * c.nodes) << c.segments;
    }
}

TEST_F(SmartPreRenderTest, CallSettingsFillTheRecordsLookOnce) {
    instance.Params().SetValue(kParamRopeColor, ParamValue::Color(255, 0, 128, 255));
    Set(kParamDisplaySegmentNodes, 1);
    Set(kParamThicknessEnd, 2.5);
    ASSERT_EQ(PreRender().err, PF_Err_NONE);
    EXPECT_EQ(Record().colorA, 1.0f);
    EXPECT_EQ(Record().colorR, 0.0f);
    EXPECT_EQ(Record().colorG, 128.0f / 255.0f);
    EXPECT_EQ(Record().colorB, 1.0f);
    EXPECT_TRUE(Record().showNodes);
    EXPECT_FALSE(Record().compositeOnOriginal);
    EXPECT_EQ(Record().thicknessEnd, 2.5f);
}

TEST_F(SmartPreRenderTest, WithoutAMaskChoiceThePathSuitesAreHeldButNeverCalled) {
    const CommandResult result = PreRender();
    EXPECT_EQ(result.accounts.SuiteAcquisitions("PF Path Query Suite", 1), 1);
    EXPECT_EQ(result.accounts.SuiteAcquisitions("PF Path Data Suite", 1), 1);
    EXPECT_EQ(result.accounts.Calls(HostCall::NumPaths), 0);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(SmartPreRenderTest, SameInputsGiveTheSameBits) {
    Set(kParamWindIntensity, 300);
    Set(kParamTurbulenceAmount, 80);
    Set(kParamEnableSelfCollision, 1);
    CommandSettings settings;
    settings.currentTime = 20;
    ASSERT_EQ(PreRender(settings).err, PF_Err_NONE);
    const RopeRenderData first = Record();
    ASSERT_EQ(PreRender(settings).err, PF_Err_NONE);
    EXPECT_EQ(std::memcmp(first.points.data(), Record().points.data(),
                          first.points.size() * sizeof(float)),
              0);
    EXPECT_EQ(first.points.size(), Record().points.size());
}

TEST_F(SmartPreRenderTest, ParameterCheckoutFailureStopsTheWorkButHandsTheRecordOver) {
    CommandSettings settings;
    settings.currentTime = 5;
    // The 30th checkout is "Point A" of the first replayed frame (10 call
    // settings, then 19 frame settings at time 0, then the frame's own).
    settings.failures.FailNth(HostCall::CheckoutParam, 30, PF_Err_OUT_OF_MEMORY);
    const CommandResult result = PreRender(settings);
    EXPECT_EQ(result.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.ParamCheckouts(), 29);
    ASSERT_NE(session->Record(), nullptr);
    EXPECT_TRUE(session->LayerCheckouts().empty());
    EXPECT_TRUE(IsEmptyRect(session->Output().result_rect));
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(0)));  // as built
    EXPECT_TRUE(session->DeleteRecord());
    EXPECT_EQ(session->Deletions(), 1);
}

TEST_F(SmartPreRenderTest, ARefusalInsideAReplayedFrameDrawsTheFramesBeforeIt) {
    CommandSettings settings;
    settings.currentTime = 5;
    // The 96th checkout is the tenth parameter of the fourth replayed frame: that
    // frame's settings were half read, and its step must not run.
    settings.failures.FailNth(HostCall::CheckoutParam, 96, 4321);
    const CommandResult result = PreRender(settings);
    EXPECT_EQ(result.err, 4321);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.ParamCheckouts(), 95);
    EXPECT_EQ(result.accounts.SuiteAcquisitions("PF Path Query Suite", 1), 1);
    EXPECT_TRUE(session->LayerCheckouts().empty());
    EXPECT_EQ(Record().nodePoints, NodePoints(Reference{}.Run(3)));
    EXPECT_EQ(Record().points.size(), 16u * 16u);
}

TEST_F(SmartPreRenderTest, TheReaderThrowsARefusalWithNothingLeftCheckedOut) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutParam, 2, 4321);
    std::vector<double> read;
    const CommandResult result = instance.RunHandler(
        [&](PF_InData* in_data, PF_OutData*) -> PF_Err {
            ParamReader reader(in_data);
            read.push_back(reader.Float(kParamRopeLength, {0, 1, 30}));
            try {
                read.push_back(reader.Float(kParamGravity, {0, 1, 30}));
            } catch (PF_Err err) {
                // The reader is still usable: the next parameter is read as usual.
                read.push_back(reader.Float(kParamDamping, {0, 1, 30}));
                return err;
            }
            return PF_Err_NONE;
        },
        settings);
    EXPECT_EQ(result.err, 4321);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.ParamCheckouts(), 2);
    EXPECT_EQ(read, (std::vector<double>{630.0, 1.0}));
}

TEST_F(SmartPreRenderTest, FailureWhileReadingTheLookLeavesTheRecordWithoutLists) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutParam, 1, 1234, std::to_string(kParamRopeColor));
    const CommandResult result = PreRender(settings);
    EXPECT_EQ(result.err, 1234);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.SuiteAcquisitions("PF Path Query Suite", 1), 0);
    EXPECT_TRUE(Record().nodePoints.empty());
    EXPECT_EQ(Record().thicknessStart, 7.5f);
}

TEST_F(SmartPreRenderTest, MissingPathSuiteReturns13AndHandsNothingOver) {
    instance.Suites().Withdraw("PF Path Data Suite", 1);
    const CommandResult result = PreRender();
    EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
    EXPECT_STREQ(result.out.return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(result.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(session->Record(), nullptr);
}

TEST_F(SmartPreRenderTest, LayerCheckoutFailureKeepsTheRecordHandedOver) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutLayer, 1, 777);
    const CommandResult result = PreRender(settings);
    EXPECT_EQ(result.err, 777);
    EXPECT_NE(session->Record(), nullptr);
    EXPECT_TRUE(IsEmptyRect(session->Output().max_result_rect));
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(SmartPreRenderTest, WindAtNinetyDegreesKeepsItsRoundingResidue) {
    Set(kParamWindIntensity, 10.0);
    Set(kParamWindDirection, 90.0);
    RopeStepSettings step;
    const CommandResult result = instance.RunHandler([&](PF_InData* in_data, PF_OutData*) {
        ParamReader reader(in_data);
        ReadFrameSettings(reader, {0, 1, 30}, 1.0f, step);
        return PF_Err_NONE;
    });
    ASSERT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(step.windX, 40.0);
    EXPECT_LT(step.windY, 0.0);
    EXPECT_GT(step.windY, -1e-14);
    EXPECT_EQ(step.stiffness, 1.0 - double(0.1f));
}

TEST_F(SmartPreRenderTest, MaskGainingAVertexDoesNotSweepThatFrame) {
    auto corner = [](double x, double y) { return host::CornerVertex(x, y); };
    const std::vector<host::MaskVertex> four{corner(150, 200), corner(250, 200), corner(250, 260),
                                             corner(150, 260)};
    std::vector<host::MaskVertex> five = four;
    five.insert(five.begin() + 2, corner(260, 230));
    const PF_PathID id = instance.Masks().AddKeyframed(
        false, {host::MaskKeyframe{0, four}, host::MaskKeyframe{1, five}});
    Set(kParamCollisionMask, double(id));
    CommandSettings settings;
    settings.currentTime = 1;
    ASSERT_EQ(PreRender(settings).err, PF_Err_NONE);

    auto edgesOf = [](const std::vector<host::MaskVertex>& v) {
        std::vector<MaskCollider> edges;
        for (std::size_t j = 0; j < v.size(); ++j) {
            const host::MaskVertex& a = v[j];
            const host::MaskVertex& b = v[(j + 1) % v.size()];
            FlattenCubicSpan({a.x, a.y}, {a.outX, a.outY}, {b.inX, b.inY}, {b.x, b.y}, edges);
        }
        return edges;
    };
    const std::vector<MaskCollider> edges4 = edgesOf(four);
    const std::vector<MaskCollider> edges5 = edgesOf(five);
    Reference reference;
    RopeStepSettings s = reference.Settings();
    Rope rope = BuildRope(s.anchorA, s.anchorB, true, true, 16, s.ropeLength);
    s.dampingRate = 1.0;
    s.collidersStart = s.collidersEnd = edges4;
    StepRope(rope, s);
    const Rope withoutMask = reference.Run(2);
    s.time = 1.0 / 30.0;
    s.collidersStart = s.collidersEnd = edges5;
    StepRope(rope, s);
    EXPECT_EQ(Record().nodePoints, NodePoints(rope));
    EXPECT_NE(Record().nodePoints, NodePoints(withoutMask));  // the mask was touched
}

}  // namespace
}  // namespace tarsivel
