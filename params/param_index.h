// Indices of the effect's parameters. Each declared parameter also carries its
// index as its host parameter id, so stored projects keep their values.
#ifndef TARSIVEL_PARAMS_PARAM_INDEX_H
#define TARSIVEL_PARAMS_PARAM_INDEX_H

#include <cstdint>

namespace tarsivel {

enum ParamIndex : int32_t {
    kParamInputLayer = 0,  // supplied by the host, never declared
    kParamPointA = 1,
    kParamPointB = 2,
    kParamPointAAttachment = 3,
    kParamPointBAttachment = 4,
    kParamPhysicsGroup = 5,
    kParamSegments = 6,
    kParamRopeLength = 7,
    kParamGravity = 8,
    kParamElasticity = 9,
    kParamDamping = 10,
    kParamSubsteps = 11,
    kParamPreRollFrames = 12,
    kParamEnableSelfCollision = 13,
    kParamPhysicsGroupEnd = 14,
    kParamAppearanceGroup = 15,
    kParamThicknessStart = 16,
    kParamThicknessEnd = 17,
    kParamRopeColor = 18,
    kParamDisplaySegmentNodes = 19,
    kParamCompositeOnOriginal = 20,
    kParamAppearanceGroupEnd = 21,
    kParamCollisionGroup = 22,
    kParamCollisionMask = 23,
    kParamUseAllMasks = 24,
    kParamColliderStaticFriction = 25,
    kParamColliderKineticFriction = 26,
    kParamColliderBounce = 27,
    kParamColliderStick = 28,
    kParamCollisionGroupEnd = 29,
    kParamWindGroup = 30,
    kParamWindIntensity = 31,
    kParamWindDirection = 32,
    kParamTurbulenceAmount = 33,
    kParamTurbulenceFrequency = 34,
    kParamWindGroupEnd = 35,
    kParamTearingGroup = 36,
    kParamTearing = 37,
    kParamTearThreshold = 38,
    kParamTearingGroupEnd = 39,
};

// Entries the effect declares to the host, the input layer included.
inline constexpr int32_t kParamCount = 40;

}  // namespace tarsivel

#endif
