#include "collider_contacts.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "broad_phase.h"

namespace tarsivel {

// Closest points between two segments.

namespace {

constexpr double kParallelDeterminant = 1e-8;
constexpr double kZeroNumerator = 1e-8;

// A numerator this close to zero means the segment's start; it also keeps a near-zero
// denominator from being divided.
double Parameter(double numerator, double denominator) {
    return std::abs(numerator) < kZeroNumerator ? 0.0 : numerator / denominator;
}

}  // namespace

double ClosestPointsSegmentSegment(Vec2 p0, Vec2 p1, Vec2 q0, Vec2 q1, Vec2& onLink, Vec2& onEdge) {
    const Vec2 u = Difference(p1, p0);
    const Vec2 v = Difference(q1, q0);
    const Vec2 r = Difference(p0, q0);
    const double a = Dot(u, u);
    const double b = Dot(u, v);
    const double c = Dot(v, v);
    const double d = Dot(u, r);
    const double e = Dot(v, r);
    const double den = a * c - b * b;

    // s = sN / sD along the link, t = tN / tD along the edge.
    double sN = 0.0;
    double sD = den;
    double tN = 0.0;
    double tD = den;
    if (den < kParallelDeterminant) {
        sN = 0.0;
        sD = 1.0;
        tN = e;
        tD = c;
    } else {
        sN = b * e - c * d;
        tN = a * e - b * d;
        if (sN < 0.0) {
            sN = 0.0;
            tN = e;
            tD = c;
        } else if (sN > sD) {
            sN = sD;
            tN = e + b;
            tD = c;
        }
    }

    // Clamping t onto the edge moves the link's point to the one nearest that edge end.
    if (tN < 0.0) {
        tN = 0.0;
        if (-d < 0.0) {
            sN = 0.0;
        } else if (-d > a) {
            sN = sD;
        } else {
            sN = -d;
            sD = a;
        }
    } else if (tN > tD) {
        tN = tD;
        if (-d + b < 0.0) {
            sN = 0.0;
        } else if (-d + b > a) {
            sN = sD;
        } else {
            sN = -d + b;
            sD = a;
        }
    }

    const double s = Parameter(sN, sD);
    const double t = Parameter(tN, tD);
    onLink = {p0.x + s * u.x, p0.y + s * u.y};
    onEdge = {q0.x + t * v.x, q0.y + t * v.y};
    return LengthSquared(Difference(onLink, onEdge));
}

// The contact pass.

namespace {

constexpr double kThroughEdgeDistance = 1e-6;
constexpr double kShortestEdge = 1e-6;
constexpr double kShortestLinkSquared = 1e-6;
constexpr double kSmallestShare = 0.001;
constexpr double kSlowestSlide = 1e-6;

struct Contact {
    Vec2 onLink;
    Vec2 normal;  // Unit, pointing from the edge towards the rope.
    double depth;
};

// A link lying across the edge has no closest-point direction, so it is pushed along the edge's
// normal, on the side it came from: against the link's mean motion over the substep.
bool NormalAcrossEdge(const RopeParticle& a, const RopeParticle& b, const MaskCollider& edge,
                      Vec2& normal) {
    const Vec2 along = Difference({edge.x1, edge.y1}, {edge.x0, edge.y0});
    const double len = std::sqrt(LengthSquared(along));
    if (len < kShortestEdge) {
        return false;
    }
    normal = {-along.y / len, along.x / len};
    const Vec2 meanMotion{(a.x - a.prevX + (b.x - b.prevX)) * 0.5,
                          (a.y - a.prevY + (b.y - b.prevY)) * 0.5};
    if (Dot(normal, meanMotion) > 0.0) {
        normal = {-normal.x, -normal.y};
    }
    return true;
}

bool FindContact(const RopeParticle& a, const RopeParticle& b, const MaskCollider& edge,
                 double contactRadius, Contact& contact) {
    Vec2 onEdge{};
    const double q = ClosestPointsSegmentSegment({a.x, a.y}, {b.x, b.y}, {edge.x0, edge.y0},
                                                 {edge.x1, edge.y1}, contact.onLink, onEdge);
    if (q >= contactRadius * contactRadius) {
        return false;
    }
    const double dist = std::sqrt(q);
    if (dist < kThroughEdgeDistance) {
        contact.depth = contactRadius;
        return NormalAcrossEdge(a, b, edge, contact.normal);
    }
    const Vec2 offset = Difference(contact.onLink, onEdge);
    contact.normal = {offset.x / dist, offset.y / dist};
    contact.depth = contactRadius - dist;
    return true;
}

// Node b's share of the push: where the contact lies along the link, clamped to [0, 1]. A link
// too short to tell splits the push evenly.
double ShareOfB(const RopeParticle& a, const RopeParticle& b, Vec2 onLink) {
    const Vec2 link = Difference(Position(b), Position(a));
    const double lenSquared = LengthSquared(link);
    if (!(lenSquared > kShortestLinkSquared)) {
        return 0.5;
    }
    const double w = Dot(Difference(onLink, Position(a)), link) / lenSquared;
    return std::max(std::min(w, 1.0), 0.0);
}

// Reflects the normal part of the velocity into the edge by the bounce and lets friction act on
// the tangential part: static friction holds the node when the push outweighs the slide.
void BounceAndSlide(RopeParticle& node, Vec2 n, double push, const RopeStepSettings& settings) {
    const Vec2 v = Difference(Position(node), {node.prevX, node.prevY});
    const double vn = Dot(v, n);
    const double outgoing = vn < 0.0 ? -settings.bounce * vn : vn;
    Vec2 tangential{v.x - vn * n.x, v.y - vn * n.y};
    const double slide = std::sqrt(LengthSquared(tangential));
    if (slide > kSlowestSlide) {
        if (push * settings.staticFriction > slide) {
            tangential = {0.0, 0.0};
        } else {
            const double keep = 1.0 - settings.kineticFriction;
            tangential.x *= keep;
            tangential.y *= keep;
        }
    }
    node.prevX = node.x - (outgoing * n.x + tangential.x);
    node.prevY = node.y - (outgoing * n.y + tangential.y);
}

void PushNode(RopeParticle& node, StickAnchor& stickAnchor, double share, const Contact& contact,
              const RopeStepSettings& settings) {
    const double push = share * contact.depth;
    node.x += push * contact.normal.x;
    node.y += push * contact.normal.y;
    // The first contact of a frame catches the node at rest where it was pushed to; later
    // contacts treat it like any other node.
    if (settings.stick > 0.0 && !stickAnchor.active) {
        stickAnchor = {node.x, node.y, true};
        node.prevX = node.x;
        node.prevY = node.y;
        return;
    }
    BounceAndSlide(node, contact.normal, push, settings);
}

// Returns whether a node of the link was pushed.
bool ResolveLinkAgainstEdge(std::size_t k, Rope& rope, const MaskCollider& edge,
                            const StepContext& context, std::span<StickAnchor> stickAnchors) {
    RopeParticle& a = rope[k];
    RopeParticle& b = rope[k + 1];
    Contact contact{};
    if (!FindContact(a, b, edge, context.contactRadius, contact)) {
        return false;
    }
    // A pinned node's share is dropped, not handed to the other node.
    const double w = ShareOfB(a, b, contact.onLink);
    const double shareA = 1.0 - w;
    bool pushed = false;
    if (!a.pinned && shareA > kSmallestShare) {
        PushNode(a, stickAnchors[k], shareA, contact, context.settings);
        pushed = true;
    }
    if (!b.pinned && w > kSmallestShare) {
        PushNode(b, stickAnchors[k + 1], w, contact, context.settings);
        pushed = true;
    }
    return pushed;
}

SegmentBounds LinkBounds(const RopeParticle& a, const RopeParticle& b) {
    return BoundsOf(a.x, a.y, b.x, b.y);
}

}  // namespace

StepContext ContactContext(double contactRadius, double staticFriction, double kineticFriction,
                           double bounce, double stick) {
    StepContext context{};
    context.contactRadius = contactRadius;
    context.settings.staticFriction = staticFriction;
    context.settings.kineticFriction = kineticFriction;
    context.settings.bounce = bounce;
    context.settings.stick = stick;
    return context;
}

void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges, double contactRadius,
                             double staticFriction, double kineticFriction, double bounce,
                             double stick, [[maybe_unused]] int32_t segmentCount,
                             std::span<StickAnchor> stickAnchors) {
    assert(segmentCount >= 1 && rope.size() == static_cast<std::size_t>(segmentCount) + 1);
    ResolveColliderContacts(
        rope, edges, ContactContext(contactRadius, staticFriction, kineticFriction, bounce, stick),
        stickAnchors);
}

void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges,
                             const StepContext& context, std::span<StickAnchor> stickAnchors) {
    // Links are indexed by number: StepRope has checked the lengths once for its whole call.
    assert(stickAnchors.size() == rope.size());
    // A copy of its own, which no write to a node can alias.
    const StepContext local = context;
    for (std::size_t k = 0; k + 1 < rope.size(); ++k) {
        // A torn link has no contacts; its nodes still collide through their other links.
        if (rope[k].torn) {
            continue;
        }
        for (const MaskCollider& edge : edges) {
            ResolveLinkAgainstEdge(k, rope, edge, local, stickAnchors);
        }
    }
}

void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges,
                             const StepContext& context, std::span<StickAnchor> stickAnchors,
                             const EdgeBins& bins, IndexSet& candidates, BroadPhaseStats* stats) {
    assert(stickAnchors.size() == rope.size() && candidates.Size() == edges.size());
    if (edges.empty()) {
        return;
    }
    const StepContext local = context;
    const double paddedRadius = bins.PaddedRadius();
    int64_t tests = 0;
    int64_t pairs = 0;
    for (std::size_t k = 0; k + 1 < rope.size(); ++k) {
        if (rope[k].torn) {
            continue;
        }
        pairs += static_cast<int64_t>(edges.size());
        // Every skip is decided on the link as it is at that moment: a push moves the link before
        // its next edge, and once it has moved out of the gathered region it gathers again.
        SegmentBounds link = LinkBounds(rope[k], rope[k + 1]);
        candidates.Clear();
        EdgeBins::Region region = bins.Gather(link, candidates);
        for (std::size_t e = candidates.Next(0); e < edges.size(); e = candidates.Next(e + 1)) {
            if (!MayTouch(link, bins.Bounds(e), paddedRadius)) {
                continue;
            }
            ++tests;
            if (ResolveLinkAgainstEdge(k, rope, edges[e], local, stickAnchors)) {
                link = LinkBounds(rope[k], rope[k + 1]);
                if (!bins.StillCovers(region, link)) {
                    region = bins.Gather(link, candidates);
                }
            }
        }
    }
    if (stats != nullptr) {
        stats->linkEdgePairs += pairs;
        stats->closestPointTests += tests;
    }
}

}  // namespace tarsivel
