#include "host/protocol/command_context.h"

#include "host/protocol/effect_instance.h"
#include "host/protocol/host_callbacks.h"

namespace tarsivel::host {
namespace {
thread_local CommandContext* currentCommand = nullptr;
}

CommandContext::CommandContext(EffectInstance& instance, const CommandSettings& settings)
    : instance_(instance),
      settings_(settings),
      failures_(settings.failures),
      utils_(UtilCallbacks()),
      previous_(currentCommand) {
    in_.inter = InteractCallbacks();
    in_.utils = &utils_;
    in_.effect_ref = this;
    in_.appl_id = settings.applId;
    in_.current_time = settings.currentTime;
    in_.time_step = settings.timeStep;
    in_.local_time_step = settings.localTimeStep;
    in_.time_scale = settings.timeScale;
    in_.width = instance.LayerWidth();
    in_.height = instance.LayerHeight();
    in_.downsample_x = settings.downsampleX;
    in_.downsample_y = settings.downsampleY;
    in_.output_origin_x = settings.outputOriginX;
    in_.output_origin_y = settings.outputOriginY;
    in_.pica_basicP = BasicSuite();
    out_.global_data = instance.GlobalData();
    currentCommand = this;
}

CommandContext::~CommandContext() {
    currentCommand = previous_;
    magic_ = 0;
}

CommandContext* CommandContext::FromEffectRef(PF_ProgPtr effect_ref) {
    auto* context = static_cast<CommandContext*>(effect_ref);
    return context != nullptr && context->magic_ == kMagic ? context : nullptr;
}

CommandContext* CommandContext::Current() {
    return currentCommand;
}

}  // namespace tarsivel::host
