#include "smart_pre_render.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "mask_gathering.h"
#include "param_reader.h"
#include "pf_api.h"
#include "rope_render_data.h"
#include "scoped_suite.h"
#include "step_rope.h"

namespace tarsivel {

bool IsEmptyRect(const PF_LRect& r) {
    return !(r.left < r.right && r.top < r.bottom);
}

void UniteRect(const PF_LRect& source, PF_LRect& target) {
    if (IsEmptyRect(target)) {
        target = source;
        return;
    }
    if (IsEmptyRect(source)) {
        return;
    }
    target.left = std::min(target.left, source.left);
    target.top = std::min(target.top, source.top);
    target.right = std::max(target.right, source.right);
    target.bottom = std::max(target.bottom, source.bottom);
}

double ReadFrameSettings(ParamReader& reader, HostTime at, float ds, RopeStepSettings& step) {
    const double scale = double(ds);
    step.anchorA = reader.Point(kParamPointA, at);
    step.attachA = reader.Checkbox(kParamPointAAttachment, at);
    step.anchorB = reader.Point(kParamPointB, at);
    step.attachB = reader.Checkbox(kParamPointBAttachment, at);
    step.ropeLength = reader.Float(kParamRopeLength, at) * scale;
    step.gravity = reader.Float(kParamGravity, at) * 4.0 * scale;
    const double intensity = reader.Float(kParamWindIntensity, at);
    const double theta = reader.AngleDegrees(kParamWindDirection, at) * 0.017453292519943295;
    step.windX = std::sin(theta) * intensity * 4.0 * scale;
    step.windY = -std::cos(theta) * intensity * 4.0 * scale;
    step.turbulenceAmount = reader.Float(kParamTurbulenceAmount, at);
    step.turbulenceFrequency = reader.Float(kParamTurbulenceFrequency, at) / scale;
    step.stiffness = 1.0 - std::min(reader.Float(kParamElasticity, at), 0.999);
    const double damping = reader.Float(kParamDamping, at);
    step.staticFriction = reader.Float(kParamColliderStaticFriction, at);
    step.kineticFriction = reader.Float(kParamColliderKineticFriction, at);
    step.bounce = reader.Float(kParamColliderBounce, at);
    step.stick = reader.Float(kParamColliderStick, at);
    step.selfCollision = reader.Checkbox(kParamEnableSelfCollision, at);
    step.tearing = reader.Checkbox(kParamTearing, at);
    step.tearThresholdPercent = reader.Float(kParamTearThreshold, at);
    return damping;
}

namespace {

// The settings read once per call at the requested time.
struct CallSettings {
    int32_t segmentCount = 0;
    int32_t substeps = 0;
    int32_t preRollCount = 0;
    PF_PathID maskId = 0;
    bool useAllMasks = false;

    bool MasksSelected() const { return maskId != 0 || useAllMasks; }
};

// Reads the call settings in the host's order and fills the record's scalar
// fields (thicknesses scaled by ds in single precision, colour bytes / 255).
CallSettings ReadCallSettings(ParamReader& reader, HostTime at, float ds, RopeRenderData& record) {
    CallSettings call;
    call.segmentCount = reader.Integer(kParamSegments, at, 2, 1024);
    call.substeps = reader.Integer(kParamSubsteps, at, 1, 256);
    call.preRollCount = reader.Integer(kParamPreRollFrames, at, 0, 300);
    record.thicknessStart = float(reader.Float(kParamThicknessStart, at)) * ds;
    record.thicknessEnd = float(reader.Float(kParamThicknessEnd, at)) * ds;
    const PF_Pixel color = reader.Color(kParamRopeColor, at);
    record.colorA = float(color.alpha) / 255.0f;
    record.colorR = float(color.red) / 255.0f;
    record.colorG = float(color.green) / 255.0f;
    record.colorB = float(color.blue) / 255.0f;
    call.maskId = reader.Path(kParamCollisionMask, at);
    call.useAllMasks = reader.Checkbox(kParamUseAllMasks, at);
    record.showNodes = reader.Checkbox(kParamDisplaySegmentNodes, at);
    record.compositeOnOriginal = reader.Checkbox(kParamCompositeOnOriginal, at);
    return call;
}

// How long one replayed frame is, in seconds and in host time units.
struct FrameTiming {
    double frameDuration;  // seconds
    A_long frameStep;      // host time units between two replayed frames; 0 replays t = 0 only
};

// From the layer's own time step when the host gives one, else 30 frames per second.
FrameTiming ComputeFrameTiming(A_long localTimeStep, A_u_long timeScale) {
    if (timeScale != 0 && localTimeStep > 0) {
        return {1.0 / (double(timeScale) / double(localTimeStep)), localTimeStep};
    }
    const A_long step = localTimeStep > 0 ? localTimeStep : A_long(timeScale / 30u);
    return {1.0 / 30.0, step};
}

// The time in seconds of the replayed frame at host time t. Without a time
// scale, frames are counted in steps instead of dividing by zero.
double ReplayTime(int64_t t, const FrameTiming& timing, A_u_long timeScale) {
    if (timeScale != 0) {
        return double(t) / double(timeScale);
    }
    if (timing.frameStep <= 0) {
        return 0.0;
    }
    return (double(t) / double(timing.frameStep)) * timing.frameDuration;
}

struct RecordDeleter {
    void operator()(RopeRenderData* record) const { DeleteRopeRenderData(record); }
};
using RecordPtr = std::unique_ptr<RopeRenderData, RecordDeleter>;

// The horizontal factor in double, kept as a float. A host never sends a
// non-positive or undefined factor; full resolution stands in for one.
float DownsampleFactor(PF_RationalScale ds) {
    if (ds.den == 0 || ds.num <= 0) {
        return 1.0f;
    }
    return float(double(ds.num) / double(ds.den));
}

// Everything one pre-render call owns; released in reverse order of creation.
// The handler calls the stages in order. The only PF_Err that Prepare and
// Simulate throw is that of a parameter checkout the host refused.
class PreRenderCall {
  public:
    PreRenderCall(PF_InData* in_data, PF_OutData* out_data, float ds, RopeRenderData& record)
        : in_(in_data), out_(out_data), ds_(ds), record_(record), reader_(in_data) {}

    // The call settings, the timing and the time-0 settings; builds the rope.
    void Prepare();
    // Throws A_Err_MISSING_SUITE for a path suite the host cannot supply. The
    // suites stay held until the call ends.
    void AcquirePathSuites();
    // The pre-roll, then the replay up to the requested time.
    void Simulate();
    // The record's lists from the rope as far as it got; none without a rope.
    void FillRecordLists();

  private:
    void PreRoll(const RopeStepSettings& timeZero, double damping);
    void Replay();
    void Gather(A_long time, std::vector<MaskCollider>& edges);

    PF_InData* in_;
    PF_OutData* out_;
    float ds_;
    RopeRenderData& record_;
    ParamReader reader_;
    CallSettings call_;
    FrameTiming timing_{};
    std::optional<Rope> rope_;
    RopeStepSettings step_;
    double timeZeroDamping_ = 0.0;
    std::vector<MaskCollider> persistent_;
    std::vector<MaskCollider> fresh_;
    StepScratch scratch_;  // Every step of the call works in it, so it is allocated once.
    std::optional<ScopedSuite<PF_PathQuerySuite1>> query_;
    std::optional<ScopedSuite<PF_PathDataSuite1>> data_;
};

void PreRenderCall::Prepare() {
    const HostTime requested{in_->current_time, in_->time_step, in_->time_scale};
    call_ = ReadCallSettings(reader_, requested, ds_, record_);
    timing_ = ComputeFrameTiming(in_->local_time_step, in_->time_scale);
    step_.segmentCount = call_.segmentCount;
    step_.substeps = call_.substeps;
    step_.frameDuration = timing_.frameDuration;
    step_.thickness = double((record_.thicknessEnd + record_.thicknessStart) * 0.5f);

    timeZeroDamping_ =
        ReadFrameSettings(reader_, {0, timing_.frameStep, in_->time_scale}, ds_, step_);
    rope_ = BuildRope(step_.anchorA, step_.anchorB, step_.attachA, step_.attachB,
                      call_.segmentCount, step_.ropeLength);
}

void PreRenderCall::AcquirePathSuites() {
    query_.emplace(in_, kPFPathQuerySuite, kPFPathQuerySuiteVersion1, out_);
    data_.emplace(in_, kPFPathDataSuite, kPFPathDataSuiteVersion1, out_);
}

void PreRenderCall::Simulate() {
    PreRoll(step_, timeZeroDamping_);
    Replay();
}

void PreRenderCall::FillRecordLists() {
    if (rope_) {
        FillRopeRenderLists(record_, *rope_, double(in_->output_origin_x),
                            double(in_->output_origin_y));
    }
}

void PreRenderCall::Gather(A_long time, std::vector<MaskCollider>& edges) {
    if (call_.MasksSelected()) {
        GatherMaskColliders(in_, **query_, **data_, call_.maskId, call_.useAllMasks, time,
                            timing_.frameStep, edges);
    }
}

// Settles the rope before time 0 with the time-0 settings and a stronger damping.
void PreRenderCall::PreRoll(const RopeStepSettings& timeZero, double damping) {
    const int32_t count = call_.preRollCount;
    if (count <= 0) {
        return;
    }
    Gather(0, persistent_);
    RopeStepSettings step = timeZero;
    step.prevAnchorA = step.anchorA;
    step.prevAnchorB = step.anchorB;
    step.dampingRate = std::min(100.0, 1.5 * damping);
    step.collidersStart = persistent_;
    step.collidersEnd = persistent_;
    for (int32_t i = 0; i < count; ++i) {
        step.time = double(i - count) * timing_.frameDuration;
        StepRope(*rope_, step, scratch_);
    }
}

void PreRenderCall::Replay() {
    Vec2 prevA = step_.anchorA;
    Vec2 prevB = step_.anchorB;
    // Counted in 64 bits so that the step after a time near the 32-bit limit
    // cannot wrap around and loop for ever.
    for (int64_t t = 0; t <= int64_t(in_->current_time); t += timing_.frameStep) {
        const A_long at = A_long(t);
        RopeStepSettings step = step_;
        const double damping =
            ReadFrameSettings(reader_, {at, timing_.frameStep, in_->time_scale}, ds_, step);
        fresh_.clear();
        Gather(at, fresh_);
        if (fresh_.size() != persistent_.size()) {
            persistent_ = fresh_;  // no sweep across a change of edge count
        }
        step.prevAnchorA = prevA;
        step.prevAnchorB = prevB;
        step.dampingRate = damping;
        step.time = ReplayTime(t, timing_, in_->time_scale);
        step.collidersStart = persistent_;
        step.collidersEnd = fresh_;
        StepRope(*rope_, step, scratch_);
        persistent_.swap(fresh_);
        prevA = step.anchorA;
        prevB = step.anchorB;
        if (timing_.frameStep <= 0) {
            return;  // without a step only the frame at t = 0 exists
        }
    }
}

// Throws the host's code when it refuses the layer; the result rectangles are
// then left as they are.
void CheckoutInputLayer(PF_InData* in_data, PF_PreRenderExtra* extra,
                        const PF_RenderRequest& request) {
    PF_CheckoutResult result{};
    if (const PF_Err err =
            extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                      in_data->time_step, in_data->time_scale, &result)) {
        throw err;
    }
    UniteRect(result.result_rect, extra->output->result_rect);
    UniteRect(result.max_result_rect, extra->output->max_result_rect);
}

// Runs one stage of the call and returns the code of a parameter the host
// refused in it, 0 when there was none.
template <class Stage>
PF_Err UntilRefused(Stage stage) {
    try {
        stage();
    } catch (PF_Err refused) {
        return refused;
    }
    return PF_Err_NONE;
}

}  // namespace

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra) {
    if (in_data == nullptr || extra == nullptr || extra->input == nullptr ||
        extra->output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_RenderRequest request = extra->input->output_request;
    extra->output->flags |= PF_RenderOutputFlag_GPU_RENDER_POSSIBLE;
    if (extra->cb == nullptr || extra->cb->checkout_layer == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const float ds = DownsampleFactor(in_data->downsample_x);
    RecordPtr record(CreateRopeRenderData());
    if (!record) {
        return PF_Err_OUT_OF_MEMORY;
    }
    // Until the hand-over, a throw (a missing path suite, std::bad_alloc)
    // takes the record, the rope and the lists with it.
    PreRenderCall call(in_data, out_data, ds, *record);
    // A refused parameter ends the simulation but not the call: the host still
    // gets a record to render, of the rope as far as it got, and its own code.
    PF_Err err = UntilRefused([&] { call.Prepare(); });
    if (err == PF_Err_NONE) {
        call.AcquirePathSuites();
        err = UntilRefused([&] { call.Simulate(); });
    }
    call.FillRecordLists();
    extra->output->pre_render_data = record.release();
    extra->output->delete_pre_render_data_func = DeleteRopeRenderData;
    if (err != PF_Err_NONE) {
        return err;
    }
    // A refused layer is thrown on; the record stays with the host, which deletes it.
    CheckoutInputLayer(in_data, extra, request);
    return PF_Err_NONE;
}

}  // namespace tarsivel
