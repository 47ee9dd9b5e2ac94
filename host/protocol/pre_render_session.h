// The host's side of one smart pre-render call: the request, the output record
// the plug-in fills, the input layer checkout, and ownership of the handed-over
// record, which the host deletes through the plug-in's deleter.
#ifndef TARSIVEL_HOST_PROTOCOL_PRE_RENDER_SESSION_H
#define TARSIVEL_HOST_PROTOCOL_PRE_RENDER_SESSION_H

#include <vector>

#include "host/protocol/effect_instance.h"
#include "hostapi/pf_smart_render.h"

namespace tarsivel::host {

struct LayerCheckoutCall {
    PF_ParamIndex index;
    A_long checkoutId;
    PF_RenderRequest request;
    A_long time;
    A_long timeStep;
    A_u_long timeScale;
};

class PreRenderSession {
  public:
    // The request covers the layer at the command's downsample factor.
    PreRenderSession(const EffectInstance& instance, const CommandSettings& settings);
    // Deletes a record still held, as the host does when it is done with it.
    ~PreRenderSession();
    PreRenderSession(const PreRenderSession&) = delete;
    PreRenderSession& operator=(const PreRenderSession&) = delete;

    // Runs smart pre-render on the instance with this session's extra record.
    CommandResult Run(EffectInstance& instance, const CommandSettings& settings);

    PF_PreRenderInput& Input() { return input_; }
    PF_PreRenderOutput& Output() { return output_; }
    // The rectangles checkout_layer reports for the input layer.
    PF_LRect& LayerRect() { return layerRect_; }

    const void* Record() const { return output_.pre_render_data; }
    // Deletes the handed-over record through its deleter; false when there was
    // none to delete (nothing handed over, or no deleter given).
    bool DeleteRecord();
    int Deletions() const { return deletions_; }
    const std::vector<LayerCheckoutCall>& LayerCheckouts() const { return layerCheckouts_; }

    // The checkout_layer callback's way back to its session.
    PF_Err CheckoutLayer(const LayerCheckoutCall& call, PF_CheckoutResult* result);

  private:
    PF_PreRenderInput input_{};
    PF_PreRenderOutput output_{};
    PF_PreRenderCallbacks callbacks_{};
    PF_PreRenderExtra extra_{};
    PF_LRect layerRect_{};
    std::vector<LayerCheckoutCall> layerCheckouts_;
    int deletions_ = 0;
};

}  // namespace tarsivel::host

#endif
