// Rendering on a real OpenCL device (PoCL in CI) through the counting reference
// host: device set-up once per test suite, frames as GPU smart render would run
// them, and set-down at the end.
#ifndef TARSIVEL_TESTS_RENDER_GPU_TEST_SUPPORT_H
#define TARSIVEL_TESTS_RENDER_GPU_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>

#include "host/gpu/opencl_device.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "render/gpu/gpu_device_setup.h"
#include "render/gpu/render_rope_gpu.h"
#include "render/render_rope_cpu.h"
#include "tests/support/render_records.h"

namespace tarsivel::testing {

using host::BgraPixel;
using host::GpuWorld;
using host::ImageWorld;
using host::PixelDepth;

inline constexpr A_u_long kTestDeviceIndex = 0;

// Runs a handler-shaped call, catching a thrown code the way the dispatcher does.
template <class Call>
host::CommandResult RunCaught(host::EffectInstance& instance, Call call,
                              host::CommandSettings settings = {}) {
    return instance.RunHandler(
        [&](PF_InData* in_data, PF_OutData* out_data) -> PF_Err {
            try {
                return call(in_data, out_data);
            } catch (PF_Err err) {
                return err;
            }
        },
        settings);
}

// The CPU rasterizer on the same record, for comparisons.
inline host::CommandResult RenderOnCpu(host::EffectInstance& instance, ImageWorld& input,
                                       ImageWorld& output, const RopeRenderData& record) {
    return RunCaught(instance, [&](PF_InData* in, PF_OutData* out) {
        return RenderRopeCPU(in, out, output.Format(), input.World(), output.World(), nullptr,
                             record);
    });
}

inline host::CommandResult SetUpDevice(host::EffectInstance& instance, PF_GPU_Framework framework,
                                       void** gpuData, host::CommandSettings settings = {}) {
    PF_GPUDeviceSetupInput input{framework, kTestDeviceIndex};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    auto result = RunCaught(
        instance, [&](PF_InData* in, PF_OutData* out) { return GPUDeviceSetup(in, out, &extra); },
        settings);
    *gpuData = output.gpu_data;
    return result;
}

inline host::CommandResult SetDownDevice(host::EffectInstance& instance, PF_GPU_Framework framework,
                                         void* gpuData, host::CommandSettings settings = {}) {
    PF_GPUDeviceSetdownInput input{gpuData, framework, kTestDeviceIndex};
    PF_GPUDeviceSetdownExtra extra{&input};
    return RunCaught(
        instance, [&](PF_InData* in, PF_OutData* out) { return GPUDeviceSetdown(in, out, &extra); },
        settings);
}

// The OpenCL device offered at index 0, shared by the tests of one suite, with
// the kernel built once.
class OpenCLRenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        device_ = host::OpenCLDevice::Open().release();
        if (device_ == nullptr) {
            return;
        }
        host::OfferGpuDevice(kTestDeviceIndex, device_);
        instance_ = new host::EffectInstance(nullptr);
        setupResult_ = SetUpDevice(*instance_, PF_GPU_Framework_OPENCL, &gpuData_).err;
    }
    static void TearDownTestSuite() {
        if (instance_ != nullptr) {
            SetDownDevice(*instance_, PF_GPU_Framework_OPENCL, gpuData_);
        }
        host::OfferGpuDevice(kTestDeviceIndex, nullptr);
        delete instance_;
        delete device_;
        instance_ = nullptr;
        device_ = nullptr;
        gpuData_ = nullptr;
    }
    void SetUp() override {
        if (device_ == nullptr) {
            GTEST_SKIP() << "no OpenCL device";
        }
        ASSERT_EQ(setupResult_, PF_Err_NONE);
    }

    static bool HasDevice() { return device_ != nullptr; }
    static host::OpenCLDevice& Device() { return *device_; }
    static host::EffectInstance& Instance() { return *instance_; }
    static void* GpuData() { return gpuData_; }

    std::unique_ptr<GpuWorld> NewWorld(int32_t width, int32_t height, int32_t padding = 16) {
        return device_->NewWorld(width, height, padding);
    }

    // One GPU frame as GPU smart render would run it.
    static host::CommandResult Render(GpuWorld& input, GpuWorld& output,
                                      const RopeRenderData& record,
                                      PF_PixelFormat format = PF_PixelFormat_GPU_BGRA128,
                                      host::CommandSettings settings = {},
                                      PF_GPU_Framework framework = PF_GPU_Framework_OPENCL,
                                      const void* gpuData = gpuData_) {
        PF_SmartRenderInput smartInput{};
        smartInput.gpu_data = gpuData;
        smartInput.what_gpu = framework;
        smartInput.device_index = kTestDeviceIndex;
        PF_SmartRenderExtra extra{&smartInput, nullptr};
        return RunCaught(
            *instance_,
            [&](PF_InData* in, PF_OutData* out) {
                return RenderRopeGPU(in, out, format, input.World(), output.World(), &extra,
                                     record);
            },
            settings);
    }

    // Renders over a transparent-black input and returns the output's pixels.
    std::vector<BgraPixel> RenderOnBlack(int32_t width, int32_t height,
                                         const RopeRenderData& record) {
        auto input = NewWorld(width, height);
        auto output = NewWorld(width, height);
        EXPECT_EQ(Render(*input, *output, record).err, PF_Err_NONE);
        return output->ReadPixels();
    }

  private:
    static inline host::OpenCLDevice* device_ = nullptr;
    static inline host::EffectInstance* instance_ = nullptr;
    static inline void* gpuData_ = nullptr;
    static inline PF_Err setupResult_ = PF_Err_NONE;
};

inline const BgraPixel& At(const std::vector<BgraPixel>& pixels, int32_t width, int32_t x,
                           int32_t y) {
    return pixels[static_cast<std::size_t>(y) * width + x];
}

}  // namespace tarsivel::testing

#endif
