// Any bytes as a scene file: the reader and the scene's application to an
// instance of the effect either accept them or reject them with a SceneError
// (the command's exit 2); nothing else may escape, crash, hang or allocate
// without bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry/command_dispatch.h"
#include "host/protocol/effect_instance.h"
#include "host/scenes/scene.h"
#include "host/scenes/scene_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace tarsivel::host;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const Scene scene = ReadSceneText(text, "fuzz.json");
        EffectInstance instance(tarsivel::DispatchCommand, 64, 48);
        if (instance.Run(PF_Cmd_PARAMS_SETUP).err != PF_Err_NONE) {
            __builtin_trap();
        }
        std::vector<std::string> warnings;
        ApplyScene(scene, instance, warnings);
    } catch (const SceneError&) {
        // Rejected with a message: what the command reports with exit 2.
    }
    return 0;
}
