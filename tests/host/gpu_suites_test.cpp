// The reference host's GPU device suite, handle suite and GPU worlds.
#include <gtest/gtest.h>

#include <CL/cl.h>

#include <cstring>

#include "host/gpu/opencl_device.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "host/protocol/world_registry.h"
#include "hostapi/pf_suites.h"

namespace tarsivel::host {
namespace {

const PF_GPUDeviceSuite1& DeviceSuite(EffectInstance& instance) {
    return *static_cast<const PF_GPUDeviceSuite1*>(
        *instance.Suites().Find(kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1));
}

const PF_HandleSuite1& HandleSuite(EffectInstance& instance) {
    return *static_cast<const PF_HandleSuite1*>(
        *instance.Suites().Find(kPFHandleSuite, kPFHandleSuiteVersion1));
}

class OpenCLDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        device_ = OpenCLDevice::Open();
        if (device_ == nullptr) {
            GTEST_SKIP() << "no OpenCL device";
        }
    }
    std::unique_ptr<OpenCLDevice> device_;
    EffectInstance instance_{nullptr};
};

TEST(HandleSuite, MakesZeroedBlocksAndCountsThemBack) {
    EffectInstance instance(nullptr);
    const PF_HandleSuite1& handles = HandleSuite(instance);
    const HandleCounts before = CountHandles();
    PF_Handle handle = handles.host_new_handle(16);
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(*handle, nullptr);
    const char zeros[16] = {};
    EXPECT_EQ(std::memcmp(*handle, zeros, sizeof zeros), 0);
    EXPECT_EQ(HandleSize(handle), 16);
    EXPECT_EQ(CountHandles().Live(), before.Live() + 1);
    handles.host_dispose_handle(handle);
    EXPECT_EQ(CountHandles().Live(), before.Live());
    EXPECT_EQ(CountHandles().disposed, before.disposed + 1);
    EXPECT_EQ(HandleSize(handle), -1);
}

TEST(HandleSuite, ForeignOrRepeatedDisposalIsAMisuseAndFailedCreationIsNull) {
    EffectInstance instance(nullptr);
    const PF_HandleSuite1& handles = HandleSuite(instance);
    PF_Handle handle = handles.host_new_handle(8);
    handles.host_dispose_handle(handle);
    const auto twice = instance.RunHandler([&](PF_InData*, PF_OutData*) {
        handles.host_dispose_handle(handle);
        return PF_Err_NONE;
    });
    EXPECT_FALSE(twice.Balanced());

    CommandSettings settings;
    settings.failures.FailNth(HostCall::NewHandle, 1, 1);
    PF_Handle refused = reinterpret_cast<PF_Handle>(1);
    instance.RunHandler(
        [&](PF_InData*, PF_OutData*) {
            refused = handles.host_new_handle(8);
            return PF_Err_NONE;
        },
        settings);
    EXPECT_EQ(refused, nullptr);
}

TEST(GpuDeviceSuite, AnswersOnlyForOfferedDevicesAndGpuWorlds) {
    EffectInstance instance(nullptr);
    const PF_GPUDeviceSuite1& suite = DeviceSuite(instance);
    ImageWorld cpuWorld(4, 4, PixelDepth::k32);
    PF_Err infoErr = PF_Err_NONE;
    PF_Err worldErr = PF_Err_NONE;
    const auto result = instance.RunHandler([&](PF_InData* in, PF_OutData*) {
        PF_GPUDeviceInfo info{};
        infoErr = suite.GetDeviceInfo(in->effect_ref, 57, &info);
        void* pixels = nullptr;
        worldErr = suite.GetGPUWorldData(in->effect_ref, cpuWorld.World(), &pixels);
        return PF_Err_NONE;
    });
    EXPECT_EQ(infoErr, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(worldErr, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(result.imbalances.size(), 2u) << result.BalanceReport();
}

TEST_F(OpenCLDeviceTest, DeviceInfoCarriesTheContextQueueAndDevice) {
    ScopedGpuDeviceOffer offer(3, *device_);
    PF_GPUDeviceInfo info{};
    PF_Err err = PF_Err_NONE;
    instance_.RunHandler([&](PF_InData* in, PF_OutData*) {
        err = DeviceSuite(instance_).GetDeviceInfo(in->effect_ref, 3, &info);
        return PF_Err_NONE;
    });
    ASSERT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(info.device_framework, PF_GPU_Framework_OPENCL);
    EXPECT_EQ(info.contextPV, device_->Context());
    EXPECT_EQ(info.command_queuePV, device_->Queue());
    EXPECT_EQ(info.devicePV, device_->Device());
    EXPECT_NE(info.platformPV, nullptr);
    EXPECT_EQ(OpenCLDevice::Open("no device is called this"), nullptr);
}

TEST_F(OpenCLDeviceTest, WorldsRoundTripAndRegisterTheirMemoryAndFormat) {
    ImageWorld image(5, 3, PixelDepth::k8);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            image.Write8(x, y, PF_Pixel{255, A_u_char(x * 50), A_u_char(y * 80), 7});
        }
    }
    const PF_EffectWorld* registered = nullptr;
    {
        auto world = device_->NewWorld(5, 3, 40);
        registered = world->World();
        EXPECT_EQ(world->Rowbytes(), (5 + 3) * 16);  // padding rounded up to whole pixels
        EXPECT_EQ(RegisteredFormat(world->World()), PF_PixelFormat_GPU_BGRA128);
        world->Upload(image);
        const auto pixels = world->ReadPixels();
        EXPECT_FLOAT_EQ(pixels[1 * 5 + 4].red, 200.0f / 255.0f);  // B, G, R, A in memory
        EXPECT_FLOAT_EQ(pixels[1 * 5 + 4].green, 80.0f / 255.0f);
        EXPECT_FLOAT_EQ(pixels[1 * 5 + 4].blue, 7.0f / 255.0f);
        ImageWorld back(5, 3, PixelDepth::k8);
        world->Download(back);
        EXPECT_EQ(back.Read8(4, 1).red, 200);
        EXPECT_EQ(back.Read8(4, 1).blue, 7);
        EXPECT_TRUE(world->PaddingIntact());

        void* memory = nullptr;
        instance_.RunHandler([&](PF_InData* in, PF_OutData*) {
            return DeviceSuite(instance_).GetGPUWorldData(in->effect_ref, world->World(), &memory);
        });
        ASSERT_EQ(memory, world->DeviceMemory());

        // A write just past the last pixel of a row is seen.
        const float stray[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        clEnqueueWriteBuffer(device_->Queue(), static_cast<cl_mem>(memory), CL_TRUE, 5 * 16,
                             sizeof stray, stray, 0, nullptr, nullptr);
        EXPECT_FALSE(world->PaddingIntact());
    }
    EXPECT_FALSE(RegisteredFormat(registered).has_value());
}

}  // namespace
}  // namespace tarsivel::host
