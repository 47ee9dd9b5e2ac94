#include "physics/frame_settings.h"

#include <algorithm>
#include <cmath>

namespace tarsivel {

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

}  // namespace tarsivel
