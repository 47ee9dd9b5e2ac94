// The rope kernel through the OpenCL path (on whatever device the first
// platform offers; PoCL on the build machines) against the CPU rasterizer on
// the same records. The per-pixel loop visits every piece, so iteration counts
// are fixed and small.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

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

using testing::SaggingRope;

// One OpenCL device offered to the host with the kernel built, for the run.
struct OpenCLBench {
    std::unique_ptr<host::OpenCLDevice> device = host::OpenCLDevice::Open();
    host::EffectInstance instance{nullptr};
    void* gpuData = nullptr;

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
    }
    ~OpenCLBench() {
        if (device == nullptr) {
            return;
        }
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

void BM_RenderRopeOpenCL(benchmark::State& state) {
    OpenCLBench& bench = Shared();
    if (bench.device == nullptr || bench.gpuData == nullptr) {
        state.SkipWithError("no OpenCL device");
        return;
    }
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const RopeRenderData record =
        SaggingRope(width, height, int(state.range(2)), state.range(3) != 0);
    auto input = bench.device->NewWorld(width, height);
    auto output = bench.device->NewWorld(width, height);
    PF_SmartRenderInput smartInput{};
    smartInput.gpu_data = bench.gpuData;
    smartInput.what_gpu = PF_GPU_Framework_OPENCL;
    PF_SmartRenderExtra extra{&smartInput, nullptr};
    auto renderFrame = [&] {
        return bench.instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
            return RenderRopeGPU(in, out, PF_PixelFormat_GPU_BGRA128, input->World(),
                                 output->World(), &extra, record);
        });
    };
    // The first launch may compile the kernel for its work-group size; untimed.
    renderFrame();
    bench.device->Finish();
    for (auto _ : state) {
        const auto result = renderFrame();
        // The render only queues the kernel: the frame is done when the queue is.
        bench.device->Finish();
        if (result.err != PF_Err_NONE) {
            state.SkipWithError("render failed");
            return;
        }
    }
    state.SetLabel(bench.device->Name());
}

void BM_RenderRopeCPU(benchmark::State& state) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    const RopeRenderData record =
        SaggingRope(width, height, int(state.range(2)), state.range(3) != 0);
    host::EffectInstance instance(nullptr);
    host::ImageWorld input(width, height, host::PixelDepth::k32);
    host::ImageWorld output(width, height, host::PixelDepth::k32);
    for (auto _ : state) {
        const auto result = instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
            return RenderRopeCPU(in, out, PF_PixelFormat_ARGB128, input.World(), output.World(),
                                 nullptr, record);
        });
        if (result.err != PF_Err_NONE) {
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

BENCHMARK(BM_RenderRopeOpenCL)->Apply(Frames)->Iterations(2);
BENCHMARK(BM_RenderRopeCPU)->Apply(Frames)->Iterations(5);

}  // namespace
}  // namespace tarsivel
