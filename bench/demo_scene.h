// The demo scene (examples/demo.json) on a fresh instance of a loaded build of the plug-in, ready
// to be rendered frame by frame, for the benchmarks that time whole commands.
#ifndef TARSIVEL_BENCH_DEMO_SCENE_H
#define TARSIVEL_BENCH_DEMO_SCENE_H

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/protocol/plugin_library.h"
#include "host/scenes/frame_renderer.h"
#include "host/scenes/scene_setup.h"

namespace tarsivel::bench {

struct DemoScene {
    // `frames` above 0 lengthens (or shortens) the scene; keyframes hold their last value.
    explicit DemoScene(const std::string& pluginPath, int32_t frames = 0) {
        std::string error;
        library = host::PluginLibrary::Load(pluginPath, error);
        if (!library || library->Register() != PF_Err_NONE || !library->EntryPoint()) {
            throw std::runtime_error("cannot load the plug-in " + pluginPath + ": " + error);
        }
        scene = host::ReadScene(std::string(TARSIVEL_EXAMPLES_DIR) + "/demo.json");
        if (frames > 0) {
            scene.frames = frames;
        }
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

}  // namespace tarsivel::bench

#endif
