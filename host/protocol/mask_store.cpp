#include "host/protocol/mask_store.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "host/protocol/keyframe_interpolation.h"

namespace tarsivel::host {
namespace {

double Seconds(int32_t time, uint32_t scale) {
    return scale == 0 ? double(time) : double(time) / double(scale);
}

// Every coordinate by the parameters' formula, at `s` between the keyframes at `sa` and `sb`.
MaskVertex Mix(const MaskVertex& a, const MaskVertex& b, double s, double sa, double sb) {
    auto mix = [&](double from, double to) { return InterpolateKeyframes(from, to, s, sa, sb); };
    return {mix(a.x, b.x),     mix(a.y, b.y),       mix(a.inX, b.inX),
            mix(a.inY, b.inY), mix(a.outX, b.outX), mix(a.outY, b.outY)};
}

std::vector<MaskVertex> VerticesAt(const std::vector<MaskKeyframe>& keys, int32_t time,
                                   uint32_t scale) {
    const double s = Seconds(time, scale);
    if (keys.size() == 1 || s <= Seconds(keys.front().time, scale)) {
        return keys.front().vertices;
    }
    if (s >= Seconds(keys.back().time, scale)) {
        return keys.back().vertices;
    }
    std::size_t k = 0;
    while (Seconds(keys[k + 1].time, scale) <= s) {
        ++k;
    }
    const MaskKeyframe& a = keys[k];
    const MaskKeyframe& b = keys[k + 1];
    if (a.vertices.size() != b.vertices.size()) {
        return a.vertices;
    }
    const double sa = Seconds(a.time, scale);
    const double sb = Seconds(b.time, scale);
    std::vector<MaskVertex> vertices(a.vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = Mix(a.vertices[i], b.vertices[i], s, sa, sb);
    }
    return vertices;
}

}  // namespace

MaskVertex CornerVertex(double x, double y) {
    return {x, y, x, y, x, y};
}

PF_PathID MaskStore::Add(bool open, std::vector<MaskVertex> vertices) {
    return AddKeyframed(open, {MaskKeyframe{0, std::move(vertices)}});
}

PF_PathID MaskStore::AddKeyframed(bool open, std::vector<MaskKeyframe> keys) {
    if (keys.empty()) {
        throw std::invalid_argument("a mask needs at least one keyframe");
    }
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].time <= keys[i - 1].time) {
            throw std::invalid_argument("mask keyframe times must strictly increase");
        }
    }
    std::unique_lock lock(mutex_);
    const PF_PathID id = nextId_++;
    masks_.push_back(Mask{id, open, std::move(keys)});
    return id;
}

void MaskStore::Remove(PF_PathID id) {
    std::unique_lock lock(mutex_);
    std::erase_if(masks_, [id](const Mask& mask) { return mask.id == id; });
}

int32_t MaskStore::Count() const {
    std::shared_lock lock(mutex_);
    return int32_t(masks_.size());
}

std::optional<PF_PathID> MaskStore::IdAt(int32_t index) const {
    std::shared_lock lock(mutex_);
    if (index < 0 || index >= int32_t(masks_.size())) {
        return std::nullopt;
    }
    return masks_[std::size_t(index)].id;
}

std::optional<MaskOutline> MaskStore::OutlineAt(PF_PathID id, int32_t time, uint32_t scale) const {
    std::shared_lock lock(mutex_);
    for (const Mask& mask : masks_) {
        if (mask.id == id) {
            return MaskOutline{id, mask.open, VerticesAt(mask.keys, time, scale)};
        }
    }
    return std::nullopt;
}

}  // namespace tarsivel::host
