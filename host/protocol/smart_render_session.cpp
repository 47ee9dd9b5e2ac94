#include "host/protocol/smart_render_session.h"

#include <string>

#include "host/protocol/callback_guard.h"

namespace tarsivel::host {
namespace {

SmartRenderSession* SessionOf(PF_ProgPtr effect_ref, CommandContext*& command) {
    command = CommandContext::FromEffectRef(effect_ref);
    return command ? static_cast<SmartRenderSession*>(command->Session()) : nullptr;
}

PF_Err CheckoutLayerPixelsCallback(PF_ProgPtr effect_ref, A_long checkout_id,
                                   PF_EffectWorld** pixels) {
    CommandContext* command = nullptr;
    SmartRenderSession* session = SessionOf(effect_ref, command);
    if (session == nullptr || pixels == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return session->CheckoutLayerPixels(*command, checkout_id, pixels);
}

PF_Err CheckoutOutputCallback(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    CommandContext* command = nullptr;
    SmartRenderSession* session = SessionOf(effect_ref, command);
    if (session == nullptr || output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return session->CheckoutOutput(*command, output);
}

PF_Err CheckinLayerPixelsCallback(PF_ProgPtr effect_ref, A_long checkout_id) {
    CommandContext* command = nullptr;
    SmartRenderSession* session = SessionOf(effect_ref, command);
    if (session == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return session->CheckinLayerPixels(*command, checkout_id);
}

}  // namespace

SmartRenderSession::SmartRenderSession(PF_EffectWorld* input, PF_EffectWorld* output,
                                       void* preRenderData)
    : input_(input), output_(output) {
    if (output_ != nullptr) {
        output_->world_flags |= PF_WorldFlag_WRITEABLE;
    }
    inputRecord_.pre_render_data = preRenderData;
    inputRecord_.bitdepth = 8;
    callbacks_.checkout_layer_pixels = Guarded<CheckoutLayerPixelsCallback>;
    callbacks_.checkin_layer_pixels = Guarded<CheckinLayerPixelsCallback>;
    callbacks_.checkout_output = Guarded<CheckoutOutputCallback>;
    extra_ = PF_SmartRenderExtra{&inputRecord_, &callbacks_};
}

void SmartRenderSession::UseGpu(PF_GPU_Framework framework, A_u_long deviceIndex,
                                const void* gpuData) {
    inputRecord_.what_gpu = framework;
    inputRecord_.device_index = deviceIndex;
    inputRecord_.gpu_data = gpuData;
}

CommandResult SmartRenderSession::Run(EffectInstance& instance, const CommandSettings& settings,
                                      bool gpu) {
    layerCheckoutFailed_ = false;
    return instance.Run(gpu ? PF_Cmd_SMART_RENDER_GPU : PF_Cmd_SMART_RENDER, settings, &extra_,
                        this);
}

PF_Err SmartRenderSession::CheckoutLayerPixels(CommandContext& command, A_long checkoutId,
                                               PF_EffectWorld** world) {
    command.Accounts().Called(HostCall::CheckoutLayerPixels);
    // Failed until the checkout is counted, whatever ends the call before that.
    layerCheckoutFailed_ = true;
    if (auto failure =
            command.Failures().Consult(HostCall::CheckoutLayerPixels, std::to_string(checkoutId))) {
        return *failure;
    }
    if (checkoutId != 0) {
        return PF_Err_INVALID_INDEX;  // pre-render asked for layer 0 under id 0 only
    }
    command.Accounts().LayerCheckedOut(checkoutId);
    layerCheckoutFailed_ = false;
    *world = input_;
    return PF_Err_NONE;
}

PF_Err SmartRenderSession::CheckoutOutput(CommandContext& command, PF_EffectWorld** world) {
    command.Accounts().Called(HostCall::CheckoutOutput);
    if (auto failure = command.Failures().Consult(HostCall::CheckoutOutput)) {
        return *failure;
    }
    ++outputCheckouts_;
    *world = output_;
    return PF_Err_NONE;
}

PF_Err SmartRenderSession::CheckinLayerPixels(CommandContext& command, A_long checkoutId) {
    command.Accounts().Called(HostCall::CheckinLayerPixels);
    ++layerCheckins_;
    // Checking in a layer whose checkout failed is legal and changes nothing.
    if (layerCheckoutFailed_) {
        layerCheckoutFailed_ = false;
    } else if (!command.Accounts().LayerCheckedIn(checkoutId)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (auto failure = command.Failures().Consult(HostCall::CheckinLayerPixels)) {
        return *failure;
    }
    return PF_Err_NONE;
}

}  // namespace tarsivel::host
