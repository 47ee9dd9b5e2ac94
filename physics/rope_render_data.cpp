#include "rope_render_data.h"

#include <cmath>
#include <limits>
#include <new>

namespace tarsivel {
namespace {

// Doubles beyond the float range (a rope flung far away) become infinities
// instead of undefined conversions; the renderers skip non-finite geometry.
float SaturatingFloat(double v) {
    constexpr double kMax = double(std::numeric_limits<float>::max());
    if (v > kMax) {
        return std::numeric_limits<float>::infinity();
    }
    if (v < -kMax) {
        return -std::numeric_limits<float>::infinity();
    }
    return float(v);
}

// One coordinate of the uniform Catmull-Rom curve through p1 and p2 at tau.
double CatmullRom(double p0, double p1, double p2, double p3, double tau) {
    const double tau2 = tau * tau;
    const double tau3 = tau2 * tau;
    return 0.5 * (2.0 * p1 + (p2 - p0) * tau + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * tau2 +
                  (3.0 * p1 - p0 - 3.0 * p2 + p3) * tau3);
}

double Taper(double start, double end, double a) {
    return (1.0 - a) * start + a * end;
}

struct Neighbours {
    const RopeParticle& p0;
    const RopeParticle& p1;
    const RopeParticle& p2;
    const RopeParticle& p3;
};

// A torn neighbouring link, or the rope's end, repeats the link's own node, so
// the curve runs straight towards it.
Neighbours NeighboursOfLink(const Rope& rope, std::size_t j, std::size_t links) {
    const bool hasBefore = j > 0 && !rope[j - 1].torn;
    const bool hasAfter = j + 1 < links && !rope[j + 1].torn;
    return {hasBefore ? rope[j - 1] : rope[j], rope[j], rope[j + 1],
            hasAfter ? rope[j + 2] : rope[j + 1]};
}

void AppendLinkPieces(RopeRenderData& record, const Neighbours& n, std::size_t j, std::size_t slots,
                      double ox, double oy) {
    const double start = double(record.thicknessStart);
    const double end = double(record.thicknessEnd);
    double sx = n.p1.x - ox;
    double sy = n.p1.y - oy;
    for (int k = 1; k <= 4; ++k) {
        const double tau = k * 0.25;
        const double ex = CatmullRom(n.p0.x, n.p1.x, n.p2.x, n.p3.x, tau) - ox;
        const double ey = CatmullRom(n.p0.y, n.p1.y, n.p2.y, n.p3.y, tau) - oy;
        record.points.insert(record.points.end(), {SaturatingFloat(sx), SaturatingFloat(sy),
                                                   SaturatingFloat(ex), SaturatingFloat(ey)});
        // Torn links keep their slots, so the taper runs along the whole rope.
        const std::size_t s = 4 * j + std::size_t(k) - 1;
        const double a = double(s) / double(slots - 1);
        const double b = double(s + 1) / double(slots - 1);
        record.segThickness.push_back(SaturatingFloat(Taper(start, end, a)));
        record.segThickness.push_back(SaturatingFloat(Taper(start, end, b)));
        sx = ex;
        sy = ey;
    }
}

void AppendNodeMarkers(RopeRenderData& record, const Rope& rope, double ox, double oy) {
    const std::size_t n = rope.size();
    const double start = double(record.thicknessStart);
    const double end = double(record.thicknessEnd);
    for (std::size_t i = 0; i < n; ++i) {
        record.nodePoints.push_back(SaturatingFloat(rope[i].x - ox));
        record.nodePoints.push_back(SaturatingFloat(rope[i].y - oy));
        const double c = n > 1 ? double(i) / double(n - 1) : 0.0;
        record.nodeThickness.push_back(SaturatingFloat(Taper(start, end, c)) * 0.5f);
    }
}

}  // namespace

RopeRenderData* CreateRopeRenderData() noexcept {
    return new (std::nothrow) RopeRenderData();
}

void FillRopeRenderLists(RopeRenderData& record, const Rope& rope, double originX, double originY) {
    if (rope.size() >= 2) {
        const std::size_t links = rope.size() - 1;
        const std::size_t slots = 4 * links;
        record.points.reserve(record.points.size() + 4 * slots);
        record.segThickness.reserve(record.segThickness.size() + 2 * slots);
        for (std::size_t j = 0; j < links; ++j) {
            if (!rope[j].torn) {
                AppendLinkPieces(record, NeighboursOfLink(rope, j, links), j, slots, originX,
                                 originY);
            }
        }
    }
    record.nodePoints.reserve(record.nodePoints.size() + 2 * rope.size());
    record.nodeThickness.reserve(record.nodeThickness.size() + rope.size());
    AppendNodeMarkers(record, rope, originX, originY);
}

}  // namespace tarsivel

extern "C" void DeleteRopeRenderData(void* record) {
    delete static_cast<tarsivel::RopeRenderData*>(record);
}
