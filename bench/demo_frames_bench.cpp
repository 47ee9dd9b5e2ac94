// Pre-render of the demo scene through the loaded plug-in, against the frame
// number: every frame replays the simulation from time 0, so the cost grows
// linearly with it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "bench/demo_scene.h"

namespace tarsivel {
namespace {

using Demo = bench::DemoScene;

Demo& TheDemo() {
    static Demo demo(TARSIVEL_PLUGIN_PATH);
    return demo;
}

void BM_DemoPreRender(benchmark::State& state) {
    Demo& demo = TheDemo();
    const int32_t frame = int32_t(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<host::PreRenderSession> session;
        benchmark::DoNotOptimize(demo.renderer->PreRender(frame, session).err);
    }
}
BENCHMARK(BM_DemoPreRender)
    ->Arg(0)
    ->Arg(15)
    ->Arg(30)
    ->Arg(45)
    ->Arg(60)
    ->Arg(75)
    ->Arg(89)
    ->Unit(benchmark::kMillisecond);

void BM_DemoWholeFrame(benchmark::State& state) {
    Demo& demo = TheDemo();
    for (auto _ : state) {
        benchmark::DoNotOptimize(demo.renderer->Render(int32_t(state.range(0))).image.get());
    }
}
BENCHMARK(BM_DemoWholeFrame)->Arg(89)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarsivel
