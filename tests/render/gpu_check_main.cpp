// The self-contained check run on a machine with an NVIDIA GPU: prints the
// driver and runtime versions, then compares the CUDA kernel (through PTX
// just-in-time compilation where the GPU is newer than the built code) with the
// CPU rasterizer and with the OpenCL text built by the GPU's own OpenCL driver,
// where one is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "host/cuda_device.h"
#include "host/effect_instance.h"
#include "host/gpu_suites.h"
#include "host/image_world.h"
#include "host/opencl_device.h"
#include "render/gpu_device_setup.h"
#include "render/render_rope_cpu.h"
#include "render/render_rope_gpu.h"
#include "tests/support/render_records.h"

namespace tarsivel {
namespace {

using host::BgraPixel;
using host::GpuWorld;
using host::ImageWorld;
using host::PixelDepth;

constexpr A_u_long kCudaIndex = 0;
constexpr A_u_long kOpenCLIndex = 1;
constexpr float kTolerance = 2e-3f;

std::unique_ptr<host::CudaDevice>& Cuda() {
    static std::unique_ptr<host::CudaDevice> device = host::CudaDevice::Open();
    return device;
}

std::unique_ptr<host::OpenCLDevice>& OpenCL() {
    static std::unique_ptr<host::OpenCLDevice> device = host::OpenCLDevice::Open();
    return device;
}

template <class Call>
PF_Err RunCaught(host::EffectInstance& instance, Call call) {
    return instance
        .RunHandler([&](PF_InData* in, PF_OutData* out) -> PF_Err {
            try {
                return call(in, out);
            } catch (PF_Err err) {
                return err;
            }
        })
        .err;
}

// Slightly transparent, so the blends of the two paths are compared too.
RopeRenderData SaggingRope(int width, int height, int pieces, bool markers) {
    return testing::SaggingRope(width, height, pieces, markers, 0.85f);
}

class VersionReport : public ::testing::Environment {
  public:
    void SetUp() override {
        std::printf("CUDA: %s\n", host::CudaVersions().c_str());
        if (Cuda()) {
            std::printf("CUDA device: %s, compute capability %d.%d (kernel built for %s)\n",
                        Cuda()->Name().c_str(), Cuda()->ComputeCapability() / 10,
                        Cuda()->ComputeCapability() % 10, TARSIVEL_CUDA_ARCHITECTURES_TEXT);
        } else {
            std::printf("CUDA device: none\n");
        }
        std::printf("OpenCL device: %s\n", OpenCL() ? OpenCL()->Name().c_str() : "none");
        std::fflush(stdout);
    }
};

// Renders on `device` as GPU smart render would; `gpuData` from set-up.
std::vector<BgraPixel> RenderOn(host::GpuDevice& device, A_u_long index, const void* gpuData,
                                const ImageWorld& original, const RopeRenderData& record,
                                PF_Err* err) {
    host::ScopedGpuDeviceOffer offer(index, device);
    auto input = device.NewWorld(original.Width(), original.Height(), 256);
    auto output = device.NewWorld(original.Width(), original.Height(), 256);
    input->Upload(original);
    PF_SmartRenderInput smartInput{};
    smartInput.gpu_data = gpuData;
    smartInput.what_gpu = device.Framework();
    smartInput.device_index = index;
    PF_SmartRenderExtra extra{&smartInput, nullptr};
    host::EffectInstance instance(nullptr);
    *err = RunCaught(instance, [&](PF_InData* in, PF_OutData* out) {
        return RenderRopeGPU(in, out, PF_PixelFormat_GPU_BGRA128, input->World(), output->World(),
                             &extra, record);
    });
    device.Finish();
    EXPECT_TRUE(output->PaddingIntact()) << device.Name();
    return output->ReadPixels();
}

std::vector<BgraPixel> RenderOnCpu(const ImageWorld& original, const RopeRenderData& record) {
    ImageWorld input(original.Width(), original.Height(), PixelDepth::k32);
    input.CopyFrom(original);
    ImageWorld output(original.Width(), original.Height(), PixelDepth::k32);
    host::EffectInstance instance(nullptr);
    EXPECT_EQ(RunCaught(instance,
                        [&](PF_InData* in, PF_OutData* out) {
                            return RenderRopeCPU(in, out, PF_PixelFormat_ARGB128, input.World(),
                                                 output.World(), nullptr, record);
                        }),
              PF_Err_NONE);
    std::vector<BgraPixel> pixels;
    for (int32_t y = 0; y < output.Height(); ++y) {
        for (int32_t x = 0; x < output.Width(); ++x) {
            const PF_PixelFloat p = output.ReadFloat(x, y);
            pixels.push_back(BgraPixel{p.blue, p.green, p.red, p.alpha});
        }
    }
    return pixels;
}

float LargestDifference(const std::vector<BgraPixel>& a, const std::vector<BgraPixel>& b) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < a.size(); ++i) {
        largest =
            std::max({largest, std::fabs(a[i].blue - b[i].blue), std::fabs(a[i].green - b[i].green),
                      std::fabs(a[i].red - b[i].red), std::fabs(a[i].alpha - b[i].alpha)});
    }
    return largest;
}

class CudaCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Cuda()) {
            GTEST_SKIP() << "no CUDA device";
        }
    }
};

// The check is meant for a GPU machine: finding none there is a failure.
TEST(CudaPresence, ACudaDeviceIsPresent) {
    EXPECT_TRUE(Cuda() != nullptr) << host::CudaVersions();
}

TEST_F(CudaCheck, DeviceSetUpAcceptsCuda) {
    host::ScopedGpuDeviceOffer offer(kCudaIndex, *Cuda());
    host::EffectInstance instance(nullptr);
    PF_GPUDeviceSetupInput input{PF_GPU_Framework_CUDA, kCudaIndex};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    const auto result = instance.RunHandler(
        [&](PF_InData* in, PF_OutData* out) { return GPUDeviceSetup(in, out, &extra); });
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(result.out.out_flags2, PF_OutFlags2(0x2000000));
    EXPECT_EQ(output.gpu_data, nullptr);
}

TEST_F(CudaCheck, KernelMatchesTheCpuRasterizer) {
    for (bool composite : {false, true}) {
        for (bool markers : {false, true}) {
            ImageWorld original(100, 37, PixelDepth::k32);
            original.Fill(PF_PixelFloat{1.0f, 0.2f, 0.5f, 0.7f});  // opaque: both blends agree
            RopeRenderData record = SaggingRope(100, 37, 48, markers);
            record.compositeOnOriginal = composite;
            PF_Err err = PF_Err_NONE;
            const auto gpu = RenderOn(*Cuda(), kCudaIndex, nullptr, original, record, &err);
            ASSERT_EQ(err, PF_Err_NONE);
            const float largest = LargestDifference(gpu, RenderOnCpu(original, record));
            std::printf("[ largest ] CUDA against CPU, composite %d, markers %d: %.3g\n",
                        int(composite), int(markers), double(largest));
            EXPECT_LE(largest, kTolerance);
        }
    }
}

TEST_F(CudaCheck, KernelDrawsWhatOnlyTheGpuDraws) {
    ImageWorld black(64, 64, PixelDepth::k32);
    RopeRenderData record;
    record.colorA = 1.0f;
    record.colorR = record.colorG = record.colorB = 1.0f;
    record.showNodes = true;
    record.points = {30.0f, 30.0f, 30.0f, 30.0f};  // degenerate: a dot
    record.segThickness = {8.0f, 8.0f};
    PF_Err err = PF_Err_NONE;
    auto pixels = RenderOn(*Cuda(), kCudaIndex, nullptr, black, record, &err);
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(pixels[30 * 64 + 30].alpha, 1.0f);

    // All torn: no pieces, the markers still drawn.
    record.points.clear();
    record.segThickness.clear();
    record.nodePoints = {10.0f, 10.0f};
    record.nodeThickness = {3.0f};
    pixels = RenderOn(*Cuda(), kCudaIndex, nullptr, black, record, &err);
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(pixels[10 * 64 + 10].red, 1.0f);
    EXPECT_EQ(pixels[10 * 64 + 10].alpha, 1.0f);
}

TEST_F(CudaCheck, AFailedLaunchDoesNotFailTheNextFrame) {
    // More than 65535 rows of blocks is an invalid launch: a plain error, not a
    // sticky one, so the next frame must render.
    ImageWorld tall(1, 65536 * 16 + 1, PixelDepth::k32);
    RopeRenderData record = SaggingRope(1, 100, 8, false);
    PF_Err err = PF_Err_NONE;
    RenderOn(*Cuda(), kCudaIndex, nullptr, tall, record, &err);
    EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    ImageWorld small(32, 32, PixelDepth::k32);
    RenderOn(*Cuda(), kCudaIndex, nullptr, small, SaggingRope(32, 32, 8, true), &err);
    EXPECT_EQ(err, PF_Err_NONE);
}

TEST_F(CudaCheck, KernelMatchesTheOpenCLTextOnTheSameGpu) {
    if (!OpenCL()) {
        GTEST_SKIP() << "no OpenCL driver on this machine";
    }
    host::ScopedGpuDeviceOffer offer(kOpenCLIndex, *OpenCL());
    host::EffectInstance instance(nullptr);
    PF_GPUDeviceSetupInput input{PF_GPU_Framework_OPENCL, kOpenCLIndex};
    PF_GPUDeviceSetupOutput output{nullptr};
    PF_GPUDeviceSetupExtra extra{&input, &output};
    ASSERT_EQ(RunCaught(instance, [&](PF_InData* in,
                                      PF_OutData* out) { return GPUDeviceSetup(in, out, &extra); }),
              PF_Err_NONE);

    ImageWorld original(100, 37, PixelDepth::k32);
    original.Fill(PF_PixelFloat{0.6f, 0.2f, 0.5f, 0.7f});
    RopeRenderData record = SaggingRope(100, 37, 48, true);
    record.compositeOnOriginal = true;
    PF_Err cudaErr = PF_Err_NONE;
    PF_Err openclErr = PF_Err_NONE;
    const auto cuda = RenderOn(*Cuda(), kCudaIndex, nullptr, original, record, &cudaErr);
    const auto opencl =
        RenderOn(*OpenCL(), kOpenCLIndex, output.gpu_data, original, record, &openclErr);
    EXPECT_EQ(cudaErr, PF_Err_NONE);
    EXPECT_EQ(openclErr, PF_Err_NONE);
    const float largest = LargestDifference(cuda, opencl);
    std::printf("[ largest ] CUDA against OpenCL: %.3g\n", double(largest));
    EXPECT_LE(largest, kTolerance);

    PF_GPUDeviceSetdownInput downInput{output.gpu_data, PF_GPU_Framework_OPENCL, kOpenCLIndex};
    PF_GPUDeviceSetdownExtra downExtra{&downInput};
    RunCaught(instance, [&](PF_InData* in, PF_OutData* out) {
        return GPUDeviceSetdown(in, out, &downExtra);
    });
}

}  // namespace
}  // namespace tarsivel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new tarsivel::VersionReport);
    return RUN_ALL_TESTS();
}
