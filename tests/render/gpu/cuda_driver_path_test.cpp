// The CUDA path end to end without a GPU: the loaded plug-in and the reference
// host against the fake driver library, which the test runs find under the
// driver's own name through the library path. Device set-up loads the module
// from the embedded fatbin, every frame uploads, launches, synchronises and
// frees, and set-down gives everything back.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/gpu/cuda_device.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/smart_render_session.h"
#include "host/scenes/frame_renderer.h"
#include "host/scenes/scene.h"
#include "host/scenes/scene_setup.h"
#include "hostapi/pf_out_flags.h"
#include "hostapi/pf_suites.h"
#include "physics/rope_render_data.h"
#include "support/loaded_plugin.h"
#include "tests/support/embedded_fatbin_check.h"
#include "tests/support/fake_cuda/fake_cuda_state.h"
#include "tests/support/render_records.h"

namespace tarsivel::testing {
namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 37;

bool HasDeviceCode() {
    return std::strlen(TARSIVEL_CUDA_FATBIN_PATH) != 0;
}

// The fake's entry points beyond the driver's, from the library the plug-in
// and the host load.
struct FakeControls {
    FakeCudaState* (*state)() = nullptr;
    CUcontext (*makeContext)() = nullptr;
    int (*depth)() = nullptr;
};

FakeControls Controls() {
    FakeControls controls;
    void* library = dlopen("libcuda.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return controls;
    }
    void* state = dlsym(library, "FakeCudaDriverState");
    void* make = dlsym(library, "FakeCudaMakeContext");
    void* depth = dlsym(library, "FakeCudaContextDepth");
    std::memcpy(&controls.state, &state, sizeof state);
    std::memcpy(&controls.makeContext, &make, sizeof make);
    std::memcpy(&controls.depth, &depth, sizeof depth);
    return controls;
}

host::Scene RopeScene(bool showNodes, bool composite) {
    return host::ReadSceneText(R"({"format": "tarsivel-scene/1",
        "layer": {"width": 100, "height": 37},
        "time": {"fps": 30, "frames": 2},
        "params": {"Point A": [10, 8], "Point B": [90, 8], "Rope Length": 110,
                   "Segments": 6, "Thickness Start": 5, "Thickness End": 2,
                   "Rope Color": "#40C0E0", "Composite On Original": )" +
                                   std::string(composite ? "true" : "false") +
                                   R"(, "Display Segment Nodes": )" +
                                   std::string(showNodes ? "true" : "false") + "}}",
                               "rope.json");
}

template <class T>
T ValueOf(const std::vector<uint8_t>& bytes) {
    T value{};
    EXPECT_EQ(bytes.size(), sizeof value);
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

std::vector<uint8_t> BytesOf(const std::vector<float>& list) {
    std::vector<uint8_t> bytes(list.size() * sizeof(float));
    std::memcpy(bytes.data(), list.data(), bytes.size());
    return bytes;
}

TEST(CudaDeviceCode, ThePluginEmbedsTheFatbinWithPtxForSm52AndMachineCode) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    ExpectEmbeddedRopeKernelFatbin(TARSIVEL_PLUGIN_PATH, TARSIVEL_CUDA_FATBIN_PATH,
                                   TARSIVEL_CUDA_MACHINE_ARCHITECTURES);
}

class CudaDriverPathTest : public LoadedPluginFixture {
  protected:
    void SetUp() override {
        controls_ = Controls();
        if (controls_.state == nullptr) {
            GTEST_SKIP() << "the fake CUDA driver is not on the library path";
        }
        fake = controls_.state();
        std::string why;
        device = host::CudaDevice::Open(0, why);
        ASSERT_NE(device, nullptr) << why;
        LoadedPluginFixture::SetUp();
        instance = std::make_unique<host::EffectInstance>(library->EntryPoint(), kWidth, kHeight);
        ASSERT_EQ(Run(PF_Cmd_GLOBAL_SETUP).err, PF_Err_NONE);
        ASSERT_EQ(Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
        offer = std::make_unique<host::ScopedGpuDeviceOffer>(0, *device);
        fake->ClearRecord();
        hostRetains = fake->primaryRetains;
        allocationsBefore = fake->allocations.size();
    }
    void TearDown() override {
        if (gpuData != nullptr) {
            SetDown();
        }
        offer.reset();
        instance.reset();
        device.reset();
        if (fake != nullptr) {
            fake->ClearRecord();
        }
    }

    host::CommandResult SetUpCuda(const host::CommandSettings& settings = {}) {
        PF_GPUDeviceSetupInput input{PF_GPU_Framework_CUDA, 0};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        const host::CommandResult result = instance->Run(PF_Cmd_GPU_DEVICE_SETUP, settings, &extra);
        gpuData = output.gpu_data;
        return result;
    }
    host::CommandResult SetDown() {
        PF_GPUDeviceSetdownInput input{gpuData, PF_GPU_Framework_CUDA, 0};
        PF_GPUDeviceSetdownExtra extra{&input};
        gpuData = nullptr;
        return instance->Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &extra);
    }
    // Frame 1 of the scene on the device; the record is kept for comparison.
    host::FrameOutcome RenderFrame(bool showNodes = false, bool composite = true) {
        scene = RopeScene(showNodes, composite);
        scene.depth = 32;
        std::vector<std::string> warnings;
        host::ApplyScene(scene, *instance, warnings);
        host::FrameRenderer renderer(*instance, scene, 32, 1, device.get(), 0, gpuData);
        renderer.InspectRecords([this](int32_t, const void* handedOver) {
            record = *static_cast<const RopeRenderData*>(handedOver);
        });
        return renderer.Render(1);
    }
    // One GPU smart render of a hand-made record over worlds made beforehand,
    // so that the driver calls counted are the plug-in's alone.
    host::CommandResult RenderRecord(RopeRenderData& handMade, host::GpuWorld& input,
                                     host::GpuWorld& output) {
        host::SmartRenderSession session(input.World(), output.World(), &handMade);
        session.UseGpu(PF_GPU_Framework_CUDA, 0, gpuData);
        return session.Run(*instance, {}, true);
    }
    // What is left of the plug-in's own on the device and the thread.
    void ExpectNothingLeftOver() {
        EXPECT_EQ(fake->allocations.size(), allocationsBefore);
        EXPECT_EQ(controls_.depth(), 0);
    }

    FakeControls controls_;
    FakeCudaState* fake = nullptr;
    std::unique_ptr<host::CudaDevice> device;
    std::unique_ptr<host::ScopedGpuDeviceOffer> offer;
    void* gpuData = nullptr;
    host::Scene scene;
    RopeRenderData record;
    int hostRetains = 0;
    std::size_t allocationsBefore = 0;
};

TEST_F(CudaDriverPathTest, SetUpLoadsTheEmbeddedModuleAndSetDownReleasesIt) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    const long handlesBefore = host::CountHandles().Live();
    const auto setup = SetUpCuda();
    ASSERT_EQ(setup.err, PF_Err_NONE);
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0x2000000));
    ASSERT_NE(gpuData, nullptr);
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore + 1);
    // No context was current, so the device's primary context was taken.
    EXPECT_EQ(fake->primaryRetains, hostRetains + 1);
    ASSERT_EQ(fake->modules.size(), 1u);
    const FakeModule& module = fake->modules.begin()->second;
    EXPECT_EQ(module.imageSize, ReadWholeFile(TARSIVEL_CUDA_FATBIN_PATH).size());
    EXPECT_EQ(module.entries.at("RenderRopeKernel").size(), 19u);
    EXPECT_EQ(fake->Calls("cuModuleGetFunction"), 1);
    EXPECT_EQ(controls_.depth(), 0);

    const auto setdown = SetDown();
    EXPECT_EQ(setdown.err, PF_Err_NONE);
    EXPECT_TRUE(setdown.Balanced()) << setdown.BalanceReport();
    EXPECT_TRUE(fake->modules.empty());
    EXPECT_EQ(fake->modulesUnloaded, fake->modulesLoaded);
    EXPECT_EQ(fake->primaryRetains, hostRetains);
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore);
    EXPECT_EQ(controls_.depth(), 0);
}

TEST_F(CudaDriverPathTest, TheThreadsCurrentContextIsUsedAndNeverDestroyed) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    CUcontext hostContext = controls_.makeContext();
    ASSERT_EQ(device->Driver().cuCtxPushCurrent(hostContext), CUDA_SUCCESS);
    const auto setup = SetUpCuda();
    EXPECT_EQ(setup.err, PF_Err_NONE);
    ASSERT_EQ(fake->modules.size(), 1u);
    EXPECT_EQ(fake->modules.begin()->second.context, hostContext);
    EXPECT_EQ(fake->primaryRetains, hostRetains);
    EXPECT_EQ(fake->Calls("cuDevicePrimaryCtxRetain"), 0);

    const host::FrameOutcome frame = RenderFrame();
    EXPECT_EQ(frame.err, PF_Err_NONE) << frame.contractProblems;
    ASSERT_EQ(fake->launches.size(), 1u);
    EXPECT_EQ(fake->launches[0].context, hostContext);

    EXPECT_EQ(SetDown().err, PF_Err_NONE);
    EXPECT_EQ(fake->Calls("cuDevicePrimaryCtxRelease_v2"), 0);
    // The host's context is still the thread's, untouched.
    CUcontext current = nullptr;
    EXPECT_EQ(device->Driver().cuCtxGetCurrent(&current), CUDA_SUCCESS);
    EXPECT_EQ(current, hostContext);
    CUcontext popped = nullptr;
    EXPECT_EQ(device->Driver().cuCtxPopCurrent(&popped), CUDA_SUCCESS);
    EXPECT_EQ(controls_.depth(), 0);
}

TEST_F(CudaDriverPathTest, AFrameLaunchesTheNineteenArgumentsOverSixteenBySixteenBlocks) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    ASSERT_EQ(SetUpCuda().err, PF_Err_NONE);
    // Markers on and compositing off, and a colour whose four channels all
    // differ, so that no two neighbouring arguments could trade places unseen.
    const host::FrameOutcome frame = RenderFrame(true, false);
    ASSERT_EQ(frame.err, PF_Err_NONE) << frame.contractProblems;
    ASSERT_EQ(fake->launches.size(), 1u);
    const FakeLaunch& launch = fake->launches[0];
    // 100 x 37 pixels: 7 x 3 blocks.
    EXPECT_EQ(std::vector<unsigned>(launch.grid, launch.grid + 3),
              (std::vector<unsigned>{7, 3, 1}));
    EXPECT_EQ(std::vector<unsigned>(launch.block, launch.block + 3),
              (std::vector<unsigned>{16, 16, 1}));
    EXPECT_EQ(launch.sharedBytes, 0u);
    EXPECT_EQ(launch.stream, nullptr);

    ASSERT_EQ(launch.parameters.size(), 19u);
    std::vector<std::size_t> sizes;
    for (const auto& parameter : launch.parameters) {
        sizes.push_back(parameter.size());
    }
    EXPECT_EQ(sizes,
              (std::vector<std::size_t>{8, 8, 4, 4, 4, 4, 4, 8, 4, 8, 4, 4, 4, 4, 8, 8, 4, 4, 4}));
    const auto& p = launch.parameters;
    // The worlds are the host's allocations; the pitch is rowbytes / 16.
    EXPECT_GT(launch.pointedBytes[0].size(), 0u);
    EXPECT_GT(launch.pointedBytes[1].size(), 0u);
    EXPECT_NE(ValueOf<CUdeviceptr>(p[0]), ValueOf<CUdeviceptr>(p[1]));
    EXPECT_GE(ValueOf<int>(p[2]), kWidth);
    EXPECT_EQ(ValueOf<int>(p[2]), ValueOf<int>(p[3]));
    EXPECT_EQ(ValueOf<int>(p[4]), 0);
    EXPECT_EQ(ValueOf<unsigned>(p[5]), unsigned(kWidth));
    EXPECT_EQ(ValueOf<unsigned>(p[6]), unsigned(kHeight));
    ASSERT_FALSE(record.points.empty());
    EXPECT_EQ(launch.pointedBytes[7], BytesOf(record.points));
    EXPECT_EQ(ValueOf<int>(p[8]), int(record.points.size() / 4));
    EXPECT_EQ(launch.pointedBytes[9], BytesOf(record.segThickness));
    EXPECT_EQ(ValueOf<float>(p[10]), record.colorR);
    EXPECT_EQ(ValueOf<float>(p[11]), record.colorG);
    EXPECT_EQ(ValueOf<float>(p[12]), record.colorB);
    EXPECT_EQ(ValueOf<float>(p[13]), record.colorA);
    EXPECT_EQ(launch.pointedBytes[14], BytesOf(record.nodePoints));
    EXPECT_EQ(launch.pointedBytes[15], BytesOf(record.nodeThickness));
    EXPECT_EQ(ValueOf<int>(p[16]), int(record.nodePoints.size() / 2));
    EXPECT_EQ(ValueOf<int>(p[17]), 1);
    EXPECT_EQ(ValueOf<int>(p[18]), 0);
    EXPECT_NE(record.colorB, record.colorA);

    // The four buffers are freed once the kernel has finished, and the
    // thread's context is given back last.
    const auto& calls = fake->calls;
    const auto launched = std::find(calls.begin(), calls.end(), "cuLaunchKernel");
    ASSERT_GE(calls.end() - launched, 7);
    EXPECT_EQ(std::vector<std::string>(launched + 1, launched + 7),
              (std::vector<std::string>{"cuCtxSynchronize", "cuMemFree_v2", "cuMemFree_v2",
                                        "cuMemFree_v2", "cuMemFree_v2", "cuCtxPopCurrent_v2"}));
    ExpectNothingLeftOver();
}

TEST_F(CudaDriverPathTest, EachFailingDriverCallIs512WithEverythingFreedAndTheNextFrameDrawn) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    ASSERT_EQ(SetUpCuda().err, PF_Err_NONE);
    auto input = device->NewWorld(40, 20);
    auto output = device->NewWorld(40, 20);
    RopeRenderData handMade = SaggingRope(40, 20, 8, true);
    const std::size_t worlds = fake->allocations.size();
    const struct {
        const char* call;
        int nth;
    } failures[] = {{"cuCtxPushCurrent_v2", 1}, {"cuMemAlloc_v2", 1},   {"cuMemAlloc_v2", 2},
                    {"cuMemAlloc_v2", 4},       {"cuMemcpyHtoD_v2", 1}, {"cuMemcpyHtoD_v2", 3},
                    {"cuMemcpyHtoD_v2", 4},     {"cuLaunchKernel", 1},  {"cuCtxSynchronize", 1}};
    for (const auto& failure : failures) {
        SCOPED_TRACE(std::string(failure.call) + " #" + std::to_string(failure.nth));
        fake->ClearRecord();
        fake->FailNth(failure.call, failure.nth, CUDA_ERROR_OUT_OF_MEMORY);
        const host::CommandResult failed = RenderRecord(handMade, *input, *output);
        EXPECT_EQ(failed.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_TRUE(failed.Balanced()) << failed.BalanceReport();
        EXPECT_TRUE(fake->failures.empty()) << "the planned failure never came";
        EXPECT_EQ(fake->allocations.size(), worlds);
        EXPECT_EQ(controls_.depth(), 0);

        fake->ClearRecord();
        EXPECT_EQ(RenderRecord(handMade, *input, *output).err, PF_Err_NONE);
        EXPECT_EQ(fake->launches.size(), 1u);
        EXPECT_EQ(fake->allocations.size(), worlds);
    }
}

TEST_F(CudaDriverPathTest, EmptyListsUploadOneElementEach) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    ASSERT_EQ(SetUpCuda().err, PF_Err_NONE);
    auto input = device->NewWorld(20, 12);
    auto output = device->NewWorld(20, 12);
    // Every link torn and markers on: no pieces, two markers.
    RopeRenderData handMade = OpaqueRecord(1.0f, 1.0f, 1.0f);
    handMade.showNodes = true;
    AddNode(handMade, 6.0f, 6.0f, 2.0f);
    AddNode(handMade, 14.0f, 6.0f, 2.0f);
    fake->ClearRecord();
    ASSERT_EQ(RenderRecord(handMade, *input, *output).err, PF_Err_NONE);
    ASSERT_EQ(fake->launches.size(), 1u);
    const FakeLaunch& launch = fake->launches[0];
    EXPECT_EQ(launch.pointedBytes[7].size(), sizeof(float));
    EXPECT_EQ(ValueOf<int>(launch.parameters[8]), 0);
    EXPECT_EQ(launch.pointedBytes[9].size(), sizeof(float));
    EXPECT_EQ(launch.pointedBytes[14], BytesOf(handMade.nodePoints));
    EXPECT_EQ(ValueOf<int>(launch.parameters[16]), 2);
    // 20 x 12 pixels: 2 x 1 blocks.
    EXPECT_EQ(std::vector<unsigned>(launch.grid, launch.grid + 3),
              (std::vector<unsigned>{2, 1, 1}));
}

TEST_F(CudaDriverPathTest, ADeviceWhoseModuleCannotBeHadIsDeclinedWithEverythingGivenBack) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    const long handlesBefore = host::CountHandles().Live();
    for (const char* call : {"cuModuleLoadData", "cuModuleGetFunction", "cuDevicePrimaryCtxRetain",
                             "cuCtxPushCurrent_v2", "cuDeviceGet"}) {
        SCOPED_TRACE(call);
        fake->ClearRecord();
        fake->FailNth(call, 1, CUDA_ERROR_NO_BINARY_FOR_GPU);
        const auto setup = SetUpCuda();
        EXPECT_EQ(setup.err, PF_Err_NONE);
        EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
        EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0));
        EXPECT_EQ(gpuData, nullptr);
        EXPECT_NE(std::string(setup.out.return_msg), "");
        EXPECT_EQ(host::CountHandles().Live(), handlesBefore);
        EXPECT_TRUE(fake->modules.empty());
        EXPECT_EQ(fake->primaryRetains, hostRetains);
        EXPECT_EQ(controls_.depth(), 0);
    }
    fake->ClearRecord();
    fake->FailNth("cuModuleLoadData", 1, CUDA_ERROR_NO_BINARY_FOR_GPU);
    EXPECT_EQ(std::string(SetUpCuda().out.return_msg),
              "the kernel's CUDA module cannot be loaded on this GPU: "
              "CUDA_ERROR_NO_BINARY_FOR_GPU (209)");
}

TEST_F(CudaDriverPathTest, AHandleTheHostCannotMakeIs512WithTheModuleAndContextGivenBack) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    host::CommandSettings settings;
    settings.failures.FailAlways(host::HostCall::NewHandle, 1);
    const auto setup = SetUpCuda(settings);
    EXPECT_EQ(setup.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(setup.Balanced()) << setup.BalanceReport();
    EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0));
    EXPECT_EQ(gpuData, nullptr);
    EXPECT_TRUE(fake->modules.empty());
    EXPECT_EQ(fake->modulesUnloaded, fake->modulesLoaded);
    EXPECT_EQ(fake->primaryRetains, hostRetains);
    EXPECT_EQ(controls_.depth(), 0);
}

TEST_F(CudaDriverPathTest, SetDownWithoutTheHandleSuiteHasReleasedTheModuleAlready) {
    if (!HasDeviceCode()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    const long handlesBefore = host::CountHandles().Live();
    ASSERT_EQ(SetUpCuda().err, PF_Err_NONE);
    void* handle = gpuData;
    gpuData = nullptr;

    host::EffectInstance withoutHandles(library->EntryPoint(), kWidth, kHeight);
    withoutHandles.Suites().Withdraw(kPFHandleSuite, kPFHandleSuiteVersion1);
    PF_GPUDeviceSetdownInput input{handle, PF_GPU_Framework_CUDA, 0};
    PF_GPUDeviceSetdownExtra extra{&input};
    const auto failed = withoutHandles.Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &extra);
    EXPECT_EQ(failed.err, A_Err_MISSING_SUITE);
    EXPECT_TRUE(fake->modules.empty());
    EXPECT_EQ(fake->primaryRetains, hostRetains);
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore + 1) << "the handle is not disposed";

    // A later set-down with the suite back gives the handle back and releases
    // nothing a second time.
    fake->ClearRecord();
    EXPECT_EQ(instance->Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &extra).err, PF_Err_NONE);
    EXPECT_EQ(fake->Calls("cuModuleUnload"), 0);
    EXPECT_EQ(fake->Calls("cuDevicePrimaryCtxRelease_v2"), 0);
    EXPECT_EQ(host::CountHandles().Live(), handlesBefore);
}

TEST_F(CudaDriverPathTest, ACudaFrameWithoutGpuDataIs512AndTouchesNothing) {
    auto input = device->NewWorld(20, 12);
    auto output = device->NewWorld(20, 12);
    RopeRenderData handMade = SaggingRope(20, 12, 8, true);
    fake->ClearRecord();
    const host::CommandResult result = RenderRecord(handMade, *input, *output);
    EXPECT_EQ(result.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(fake->Calls("cuMemAlloc_v2"), 0);
    EXPECT_EQ(fake->Calls("cuLaunchKernel"), 0);
    EXPECT_EQ(controls_.depth(), 0);
}

TEST_F(CudaDriverPathTest, ABuildWithoutDeviceCodeDeclines) {
    if (HasDeviceCode()) {
        GTEST_SKIP() << "built with CUDA device code";
    }
    const auto setup = SetUpCuda();
    EXPECT_EQ(setup.err, PF_Err_NONE);
    EXPECT_EQ(setup.out.out_flags2, PF_OutFlags2(0));
    EXPECT_EQ(gpuData, nullptr);
    EXPECT_EQ(std::string(setup.out.return_msg),
              "this build of the plug-in holds no CUDA device code");
    EXPECT_EQ(fake->primaryRetains, hostRetains);
}

}  // namespace
}  // namespace tarsivel::testing
