// The layer's masks as the host keeps them: outlines with absolute tangent
// points in layer pixels at full resolution, static or keyframed. Ids are the
// host's own numbering and never equal a mask's index.
#ifndef TARSIVEL_HOST_PROTOCOL_MASK_STORE_H
#define TARSIVEL_HOST_PROTOCOL_MASK_STORE_H

#include <cstdint>
#include <optional>
#include <shared_mutex>
#include <vector>

#include "hostapi/pf_types.h"

namespace tarsivel::host {

struct MaskVertex {
    double x = 0;
    double y = 0;
    double inX = 0;  // incoming tangent point
    double inY = 0;
    double outX = 0;  // outgoing tangent point
    double outY = 0;
};

struct MaskKeyframe {
    int32_t time = 0;
    std::vector<MaskVertex> vertices;
};

struct MaskOutline {
    PF_PathID id = 0;
    bool open = false;
    std::vector<MaskVertex> vertices;
};

// A vertex whose tangent points sit on the vertex itself: straight spans.
MaskVertex CornerVertex(double x, double y);

class MaskStore {
  public:
    // Appends a mask after the existing ones and returns its id.
    PF_PathID Add(bool open, std::vector<MaskVertex> vertices);
    // Keyframe times must strictly increase (std::invalid_argument otherwise).
    PF_PathID AddKeyframed(bool open, std::vector<MaskKeyframe> keys);
    void Remove(PF_PathID id);

    int32_t Count() const;
    std::optional<PF_PathID> IdAt(int32_t index) const;
    // The outline at host time `time` over `scale`: vertices interpolated
    // linearly between keyframes with the same vertex count; across a change of
    // count the earlier keyframe holds.
    std::optional<MaskOutline> OutlineAt(PF_PathID id, int32_t time, uint32_t scale) const;

  private:
    struct Mask {
        PF_PathID id;
        bool open;
        std::vector<MaskKeyframe> keys;
    };
    mutable std::shared_mutex mutex_;
    std::vector<Mask> masks_;
    PF_PathID nextId_ = 101;  // the i-th mask added is 100 + (i + 1)
};

}  // namespace tarsivel::host

#endif
