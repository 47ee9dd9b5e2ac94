// Pre-render of the demo scene through the loaded plug-in, against the frame
// number: every frame replays the simulation from time 0, so the cost grows
// linearly with it.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "host/protocol/plugin_library.h"
#include "host/scenes/frame_renderer.h"
#include "host/scenes/scene_setup.h"

namespace tarsivel {
namespace {

struct Demo {
    Demo() {
        std::string error;
        library = host::PluginLibrary::Load(TARSIVEL_PLUGIN_PATH, error);
        library->Register();
        scene = host::ReadScene(std::string(TARSIVEL_EXAMPLES_DIR) + "/demo.json");
        instance = std::make_unique<host::EffectInstance>(library->EntryPoint(), scene.width,
                                                          scene.height);
        instance->Run(PF_Cmd_GLOBAL_SETUP);
        instance->Run(PF_Cmd_PARAMS_SETUP);
        std::vector<std::string> warnings;
        host::ApplyScene(scene, *instance, warnings);
        renderer = std::make_unique<host::FrameRenderer>(*instance, scene, 8, 1);
    }
    std::unique_ptr<host::PluginLibrary> library;
    host::Scene scene;
    std::unique_ptr<host::EffectInstance> instance;
    std::unique_ptr<host::FrameRenderer> renderer;
};

Demo& TheDemo() {
    static Demo demo;
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
