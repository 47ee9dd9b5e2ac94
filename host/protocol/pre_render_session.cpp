#include "host/protocol/pre_render_session.h"

#include <cmath>

#include "host/protocol/callback_guard.h"
#include "host/protocol/unexpected_calls.h"

namespace tarsivel::host {
namespace {

A_long Scaled(A_long size, PF_RationalScale ds) {
    const double ratio = ds.den == 0 ? 1.0 : double(ds.num) / double(ds.den);
    return A_long(std::ceil(double(size) * ratio));
}

PF_Err CheckoutLayerCallback(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                             const PF_RenderRequest* req, A_long what_time, A_long time_step,
                             A_u_long time_scale, PF_CheckoutResult* checkout_result) {
    CommandContext* command = CommandContext::FromEffectRef(effect_ref);
    if (command == nullptr || command->Session() == nullptr || req == nullptr ||
        checkout_result == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    command->Accounts().Called(HostCall::CheckoutLayer);
    if (auto failure =
            command->Failures().Consult(HostCall::CheckoutLayer, std::to_string(checkout_id))) {
        return *failure;
    }
    if (index != 0) {
        return PF_Err_INVALID_INDEX;
    }
    auto* session = static_cast<PreRenderSession*>(command->Session());
    return session->CheckoutLayer({index, checkout_id, *req, what_time, time_step, time_scale},
                                  checkout_result);
}

}  // namespace

PreRenderSession::PreRenderSession(const EffectInstance& instance,
                                   const CommandSettings& settings) {
    layerRect_ = PF_LRect{0, 0, Scaled(instance.LayerWidth(), settings.downsampleX),
                          Scaled(instance.LayerHeight(), settings.downsampleY)};
    input_.output_request.rect = layerRect_;
    input_.output_request.channel_mask = 0xF;
    input_.bitdepth = 8;
    callbacks_ = UnexpectedTable<PF_PreRenderCallbacks>();
    callbacks_.checkout_layer = Guarded<CheckoutLayerCallback>;
    extra_ = PF_PreRenderExtra{&input_, &output_, &callbacks_};
}

PreRenderSession::~PreRenderSession() {
    DeleteRecord();
}

CommandResult PreRenderSession::Run(EffectInstance& instance, const CommandSettings& settings) {
    return instance.Run(PF_Cmd_SMART_PRE_RENDER, settings, &extra_, this);
}

bool PreRenderSession::DeleteRecord() {
    if (output_.pre_render_data == nullptr || output_.delete_pre_render_data_func == nullptr) {
        return false;
    }
    output_.delete_pre_render_data_func(output_.pre_render_data);
    output_.pre_render_data = nullptr;
    ++deletions_;
    return true;
}

PF_Err PreRenderSession::CheckoutLayer(const LayerCheckoutCall& call, PF_CheckoutResult* result) {
    layerCheckouts_.push_back(call);
    *result = PF_CheckoutResult{};
    result->result_rect = layerRect_;
    result->max_result_rect = layerRect_;
    result->par = PF_RationalScale{1, 1};
    result->ref_width = layerRect_.right - layerRect_.left;
    result->ref_height = layerRect_.bottom - layerRect_.top;
    return PF_Err_NONE;
}

}  // namespace tarsivel::host
