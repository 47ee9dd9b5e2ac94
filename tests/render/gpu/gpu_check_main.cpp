// The check run on a machine with an NVIDIA GPU, through the Tarsivel.so
// beside this program and the reference host, as a compositing host drives it:
// prints the driver version and the devices, then compares CUDA frames with
// the CPU rasterizer and with the OpenCL text built by the GPU's own OpenCL
// driver where one is installed, the PTX image forced through the driver's JIT
// (CUDA_FORCE_PTX_JIT=1, in a second run of this program) with the machine
// code's frames, and times the kernel with CUDA events.
//
// Run as `tarsivel_gpu_check --dump-frames=FILE` it only writes the frames
// that the JIT comparison reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "host/gpu/cuda_device.h"
#include "host/gpu/opencl_device.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "host/protocol/plugin_library.h"
#include "host/protocol/smart_render_session.h"
#include "hostapi/pf_out_flags.h"
#include "tests/support/render_records.h"

namespace tarsivel {
namespace {

using host::BgraPixel;
using host::ImageWorld;
using host::PixelDepth;

constexpr float kTolerance = 2e-3f;
constexpr char kDumpOption[] = "--dump-frames=";

std::string& PluginPath() {
    static std::string path =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Tarsivel.so").string();
    return path;
}

host::PluginLibrary& Plugin() {
    static std::unique_ptr<host::PluginLibrary> library = [] {
        std::string error;
        auto loaded = host::PluginLibrary::Load(PluginPath(), error);
        if (!loaded || loaded->Register() != PF_Err_NONE) {
            std::fprintf(stderr, "cannot load %s: %s\n", PluginPath().c_str(), error.c_str());
            std::exit(2);
        }
        return loaded;
    }();
    return *library;
}

std::unique_ptr<host::CudaDevice>& Cuda() {
    static std::string why;
    static std::unique_ptr<host::CudaDevice> device = host::CudaDevice::Open(0, why);
    return device;
}

std::string CudaAbsence() {
    std::string why;
    return host::CudaDevice::Open(0, why) ? "" : why;
}

std::unique_ptr<host::OpenCLDevice>& OpenCL() {
    static std::unique_ptr<host::OpenCLDevice> device = host::OpenCLDevice::Open();
    return device;
}

// An instance of the loaded effect, set up on one GPU device (offered as
// device 0) for its lifetime.
class PluginOnDevice {
  public:
    PluginOnDevice(host::GpuDevice& device, int32_t width, int32_t height)
        : device_(device), offer_(0, device), instance_(Plugin().EntryPoint(), width, height) {
        EXPECT_EQ(instance_.Run(PF_Cmd_GLOBAL_SETUP).err, PF_Err_NONE);
        EXPECT_EQ(instance_.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
        PF_GPUDeviceSetupInput input{device.Framework(), 0};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        setup_ = instance_.Run(PF_Cmd_GPU_DEVICE_SETUP, {}, &extra);
        gpuData_ = output.gpu_data;
    }
    ~PluginOnDevice() {
        if (gpuData_ != nullptr) {
            PF_GPUDeviceSetdownInput input{gpuData_, device_.Framework(), 0};
            PF_GPUDeviceSetdownExtra extra{&input};
            EXPECT_EQ(instance_.Run(PF_Cmd_GPU_DEVICE_SETDOWN, {}, &extra).err, PF_Err_NONE);
        }
    }
    PluginOnDevice(const PluginOnDevice&) = delete;
    PluginOnDevice& operator=(const PluginOnDevice&) = delete;

    const host::CommandResult& SetUp() const { return setup_; }
    bool Accepted() const {
        return setup_.err == PF_Err_NONE &&
               (setup_.out.out_flags2 & PF_OutFlag2_SUPPORTS_GPU_RENDER_F32) != 0;
    }
    host::EffectInstance& Instance() { return instance_; }

    // One GPU smart render of `record` over `original`; `between` runs right
    // before and after the command (for timing).
    std::vector<BgraPixel> Render(const ImageWorld& original, RopeRenderData record, PF_Err* err,
                                  const std::function<void(bool after)>& between = {}) {
        auto input = device_.NewWorld(original.Width(), original.Height(), 256);
        auto output = device_.NewWorld(original.Width(), original.Height(), 256);
        input->Upload(original);
        device_.Finish();
        host::SmartRenderSession session(input->World(), output->World(), &record);
        session.UseGpu(device_.Framework(), 0, gpuData_);
        if (between) {
            between(false);
        }
        const host::CommandResult result = session.Run(instance_, {}, true);
        if (between) {
            between(true);
        }
        *err = result.err;
        EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
        device_.Finish();
        EXPECT_TRUE(output->PaddingIntact()) << device_.Name();
        return output->ReadPixels();
    }

  private:
    host::GpuDevice& device_;
    host::ScopedGpuDeviceOffer offer_;
    host::EffectInstance instance_;
    host::CommandResult setup_;
    void* gpuData_ = nullptr;
};

// The CPU rasterizer through the same loaded plug-in.
std::vector<BgraPixel> RenderOnCpu(const ImageWorld& original, RopeRenderData record) {
    host::EffectInstance instance(Plugin().EntryPoint(), original.Width(), original.Height());
    EXPECT_EQ(instance.Run(PF_Cmd_GLOBAL_SETUP).err, PF_Err_NONE);
    EXPECT_EQ(instance.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    ImageWorld input(original.Width(), original.Height(), PixelDepth::k32);
    input.CopyFrom(original);
    ImageWorld output(original.Width(), original.Height(), PixelDepth::k32);
    host::SmartRenderSession session(input.World(), output.World(), &record);
    EXPECT_EQ(session.Run(instance, {}, false).err, PF_Err_NONE);
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
    EXPECT_EQ(a.size(), b.size());
    float largest = a.size() == b.size() ? 0.0f : INFINITY;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        largest =
            std::max({largest, std::fabs(a[i].blue - b[i].blue), std::fabs(a[i].green - b[i].green),
                      std::fabs(a[i].red - b[i].red), std::fabs(a[i].alpha - b[i].alpha)});
    }
    return largest;
}

// Slightly transparent, so the blends of the paths are compared too.
RopeRenderData SaggingRope(int width, int height, int pieces, bool markers) {
    return testing::SaggingRope(width, height, pieces, markers, 0.85f);
}

std::unique_ptr<ImageWorld> Original(int32_t width, int32_t height) {
    auto original = std::make_unique<ImageWorld>(width, height, PixelDepth::k32);
    original->Fill(PF_PixelFloat{1.0f, 0.2f, 0.5f, 0.7f});  // opaque: the CPU blend agrees
    return original;
}

struct SizedRecord {
    int32_t width;
    int32_t height;
    RopeRenderData record;
};

// The frames both runs of the JIT comparison render, in order.
std::vector<SizedRecord> JitRecords() {
    std::vector<SizedRecord> records;
    for (bool composite : {false, true}) {
        RopeRenderData record = SaggingRope(100, 37, 48, true);
        record.compositeOnOriginal = composite;
        records.push_back({100, 37, record});
    }
    records.push_back({640, 360, SaggingRope(640, 360, 4096, true)});
    return records;
}

std::vector<std::vector<BgraPixel>> RenderJitRecords() {
    std::vector<std::vector<BgraPixel>> frames;
    PluginOnDevice cuda(*Cuda(), 640, 360);
    EXPECT_TRUE(cuda.Accepted()) << cuda.SetUp().out.return_msg;
    for (const SizedRecord& sized : JitRecords()) {
        PF_Err err = PF_Err_NONE;
        frames.push_back(cuda.Render(*Original(sized.width, sized.height), sized.record, &err));
        EXPECT_EQ(err, PF_Err_NONE);
    }
    return frames;
}

class VersionReport : public ::testing::Environment {
  public:
    void SetUp() override {
        std::printf("Plug-in: %s\n", PluginPath().c_str());
        std::printf("CUDA: %s\n", host::CudaDriverVersion().c_str());
        if (Cuda()) {
            std::printf(
                "CUDA device: %s, compute capability %d.%d (machine code for %s, "
                "PTX for 5.2)\n",
                Cuda()->Name().c_str(), Cuda()->ComputeCapability() / 10,
                Cuda()->ComputeCapability() % 10, TARSIVEL_CUDA_ARCHITECTURES_TEXT);
        } else {
            std::printf("CUDA device: none (%s)\n", CudaAbsence().c_str());
        }
        std::printf("OpenCL device: %s\n", OpenCL() ? OpenCL()->Name().c_str() : "none");
        std::fflush(stdout);
    }
};

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
    EXPECT_TRUE(Cuda() != nullptr) << CudaAbsence();
}

TEST_F(CudaCheck, DeviceSetUpLoadsTheModule) {
    PluginOnDevice cuda(*Cuda(), 64, 64);
    EXPECT_EQ(cuda.SetUp().err, PF_Err_NONE);
    EXPECT_EQ(cuda.SetUp().out.out_flags2, PF_OutFlags2(0x2000000)) << cuda.SetUp().out.return_msg;
    EXPECT_TRUE(cuda.SetUp().Balanced()) << cuda.SetUp().BalanceReport();
}

TEST_F(CudaCheck, FramesMatchTheCpuRasterizer) {
    PluginOnDevice cuda(*Cuda(), 1920, 1080);
    ASSERT_TRUE(cuda.Accepted()) << cuda.SetUp().out.return_msg;
    for (int pieces : {48, 4096}) {
        for (bool composite : {false, true}) {
            for (bool markers : {false, true}) {
                const int width = pieces > 1000 ? 1920 : 100;
                const int height = pieces > 1000 ? 1080 : 37;
                RopeRenderData record = SaggingRope(width, height, pieces, markers);
                record.compositeOnOriginal = composite;
                const auto original = Original(width, height);
                PF_Err err = PF_Err_NONE;
                const auto gpu = cuda.Render(*original, record, &err);
                ASSERT_EQ(err, PF_Err_NONE);
                const float largest = LargestDifference(gpu, RenderOnCpu(*original, record));
                std::printf(
                    "[ largest ] CUDA against CPU, %d pieces, composite %d, markers %d: "
                    "%.3g\n",
                    pieces, int(composite), int(markers), double(largest));
                EXPECT_LE(largest, kTolerance);
            }
        }
    }
}

TEST_F(CudaCheck, FramesDrawWhatOnlyTheGpuDraws) {
    PluginOnDevice cuda(*Cuda(), 64, 64);
    ImageWorld black(64, 64, PixelDepth::k32);
    RopeRenderData record;
    record.colorA = 1.0f;
    record.colorR = record.colorG = record.colorB = 1.0f;
    record.showNodes = true;
    record.points = {30.0f, 30.0f, 30.0f, 30.0f};  // degenerate: a dot
    record.segThickness = {8.0f, 8.0f};
    PF_Err err = PF_Err_NONE;
    auto pixels = cuda.Render(black, record, &err);
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(pixels[30 * 64 + 30].alpha, 1.0f);

    // All torn: no pieces, the markers still drawn.
    record.points.clear();
    record.segThickness.clear();
    record.nodePoints = {10.0f, 10.0f};
    record.nodeThickness = {3.0f};
    pixels = cuda.Render(black, record, &err);
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(pixels[10 * 64 + 10].red, 1.0f);
    EXPECT_EQ(pixels[10 * 64 + 10].alpha, 1.0f);
}

TEST_F(CudaCheck, AFailedLaunchDoesNotFailTheNextFrame) {
    PluginOnDevice cuda(*Cuda(), 64, 64);
    // More than 65535 rows of blocks is an invalid launch.
    ImageWorld tall(1, 65536 * 16 + 1, PixelDepth::k32);
    PF_Err err = PF_Err_NONE;
    cuda.Render(tall, SaggingRope(1, 100, 8, false), &err);
    EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    cuda.Render(ImageWorld(32, 32, PixelDepth::k32), SaggingRope(32, 32, 8, true), &err);
    EXPECT_EQ(err, PF_Err_NONE);
}

TEST_F(CudaCheck, FramesMatchTheOpenCLTextOnTheSameGpu) {
    if (!OpenCL()) {
        GTEST_SKIP() << "no OpenCL driver on this machine";
    }
    PluginOnDevice cuda(*Cuda(), 100, 37);
    PluginOnDevice opencl(*OpenCL(), 100, 37);
    ASSERT_TRUE(opencl.Accepted());
    const auto original = Original(100, 37);
    RopeRenderData record = SaggingRope(100, 37, 48, true);
    record.compositeOnOriginal = true;
    PF_Err cudaErr = PF_Err_NONE;
    PF_Err openclErr = PF_Err_NONE;
    const auto onCuda = cuda.Render(*original, record, &cudaErr);
    const auto onOpenCL = opencl.Render(*original, record, &openclErr);
    EXPECT_EQ(cudaErr, PF_Err_NONE);
    EXPECT_EQ(openclErr, PF_Err_NONE);
    const float largest = LargestDifference(onCuda, onOpenCL);
    std::printf("[ largest ] CUDA against OpenCL: %.3g\n", double(largest));
    EXPECT_LE(largest, kTolerance);
}

// The same frames from this program run again with the driver told to ignore
// the machine code and compile the PTX image.
TEST_F(CudaCheck, ThePtxImageThroughTheJitMatchesTheMachineCode) {
    const std::string file =
        (std::filesystem::temp_directory_path() / "tarsivel_jit_frames").string();
    std::filesystem::remove(file);
    const std::string command = "CUDA_FORCE_PTX_JIT=1 '" +
                                std::filesystem::read_symlink("/proc/self/exe").string() + "' " +
                                kDumpOption + file;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(file, std::ios::binary);
    const auto frames = RenderJitRecords();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::vector<BgraPixel> jit(frames[i].size());
        in.read(reinterpret_cast<char*>(jit.data()),
                std::streamsize(jit.size() * sizeof(BgraPixel)));
        ASSERT_TRUE(in) << "frame " << i << " missing from " << file;
        const float largest = LargestDifference(jit, frames[i]);
        std::printf("[ largest ] PTX through the JIT against machine code, frame %zu: %.3g\n", i,
                    double(largest));
        EXPECT_LE(largest, kTolerance);
    }
}

// Kernel time between two events on the default stream, around the render
// command: the four list uploads and the kernel.
TEST_F(CudaCheck, KernelTimes) {
    const CudaDriver& driver = Cuda()->Driver();
    for (auto [width, height, label] :
         {std::tuple{1920, 1080, "1080p"}, std::tuple{3840, 2160, "2160p"}}) {
        PluginOnDevice cuda(*Cuda(), width, height);
        ASSERT_TRUE(cuda.Accepted());
        const auto original = Original(width, height);
        for (int pieces : {64, 4096}) {
            const RopeRenderData record = SaggingRope(width, height, pieces, true);
            std::vector<double> times;
            for (int run = 0; run < 6; ++run) {
                CUevent start = nullptr;
                CUevent end = nullptr;
                auto mark = [&](bool after) {
                    ScopedCudaContext current(driver, Cuda()->Context());
                    if (!after) {
                        driver.cuEventCreate(&start, 0);
                        driver.cuEventCreate(&end, 0);
                        driver.cuEventRecord(start, nullptr);
                    } else {
                        driver.cuEventRecord(end, nullptr);
                    }
                };
                PF_Err err = PF_Err_NONE;
                cuda.Render(*original, record, &err, mark);
                ASSERT_EQ(err, PF_Err_NONE);
                float milliseconds = 0.0f;
                ScopedCudaContext current(driver, Cuda()->Context());
                driver.cuEventSynchronize(end);
                driver.cuEventElapsedTime(&milliseconds, start, end);
                driver.cuEventDestroy(start);
                driver.cuEventDestroy(end);
                if (run > 0) {  // the first run warms up
                    times.push_back(milliseconds);
                }
            }
            std::sort(times.begin(), times.end());
            std::printf("[ time ] %s, %d pieces, markers on: median %.3f ms, fastest %.3f ms\n",
                        label, pieces, times[times.size() / 2], times.front());
        }
    }
}

}  // namespace
}  // namespace tarsivel

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], tarsivel::kDumpOption, std::strlen(tarsivel::kDumpOption)) == 0) {
            // The second run of the JIT comparison: frames only.
            std::ofstream out(argv[i] + std::strlen(tarsivel::kDumpOption), std::ios::binary);
            if (!tarsivel::Cuda()) {
                return 2;
            }
            for (const auto& frame : tarsivel::RenderJitRecords()) {
                out.write(reinterpret_cast<const char*>(frame.data()),
                          std::streamsize(frame.size() * sizeof(tarsivel::host::BgraPixel)));
            }
            return out ? 0 : 2;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new tarsivel::VersionReport);
    return RUN_ALL_TESTS();
}
