#include "render/checked_out_layer.h"

namespace tarsivel {

CheckedOutLayer::CheckedOutLayer(PF_InData* in_data, PF_SmartRenderCallbacks* callbacks,
                                 A_long checkoutId)
    : inData_(in_data), callbacks_(callbacks), checkoutId_(checkoutId) {
    checkoutError_ = callbacks_->checkout_layer_pixels(inData_->effect_ref, checkoutId_, &world_);
}

CheckedOutLayer::~CheckedOutLayer() {
    Checkin();
}

PF_Err CheckedOutLayer::Checkin() {
    if (checkedIn_) {
        return PF_Err_NONE;
    }
    checkedIn_ = true;
    return callbacks_->checkin_layer_pixels(inData_->effect_ref, checkoutId_);
}

}  // namespace tarsivel
