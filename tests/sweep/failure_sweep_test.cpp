// Every command the reference host drives, run once to count its host calls
// and its allocations, then once more for each n with the nth host call failing
// and once more for each n with the nth allocation throwing std::bad_alloc.
// Every case must end with the outcome the table below gives, balanced
// accounts, nothing handed to the host after a failure that ends the command,
// and (under the sanitizer build) no leak. The counts come from the code, so a
// new host call or allocation is a new case without any change here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "entry/command_dispatch.h"
#include "host/gpu/opencl_device.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "host/protocol/pre_render_session.h"
#include "host/protocol/smart_render_session.h"
#include "hostapi/pf_suites.h"
#include "params/param_index.h"
#include "params/param_table.h"
#include "tests/sweep/failing_new.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::EffectInstance;
using host::FailedCall;
using host::HostCall;
using host::ImageWorld;
using host::PixelDepth;
using testing::FailingNew;

// What every injected host failure answers: a code no host call gives by itself.
constexpr PF_Err kInjected = PF_Err_INVALID_CALLBACK;
constexpr A_long kPrMrApplId = host::FourCharCode('P', 'r', 'M', 'r');
constexpr A_u_long kDevice = 0;

// The commands, as the table tells them apart.
enum class Stage {
    About,
    GlobalSetup,
    ParamsSetup,
    PreRender,
    CpuRender,
    GpuSetup,
    GpuRender,
    GpuSetdown
};

// The command's result when one host call fails.
enum class Outcome {
    Injected,      // the failing call's own code
    MissingSuite,  // A_Err_MISSING_SUITE
    NoSuiteSet,    // PF_Err_BAD_CALLBACK_PARAM: About's suite set could not acquire its suite
    Damaged,       // PF_Err_INTERNAL_STRUCT_DAMAGED
    Unaffected,    // 0: the failure is skipped or its result is not looked at
    Unchecked,     // the failing call's code, or 0 where the entry's result is not looked at
};

struct Row {
    Stage stage;
    HostCall call;
    Outcome outcome;
    // The failure ends the command: nothing may be handed to the host after it.
    bool ends;
};

// One row per kind of failing call and command.
const std::vector<Row> kExpected = {
    // About writes its text with the ANSI suite's sprintf and returns 0.
    {Stage::About, HostCall::AcquireSuite, Outcome::NoSuiteSet, true},
    {Stage::About, HostCall::AnsiSprintf, Outcome::Unaffected, false},
    // Global set-up on the host that takes a pixel format: both results ignored.
    {Stage::GlobalSetup, HostCall::AcquireSuite, Outcome::MissingSuite, true},
    {Stage::GlobalSetup, HostCall::ClearSupportedPixelFormats, Outcome::Unaffected, false},
    {Stage::GlobalSetup, HostCall::AddSupportedPixelFormat, Outcome::Unaffected, false},
    // Parameter set-up stops at a refused entry whose result it looks at.
    {Stage::ParamsSetup, HostCall::AddParam, Outcome::Unchecked, true},
    {Stage::ParamsSetup, HostCall::AnsiStrcpy, Outcome::Unaffected, false},
    // Pre-render: a failed checkout still hands the record over; a missing path
    // suite hands nothing over; a mask that cannot be read is skipped.
    {Stage::PreRender, HostCall::CheckoutParam, Outcome::Injected, false},
    {Stage::PreRender, HostCall::CheckinParam, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::AcquireSuite, Outcome::MissingSuite, true},
    {Stage::PreRender, HostCall::NumPaths, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::PathInfo, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::CheckoutPath, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::CheckinPath, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::PathIsOpen, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::PathNumSegments, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::PathVertexInfo, Outcome::Unaffected, false},
    {Stage::PreRender, HostCall::CheckoutLayer, Outcome::Injected, false},
    // Smart render on the CPU: no renderer after a failed checkout, suite or
    // format; a failed copy draws nothing; a failed check-in is the result.
    {Stage::CpuRender, HostCall::CheckoutLayerPixels, Outcome::Injected, true},
    {Stage::CpuRender, HostCall::CheckoutOutput, Outcome::Injected, true},
    {Stage::CpuRender, HostCall::AcquireSuite, Outcome::MissingSuite, true},
    {Stage::CpuRender, HostCall::GetPixelFormat, Outcome::Injected, true},
    {Stage::CpuRender, HostCall::WorldCopy, Outcome::Injected, true},
    {Stage::CpuRender, HostCall::CheckinLayerPixels, Outcome::Injected, false},
    // GPU device set-up on OpenCL: the device query is not checked (an empty
    // device record fails the build: PF_Err_INTERNAL_STRUCT_DAMAGED, the handle
    // still handed over); without a handle there is nothing to hand over.
    {Stage::GpuSetup, HostCall::AcquireSuite, Outcome::MissingSuite, true},
    {Stage::GpuSetup, HostCall::GetDeviceInfo, Outcome::Damaged, false},
    {Stage::GpuSetup, HostCall::NewHandle, Outcome::Damaged, true},
    // GPU smart render: any failure before the launch is the result.
    {Stage::GpuRender, HostCall::CheckoutLayerPixels, Outcome::Injected, true},
    {Stage::GpuRender, HostCall::CheckoutOutput, Outcome::Injected, true},
    {Stage::GpuRender, HostCall::AcquireSuite, Outcome::MissingSuite, true},
    {Stage::GpuRender, HostCall::GetPixelFormat, Outcome::Injected, true},
    {Stage::GpuRender, HostCall::GetDeviceInfo, Outcome::Injected, true},
    {Stage::GpuRender, HostCall::GetGPUWorldData, Outcome::Injected, true},
    {Stage::GpuRender, HostCall::CheckinLayerPixels, Outcome::Injected, false},
    // GPU set-down: the kernel is released first; disposing returns nothing.
    {Stage::GpuSetdown, HostCall::AcquireSuite, Outcome::MissingSuite, false},
    {Stage::GpuSetdown, HostCall::DisposeHandle, Outcome::Unaffected, false},
};

const Row* FindRow(Stage stage, HostCall call) {
    for (const Row& row : kExpected) {
        if (row.stage == stage && row.call == call) {
            return &row;
        }
    }
    return nullptr;
}

// Parameter set-up looks at add_param's result except for group starts and
// ends, the mask choice and the angle, which it places at their own index.
bool AddParamLookedAt(int ordinal) {
    const PF_ParamType kind = ParamTable().at(std::size_t(ordinal - 1)).kind;
    return kind != PF_Param_GROUP_START && kind != PF_Param_GROUP_END && kind != PF_Param_PATH &&
           kind != PF_Param_ANGLE;
}

PF_Err ExpectedResult(const Row& row, const FailedCall& failed, PF_Err injected) {
    switch (row.outcome) {
        case Outcome::Injected:
            return injected;
        case Outcome::MissingSuite:
            return A_Err_MISSING_SUITE;
        case Outcome::NoSuiteSet:
            return PF_Err_BAD_CALLBACK_PARAM;
        case Outcome::Damaged:
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        case Outcome::Unaffected:
            return PF_Err_NONE;
        case Outcome::Unchecked:
            return AddParamLookedAt(failed.ordinal) ? injected : PF_Err_NONE;
    }
    return PF_Err_NONE;
}

// The allocation sweep's entry: the plug-in's dispatcher with the nth
// allocation made inside it failing, and only inside it, so that the host's
// own bookkeeping around the command is never what fails.
thread_local std::optional<long> allocationToFail;
thread_local PF_Cmd sweptCommand = PF_Cmd_ABOUT;
thread_local long allocationsCounted = 0;
thread_local bool allocationFailed = false;
thread_local bool exceptionEscaped = false;

PF_Err SweptEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                  PF_LayerDef* output, void* extra) {
    if (!allocationToFail || cmd != sweptCommand) {
        return DispatchCommand(cmd, in_data, out_data, params, output, extra);
    }
    PF_Err err = PF_Err_NONE;
    {
        FailingNew failing(*allocationToFail);
        try {
            err = DispatchCommand(cmd, in_data, out_data, params, output, extra);
        } catch (...) {
            exceptionEscaped = true;
            err = PF_Err_NONE;
        }
        failing.Stop();
        allocationsCounted = failing.Counted();
        allocationFailed = failing.Failed();
    }
    return err;
}

// One run of a command: its result and whether it handed anything to the host
// (a record, a parameter count, a drawn output, GPU data, an About text).
struct Ran {
    CommandResult result;
    bool handedOver = false;
};

struct Scenario {
    std::string name;
    Stage stage;
    PF_Cmd cmd;  // the command swept; the others only prepare or clean up
    std::function<Ran(const CommandSettings&)> run;
};

CommandSettings WithFailure(CommandSettings settings, int nth) {
    settings.failures.FailNthCall(nth, kInjected);
    return settings;
}

std::vector<uint8_t> Bytes(const ImageWorld& world) {
    const auto* data = reinterpret_cast<const uint8_t*>(world.World()->data);
    return {data, data + std::size_t(world.Rowbytes()) * std::size_t(world.Height())};
}

class FailureSweep : public ::testing::Test {
  protected:
    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kHeight = 48;

    // An instance with the effect's parameters, masks (one animated) and
    // keyframes, a pre-roll and a few replayed frames.
    static std::unique_ptr<EffectInstance> NewInstance(bool declared = true) {
        auto instance = std::make_unique<EffectInstance>(SweptEntry, kWidth, kHeight);
        if (!declared) {
            return instance;
        }
        EXPECT_EQ(instance->Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
        auto& params = instance->Params();
        using host::ParamValue;
        params.SetValue(kParamSegments, ParamValue::Scalar(6));
        params.SetValue(kParamSubsteps, ParamValue::Scalar(2));
        params.SetValue(kParamPreRollFrames, ParamValue::Scalar(2));
        params.SetValue(kParamUseAllMasks, ParamValue::Scalar(1));
        params.SetValue(kParamPointA, ParamValue::Point(8, 8));
        params.SetKeyframes(kParamPointB,
                            {{0, ParamValue::Point(56, 8)}, {2, ParamValue::Point(40, 12)}});
        params.SetValue(kParamRopeLength, ParamValue::Scalar(70));
        instance->Masks().Add(false, {host::CornerVertex(0, 30), host::CornerVertex(64, 30),
                                      host::CornerVertex(64, 34)});
        instance->Masks().AddKeyframed(
            true, {host::MaskKeyframe{0,
                                      {host::CornerVertex(20, 20), host::CornerVertex(30, 20),
                                       host::CornerVertex(25, 26)}},
                   host::MaskKeyframe{2,
                                      {host::CornerVertex(22, 20), host::CornerVertex(32, 21),
                                       host::CornerVertex(27, 27)}}});
        return instance;
    }

    static CommandSettings PreRenderSettings() {
        CommandSettings settings;
        settings.currentTime = 2;
        return settings;
    }

    std::vector<Scenario> CpuScenarios() {
        std::vector<Scenario> scenarios;
        scenarios.push_back(
            {"About", Stage::About, PF_Cmd_ABOUT, [](const CommandSettings& settings) {
                 auto instance = NewInstance(false);
                 Ran run{instance->Run(PF_Cmd_ABOUT, settings)};
                 run.handedOver = run.result.out.return_msg[0] != '\0';
                 return run;
             }});
        scenarios.push_back({"global set-up", Stage::GlobalSetup, PF_Cmd_GLOBAL_SETUP,
                             [](CommandSettings settings) {
                                 auto instance = NewInstance(false);
                                 settings.applId = kPrMrApplId;
                                 return Ran{instance->Run(PF_Cmd_GLOBAL_SETUP, settings)};
                             }});
        scenarios.push_back({"parameter set-up", Stage::ParamsSetup, PF_Cmd_PARAMS_SETUP,
                             [](const CommandSettings& settings) {
                                 auto instance = NewInstance(false);
                                 Ran run{instance->Run(PF_Cmd_PARAMS_SETUP, settings)};
                                 run.handedOver = run.result.out.num_params != 0;
                                 return run;
                             }});
        scenarios.push_back({"smart pre-render", Stage::PreRender, PF_Cmd_SMART_PRE_RENDER,
                             [](CommandSettings settings) {
                                 auto instance = NewInstance();
                                 const CommandSettings frame = PreRenderSettings();
                                 settings.currentTime = frame.currentTime;
                                 host::PreRenderSession session(*instance, settings);
                                 Ran run{session.Run(*instance, settings)};
                                 run.handedOver = session.Record() != nullptr;
                                 return run;
                             }});
        for (PixelDepth depth : {PixelDepth::k8, PixelDepth::k16, PixelDepth::k32}) {
            for (bool composite : {false, true}) {
                const std::string name = "smart render " + std::to_string(BitsOf(depth)) +
                                         (composite ? " composited with markers" : " alone");
                scenarios.push_back({name, Stage::CpuRender, PF_Cmd_SMART_RENDER,
                                     [depth, composite](const CommandSettings& settings) {
                                         return RenderOnCpu(depth, composite, settings);
                                     }});
            }
        }
        return scenarios;
    }

    static int BitsOf(PixelDepth depth) {
        return depth == PixelDepth::k8 ? 8 : depth == PixelDepth::k16 ? 16 : 32;
    }

    static Ran RenderOnCpu(PixelDepth depth, bool composite, const CommandSettings& settings) {
        auto instance = NewInstance();
        instance->Params().SetValue(kParamCompositeOnOriginal, host::ParamValue::Scalar(composite));
        instance->Params().SetValue(kParamDisplaySegmentNodes, host::ParamValue::Scalar(composite));
        host::PreRenderSession preRender(*instance, PreRenderSettings());
        EXPECT_EQ(preRender.Run(*instance, PreRenderSettings()).err, PF_Err_NONE);
        ImageWorld input(kWidth, kHeight, depth), output(kWidth, kHeight, depth);
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                input.WriteFloat(x, y, {1.0f, 0.2f, 0.4f, 0.6f});
                output.WriteFloat(x, y, {0.5f, 0.9f, 0.1f, 0.3f});
            }
        }
        const std::vector<uint8_t> before = Bytes(output);
        host::SmartRenderSession session(input.World(), output.World(),
                                         const_cast<void*>(preRender.Record()));
        Ran run{session.Run(*instance, settings, false)};
        run.handedOver = Bytes(output) != before;
        return run;
    }

    // Runs every case of one scenario and reports how many ran.
    int SweepHostCalls(const Scenario& scenario) {
        SCOPED_TRACE(scenario.name);
        const Ran clean = scenario.run({});
        EXPECT_EQ(clean.result.err, PF_Err_NONE);
        EXPECT_TRUE(clean.result.Balanced()) << clean.result.BalanceReport();
        const int calls = clean.result.hostCalls;
        EXPECT_GT(calls, 0);
        for (int n = 1; n <= calls; ++n) {
            const Ran run = scenario.run(WithFailure({}, n));
            const CommandResult& result = run.result;
            if (result.failedCalls.size() != 1) {
                ADD_FAILURE() << "call " << n << " of " << calls << " was never made";
                continue;
            }
            const FailedCall failed = result.failedCalls.front();
            SCOPED_TRACE("host call " + std::to_string(n) + ", " + host::HostCallName(failed.call) +
                         " #" + std::to_string(failed.ordinal));
            const Row* row = FindRow(scenario.stage, failed.call);
            if (row == nullptr) {
                ADD_FAILURE() << "no expected outcome for " << host::HostCallName(failed.call)
                              << " in " << scenario.name;
                continue;
            }
            EXPECT_EQ(result.err, ExpectedResult(*row, failed, kInjected));
            EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
            if (row->ends && result.err != PF_Err_NONE) {
                EXPECT_FALSE(run.handedOver);
            }
        }
        return calls;
    }

    // Every code the command may answer when an allocation fails: out of
    // memory, or what a host call failing with out of memory leads to.
    static std::set<PF_Err> AllocationOutcomes(Stage stage) {
        std::set<PF_Err> codes{PF_Err_OUT_OF_MEMORY};
        for (const Row& row : kExpected) {
            if (row.stage == stage) {
                // Calls 1 and 5 of add_param: "Point A", looked at, and a group
                // start, not looked at.
                codes.insert(ExpectedResult(row, {row.call, 1}, PF_Err_OUT_OF_MEMORY));
                codes.insert(ExpectedResult(row, {row.call, 5}, PF_Err_OUT_OF_MEMORY));
            }
        }
        return codes;
    }

    long SweepAllocations(const Scenario& scenario) {
        SCOPED_TRACE(scenario.name + " (allocations)");
        sweptCommand = scenario.cmd;
        allocationToFail = 0;
        const Ran clean = scenario.run({});
        const long allocations = allocationsCounted;
        EXPECT_EQ(clean.result.err, PF_Err_NONE);
        const std::set<PF_Err> allowed = AllocationOutcomes(scenario.stage);
        for (long n = 1; n <= allocations; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
            allocationToFail = n;
            exceptionEscaped = false;
            const Ran run = scenario.run({});
            EXPECT_TRUE(allocationFailed);
            EXPECT_FALSE(exceptionEscaped);
            EXPECT_TRUE(allowed.count(run.result.err) == 1) << "result " << run.result.err;
            EXPECT_TRUE(run.result.Balanced()) << run.result.BalanceReport();
        }
        allocationToFail.reset();
        return allocations;
    }

    void SweepAll(const std::vector<Scenario>& scenarios) {
        const host::HandleCounts handlesBefore = host::CountHandles();
        int hostCases = 0;
        long allocationCases = 0;
        for (const Scenario& scenario : scenarios) {
            const int calls = SweepHostCalls(scenario);
            const long allocations = SweepAllocations(scenario);
            std::printf("sweep: %-40s %4d host-call cases, %5ld allocation cases\n",
                        scenario.name.c_str(), calls, allocations);
            hostCases += calls;
            allocationCases += allocations;
        }
        std::printf("sweep: %d host-call cases and %ld allocation cases in all\n", hostCases,
                    allocationCases);
        const host::HandleCounts handlesAfter = host::CountHandles();
        EXPECT_EQ(handlesAfter.made - handlesBefore.made,
                  handlesAfter.disposed - handlesBefore.disposed);
    }
};

TEST_F(FailureSweep, EveryCpuCommandSurvivesEachHostCallAndAllocationFailing) {
    SweepAll(CpuScenarios());
}

// The GPU commands on the OpenCL device this machine has (PoCL in CI).
class GpuFailureSweep : public FailureSweep {
  protected:
    static void SetUpTestSuite() { device_ = host::OpenCLDevice::Open().release(); }
    static void TearDownTestSuite() {
        delete device_;
        device_ = nullptr;
    }
    void SetUp() override {
        if (device_ == nullptr) {
            GTEST_SKIP() << "no OpenCL device";
        }
        offer_ = std::make_unique<host::ScopedGpuDeviceOffer>(kDevice, *device_);
    }
    void TearDown() override { offer_.reset(); }

    static CommandResult SetUpDevice(EffectInstance& instance, void** gpuData,
                                     const CommandSettings& settings = {}) {
        PF_GPUDeviceSetupInput input{PF_GPU_Framework_OPENCL, kDevice};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        CommandResult result = instance.Run(PF_Cmd_GPU_DEVICE_SETUP, settings, &extra);
        *gpuData = output.gpu_data;
        return result;
    }

    static CommandResult SetDownDevice(EffectInstance& instance, void* gpuData,
                                       const CommandSettings& settings = {}) {
        PF_GPUDeviceSetdownInput input{gpuData, PF_GPU_Framework_OPENCL, kDevice};
        PF_GPUDeviceSetdownExtra extra{&input};
        return instance.Run(PF_Cmd_GPU_DEVICE_SETDOWN, settings, &extra);
    }

    // A handle whose set-down could not dispose of it goes back as a host
    // would take it back: through its own handle suite.
    static void DisposeLeftHandle(EffectInstance& instance, void* gpuData) {
        auto suite = instance.Suites().Find(kPFHandleSuite, kPFHandleSuiteVersion1);
        static_cast<const PF_HandleSuite1*>(*suite)->host_dispose_handle(
            static_cast<PF_Handle>(gpuData));
    }

    std::vector<Scenario> GpuScenarios() {
        std::vector<Scenario> scenarios;
        scenarios.push_back({"GPU device set-up", Stage::GpuSetup, PF_Cmd_GPU_DEVICE_SETUP,
                             [](const CommandSettings& settings) {
                                 auto instance = NewInstance(false);
                                 void* gpuData = nullptr;
                                 Ran run{SetUpDevice(*instance, &gpuData, settings)};
                                 run.handedOver = gpuData != nullptr;
                                 if (gpuData != nullptr) {
                                     EXPECT_EQ(SetDownDevice(*instance, gpuData).err, PF_Err_NONE);
                                 }
                                 return run;
                             }});
        scenarios.push_back({"GPU smart render", Stage::GpuRender, PF_Cmd_SMART_RENDER_GPU,
                             [this](const CommandSettings& s) { return RenderOnGpu(s); }});
        scenarios.push_back({"GPU device set-down", Stage::GpuSetdown, PF_Cmd_GPU_DEVICE_SETDOWN,
                             [](const CommandSettings& settings) {
                                 auto instance = NewInstance(false);
                                 void* gpuData = nullptr;
                                 EXPECT_EQ(SetUpDevice(*instance, &gpuData).err, PF_Err_NONE);
                                 const host::HandleCounts before = host::CountHandles();
                                 Ran run{SetDownDevice(*instance, gpuData, settings)};
                                 if (host::CountHandles().disposed == before.disposed) {
                                     DisposeLeftHandle(*instance, gpuData);
                                 }
                                 return run;
                             }});
        return scenarios;
    }

    Ran RenderOnGpu(const CommandSettings& settings) {
        auto instance = NewInstance();
        void* gpuData = nullptr;
        EXPECT_EQ(SetUpDevice(*instance, &gpuData).err, PF_Err_NONE);
        host::PreRenderSession preRender(*instance, PreRenderSettings());
        EXPECT_EQ(preRender.Run(*instance, PreRenderSettings()).err, PF_Err_NONE);
        auto input = device_->NewWorld(kWidth, kHeight);
        auto output = device_->NewWorld(kWidth, kHeight);
        input->Fill({0.2f, 0.4f, 0.6f, 1.0f});
        output->Fill({0.9f, 0.1f, 0.3f, 0.5f});
        const std::vector<host::BgraPixel> before = output->ReadPixels();
        host::SmartRenderSession session(input->World(), output->World(),
                                         const_cast<void*>(preRender.Record()));
        session.UseGpu(PF_GPU_Framework_OPENCL, kDevice, gpuData);
        Ran run{session.Run(*instance, settings, true)};
        const std::vector<host::BgraPixel> after = output->ReadPixels();
        run.handedOver =
            std::memcmp(before.data(), after.data(), before.size() * sizeof(host::BgraPixel)) != 0;
        EXPECT_EQ(SetDownDevice(*instance, gpuData).err, PF_Err_NONE);
        return run;
    }

    static inline host::OpenCLDevice* device_ = nullptr;
    std::unique_ptr<host::ScopedGpuDeviceOffer> offer_;
};

// Allocations made inside the OpenCL platform and its compiler are not failed
// (opencl_outside_sweep.cpp).
TEST_F(GpuFailureSweep, EveryGpuCommandSurvivesEachHostCallAndAllocationFailing) {
    SweepAll(GpuScenarios());
}

}  // namespace
}  // namespace tarsivel
