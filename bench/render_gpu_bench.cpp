// The rope kernel through the OpenCL path (on whatever device the first
// platform offers; PoCL on the build machines) against, in the same run, the
// plain loop (every work item over every piece and marker) and the CPU
// rasterizer on the same records. The plain loop takes seconds a frame on a
// CPU device, so iteration counts are fixed and small.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "bench/best_of.h"
#include "host/gpu/opencl_device.h"
#include "host/protocol/effect_instance.h"
#include "host/protocol/gpu_suites.h"
#include "host/protocol/image_world.h"
#include "render/gpu/gpu_device_setup.h"
#include "render/gpu/render_rope_gpu.h"
#include "render/render_rope_cpu.h"
#include "tests/support/render_records.h"
#include "tests/support/yardstick_kernels.h"

namespace tarsivel {
namespace {

using bench::BestOf;
using bench::Clock;
using bench::Seconds;
using testing::SaggingRope;

// One OpenCL device offered to the host with the kernel built, for the run.
struct OpenCLBench {
    std::unique_ptr<host::OpenCLDevice> device = host::OpenCLDevice::Open();
    host::EffectInstance instance{nullptr};
    void* gpuData = nullptr;
    std::unique_ptr<testing::YardstickKernel> plain;

    OpenCLBench() {
        if (device == nullptr) {
            return;
        }
        host::OfferGpuDevice(0, device.get());
        PF_GPUDeviceSetupInput input{PF_GPU_Framework_OPENCL, 0};
        PF_GPUDeviceSetupOutput output{nullptr};
        PF_GPUDeviceSetupExtra extra{&input, &output};
        instance.RunHandler(
            [&](PF_InData* in, PF_OutData* out) { return GPUDeviceSetup(in, out, &extra); });
        gpuData = output.gpu_data;
        plain = std::make_unique<testing::YardstickKernel>(device->Context(), device->Device(),
                                                           testing::kPlainKernelName);
    }
    ~OpenCLBench() {
        if (device == nullptr) {
            return;
        }
        plain.reset();
        PF_GPUDeviceSetdownInput input{gpuData, PF_GPU_Framework_OPENCL, 0};
        PF_GPUDeviceSetdownExtra extra{&input};
        instance.RunHandler(
            [&](PF_InData* in, PF_OutData* out) { return GPUDeviceSetdown(in, out, &extra); });
        host::OfferGpuDevice(0, nullptr);
    }
};

OpenCLBench& Shared() {
    static OpenCLBench bench;
    return bench;
}

// The CPU rasterizer on the record into 32-bit worlds, one frame.
class CpuFrame {
  public:
    CpuFrame(int width, int height, const RopeRenderData& record)
        : input_(width, height, host::PixelDepth::k32),
          output_(width, height, host::PixelDepth::k32),
          record_(record) {}
    PF_Err Render() {
        return instance_
            .RunHandler([&](PF_InData* in, PF_OutData* out) {
                return RenderRopeCPU(in, out, PF_PixelFormat_ARGB128, input_.World(),
                                     output_.World(), nullptr, record_);
            })
            .err;
    }

  private:
    host::EffectInstance instance_{nullptr};
    host::ImageWorld input_;
    host::ImageWorld output_;
    const RopeRenderData& record_;
};

// Times the plug-in's kernel; then, in the same run, the plain loop (best of
// 3, or 2 for long ropes) and the CPU rasterizer (best of 5) on the same
// record, reported as
// speedup_vs_plain (plain over culled) and cpu_ratio (culled over CPU), both
// from the best frames.
void BM_RenderRopeOpenCL(benchmark::State& state) {
    OpenCLBench& bench = Shared();
    if (bench.device == nullptr || bench.gpuData == nullptr || !bench.plain->Built()) {
        state.SkipWithError("no OpenCL device");
        return;
    }
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const RopeRenderData record =
        SaggingRope(width, height, int(state.range(2)), state.range(3) != 0);
    auto input = bench.device->NewWorld(width, height);
    auto output = bench.device->NewWorld(width, height);
    auto renderFrame = [&](const void* gpuData) {
        PF_SmartRenderInput smartInput{};
        smartInput.gpu_data = gpuData;
        smartInput.what_gpu = PF_GPU_Framework_OPENCL;
        PF_SmartRenderExtra extra{&smartInput, nullptr};
        const auto result = bench.instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
            return RenderRopeGPU(in, out, PF_PixelFormat_GPU_BGRA128, input->World(),
                                 output->World(), &extra, record);
        });
        // The render only queues the kernel: the frame is done when the queue is.
        bench.device->Finish();
        return result.err;
    };
    // The first launch may compile the kernel for its work-group size; untimed.
    renderFrame(bench.gpuData);
    renderFrame(bench.plain->GpuData());
    double best = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (renderFrame(bench.gpuData) != PF_Err_NONE) {
            state.SkipWithError("render failed");
            return;
        }
        best = std::min(best, Seconds(Clock::now() - start));
    }
    // The plain loop takes seconds for thousands of pieces.
    const double plain =
        BestOf(state.range(2) > 256 ? 2 : 3, [&] { renderFrame(bench.plain->GpuData()); });
    CpuFrame cpu(width, height, record);
    const double cpuBest = BestOf(5, [&] { cpu.Render(); });
    state.counters["best_ms"] = best * 1e3;
    state.counters["plain_ms"] = plain * 1e3;
    state.counters["cpu_ms"] = cpuBest * 1e3;
    state.counters["speedup_vs_plain"] = plain / best;
    state.counters["cpu_ratio"] = best / cpuBest;
    state.SetLabel(bench.device->Name());
}

void BM_RenderRopeCPU(benchmark::State& state) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const RopeRenderData record =
        SaggingRope(width, height, int(state.range(2)), state.range(3) != 0);
    CpuFrame frame(width, height, record);
    for (auto _ : state) {
        if (frame.Render() != PF_Err_NONE) {
            state.SkipWithError("render failed");
            return;
        }
    }
}

// Arguments: width, height, pieces, markers.
void Frames(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"w", "h", "pieces", "markers"});
    bench->Unit(benchmark::kMillisecond)->UseRealTime();
    for (int markers : {0, 1}) {
        bench->Args({1920, 1080, 64, markers});
    }
    for (int markers : {0, 1}) {
        bench->Args({960, 540, 4096, markers});
    }
}

BENCHMARK(BM_RenderRopeOpenCL)->Apply(Frames)->Iterations(10);
BENCHMARK(BM_RenderRopeCPU)->Apply(Frames)->Iterations(5);

}  // namespace
}  // namespace tarsivel
