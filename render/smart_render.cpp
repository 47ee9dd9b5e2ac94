#include "smart_render.h"

#include "pf_api.h"
#include "render_rope_cpu.h"
#include "render_rope_gpu.h"
#include "rope_render_data.h"
#include "scoped_suite.h"

namespace tarsivel {
namespace {

// The input layer's pixels for one render call. Checked in on every path out
// of the call, thrown codes included, also when the checkout itself failed
// (the host expects the check-in either way).
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

bool HasCallbacks(const PF_SmartRenderExtra* extra) {
    return extra->input != nullptr && extra->cb != nullptr &&
           extra->cb->checkout_layer_pixels != nullptr && extra->cb->checkout_output != nullptr &&
           extra->cb->checkin_layer_pixels != nullptr;
}

}  // namespace

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra,
                   bool useGPU) {
    if (in_data == nullptr || extra == nullptr || !HasCallbacks(extra)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto* record = static_cast<const RopeRenderData*>(extra->input->pre_render_data);
    if (record == nullptr) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    // The steps share one code instead of throwing: the host expects the world
    // suite asked for and the layer checked in even after a failed checkout,
    // and the first failure's code ahead of the check-in's. The layer guard
    // outlives the suite: on a throw the suite is released and the layer still
    // checked in.
    CheckedOutLayer input(in_data, extra->cb, 0);
    PF_Err err = input.CheckoutError();
    PF_EffectWorld* output = nullptr;
    if (err == PF_Err_NONE) {
        err = extra->cb->checkout_output(in_data->effect_ref, &output);
    }
    ScopedSuite<PF_WorldSuite2> worlds(in_data, kPFWorldSuite, kPFWorldSuiteVersion2, out_data);
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    if (err == PF_Err_NONE && (input.World() == nullptr || output == nullptr)) {
        err = PF_Err_BAD_CALLBACK_PARAM;
    }
    if (err == PF_Err_NONE) {
        err = worlds->PF_GetPixelFormat(input.World(), &format);
    }
    if (err == PF_Err_NONE) {
        // The host chose the device by the command; there is no fallback here.
        err = useGPU
                  ? RenderRopeGPU(in_data, out_data, format, input.World(), output, extra, *record)
                  : RenderRopeCPU(in_data, out_data, format, input.World(), output, extra, *record);
    }
    const PF_Err checkinErr = input.Checkin();
    return err != PF_Err_NONE ? err : checkinErr;
}

}  // namespace tarsivel
