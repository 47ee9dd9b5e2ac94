// The input layer's pixels for one render call. Checked in on every path out
// of the call, thrown codes included, also when the checkout itself failed
// (the host expects the check-in either way).
#ifndef TARSIVEL_RENDER_CHECKED_OUT_LAYER_H
#define TARSIVEL_RENDER_CHECKED_OUT_LAYER_H

#include "hostapi/pf_in_out_data.h"
#include "hostapi/pf_smart_render.h"

namespace tarsivel {

class CheckedOutLayer {
  public:
    CheckedOutLayer(PF_InData* in_data, PF_SmartRenderCallbacks* callbacks, A_long checkoutId);
    ~CheckedOutLayer();
    CheckedOutLayer(const CheckedOutLayer&) = delete;
    CheckedOutLayer& operator=(const CheckedOutLayer&) = delete;

    PF_Err CheckoutError() const { return checkoutError_; }
    PF_EffectWorld* World() const { return world_; }
    // Checks in now and returns the host's answer; later calls do nothing.
    PF_Err Checkin();

  private:
    PF_InData* inData_;
    PF_SmartRenderCallbacks* callbacks_;
    A_long checkoutId_;
    PF_EffectWorld* world_ = nullptr;
    PF_Err checkoutError_;
    bool checkedIn_ = false;
};

}  // namespace tarsivel

#endif
