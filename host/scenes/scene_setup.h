// Gives an effect instance what a scene describes: its masks and the values
// and keyframes of the parameters it names, checked against what the plug-in
// declared.
#ifndef TARSIVEL_HOST_SCENES_SCENE_SETUP_H
#define TARSIVEL_HOST_SCENES_SCENE_SETUP_H

#include <string>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host/scenes/scene.h"

namespace tarsivel::host {

// Throws SceneError; values clamped to a declared range add one warning per
// parameter to `warnings`.
void ApplyScene(const Scene& scene, EffectInstance& instance, std::vector<std::string>& warnings);

// The path id a host gives the i-th mask (0-based).
inline PF_PathID MaskPathId(std::size_t index) {
    return PF_PathID(100 + index + 1);
}

}  // namespace tarsivel::host

#endif
