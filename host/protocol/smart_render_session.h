// The host's side of one smart render call: the pre-render record handed back,
// the input and output worlds behind the three callbacks, and the GPU the
// host chose for the frame.
#ifndef TARSIVEL_HOST_PROTOCOL_SMART_RENDER_SESSION_H
#define TARSIVEL_HOST_PROTOCOL_SMART_RENDER_SESSION_H

#include "host/protocol/effect_instance.h"
#include "hostapi/pf_smart_render.h"

namespace tarsivel::host {

class SmartRenderSession {
  public:
    SmartRenderSession(PF_EffectWorld* input, PF_EffectWorld* output, void* preRenderData);
    SmartRenderSession(const SmartRenderSession&) = delete;
    SmartRenderSession& operator=(const SmartRenderSession&) = delete;

    // The device of a GPU render: the framework, its index and the GPU data
    // that device set-up returned.
    void UseGpu(PF_GPU_Framework framework, A_u_long deviceIndex, const void* gpuData);

    // Smart render on the CPU (command 24) or the GPU (command 31).
    CommandResult Run(EffectInstance& instance, const CommandSettings& settings, bool gpu);

    PF_SmartRenderExtra* Extra() { return &extra_; }
    int LayerCheckins() const { return layerCheckins_; }
    int OutputCheckouts() const { return outputCheckouts_; }

    // The callbacks' way back to their session.
    PF_Err CheckoutLayerPixels(CommandContext& command, A_long checkoutId, PF_EffectWorld** world);
    PF_Err CheckoutOutput(CommandContext& command, PF_EffectWorld** world);
    PF_Err CheckinLayerPixels(CommandContext& command, A_long checkoutId);

  private:
    PF_EffectWorld* input_;
    PF_EffectWorld* output_;
    PF_SmartRenderInput inputRecord_{};
    PF_SmartRenderCallbacks callbacks_{};
    PF_SmartRenderExtra extra_{};
    int layerCheckins_ = 0;
    int outputCheckouts_ = 0;
    bool layerCheckoutFailed_ = false;
};

}  // namespace tarsivel::host

#endif
