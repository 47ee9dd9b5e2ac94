#include "physics/collider_contacts.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "physics/broad_phase.h"
#include "physics/closest_points.h"

namespace tarsivel {
namespace {

constexpr double kThroughEdgeDistance = 1e-6;
constexpr double kShortestEdge = 1e-6;
constexpr double kShortestLinkSquared = 1e-6;
constexpr double kSmallestShare = 0.001;
constexpr double kSlowestSlide = 1e-6;

struct ContactResponse {
    double staticFriction;
    double kineticFriction;
    double bounce;
    double stick;
};

struct Contact {
    Vec2 onLink;
    Vec2 normal;  // Unit, pointing from the edge towards the rope.
    double depth;
};

// A link lying across the edge has no closest-point direction, so it is pushed along the edge's
// normal, on the side it came from: against the link's mean motion over the substep.
bool NormalAcrossEdge(const RopeParticle& a, const RopeParticle& b, const MaskCollider& edge,
                      Vec2& normal) {
    const double ex = edge.x1 - edge.x0;
    const double ey = edge.y1 - edge.y0;
    const double len = std::sqrt(ex * ex + ey * ey);
    if (len < kShortestEdge) {
        return false;
    }
    normal = {-ey / len, ex / len};
    const double mx = (a.x - a.prevX + (b.x - b.prevX)) * 0.5;
    const double my = (a.y - a.prevY + (b.y - b.prevY)) * 0.5;
    if (normal.x * mx + normal.y * my > 0.0) {
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
    contact.normal = {(contact.onLink.x - onEdge.x) / dist, (contact.onLink.y - onEdge.y) / dist};
    contact.depth = contactRadius - dist;
    return true;
}

// Node b's share of the push: where the contact lies along the link, clamped to [0, 1]. A link
// too short to tell splits the push evenly.
double ShareOfB(const RopeParticle& a, const RopeParticle& b, Vec2 onLink) {
    const double lx = b.x - a.x;
    const double ly = b.y - a.y;
    const double lenSquared = lx * lx + ly * ly;
    if (!(lenSquared > kShortestLinkSquared)) {
        return 0.5;
    }
    const double w = ((onLink.x - a.x) * lx + (onLink.y - a.y) * ly) / lenSquared;
    return std::max(std::min(w, 1.0), 0.0);
}

// Reflects the normal part of the velocity into the edge by the bounce and lets friction act on
// the tangential part: static friction holds the node when the push outweighs the slide.
void BounceAndSlide(RopeParticle& node, Vec2 n, double push, const ContactResponse& response) {
    const double vx = node.x - node.prevX;
    const double vy = node.y - node.prevY;
    const double vn = vx * n.x + vy * n.y;
    const double outgoing = vn < 0.0 ? -response.bounce * vn : vn;
    double tx = vx - vn * n.x;
    double ty = vy - vn * n.y;
    const double slide = std::sqrt(tx * tx + ty * ty);
    if (slide > kSlowestSlide) {
        if (push * response.staticFriction > slide) {
            tx = 0.0;
            ty = 0.0;
        } else {
            const double keep = 1.0 - response.kineticFriction;
            tx *= keep;
            ty *= keep;
        }
    }
    node.prevX = node.x - (outgoing * n.x + tx);
    node.prevY = node.y - (outgoing * n.y + ty);
}

void PushNode(RopeParticle& node, StickAnchor& anchor, double share, const Contact& contact,
              const ContactResponse& response) {
    const double push = share * contact.depth;
    node.x += push * contact.normal.x;
    node.y += push * contact.normal.y;
    // The first contact of a frame catches the node at rest where it was pushed to; later
    // contacts treat it like any other node.
    if (response.stick > 0.0 && !anchor.active) {
        anchor = {node.x, node.y, true};
        node.prevX = node.x;
        node.prevY = node.y;
        return;
    }
    BounceAndSlide(node, contact.normal, push, response);
}

// Returns whether a node of the link was pushed.
bool ResolveLinkAgainstEdge(std::size_t k, Rope& rope, const MaskCollider& edge,
                            double contactRadius, const ContactResponse& response,
                            std::span<StickAnchor> stickAnchors) {
    RopeParticle& a = rope[k];
    RopeParticle& b = rope[k + 1];
    Contact contact{};
    if (!FindContact(a, b, edge, contactRadius, contact)) {
        return false;
    }
    // A pinned node's share is dropped, not handed to the other node.
    const double w = ShareOfB(a, b, contact.onLink);
    const double shareA = 1.0 - w;
    bool pushed = false;
    if (!a.pinned && shareA > kSmallestShare) {
        PushNode(a, stickAnchors[k], shareA, contact, response);
        pushed = true;
    }
    if (!b.pinned && w > kSmallestShare) {
        PushNode(b, stickAnchors[k + 1], w, contact, response);
        pushed = true;
    }
    return pushed;
}

// Links are indexed by number, so a rope or anchor list of another length would be read and
// written out of bounds. StepRope checks this once per call; here it is only asserted.
[[maybe_unused]] bool ContactInputsMatch(const Rope& rope, int32_t segmentCount,
                                         std::span<const StickAnchor> stickAnchors) {
    return segmentCount >= 1 && rope.size() == static_cast<std::size_t>(segmentCount) + 1 &&
           stickAnchors.size() == rope.size();
}

SegmentBounds LinkBounds(const RopeParticle& a, const RopeParticle& b) {
    return BoundsOf(a.x, a.y, b.x, b.y);
}

}  // namespace

void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges, double contactRadius,
                             double staticFriction, double kineticFriction, double bounce,
                             double stick, [[maybe_unused]] int32_t segmentCount,
                             std::span<StickAnchor> stickAnchors) {
    assert(ContactInputsMatch(rope, segmentCount, stickAnchors));
    const ContactResponse response{staticFriction, kineticFriction, bounce, stick};
    for (std::size_t k = 0; k + 1 < rope.size(); ++k) {
        // A torn link has no contacts; its nodes still collide through their other links.
        if (rope[k].torn) {
            continue;
        }
        for (const MaskCollider& edge : edges) {
            ResolveLinkAgainstEdge(k, rope, edge, contactRadius, response, stickAnchors);
        }
    }
}

void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges, double contactRadius,
                             double staticFriction, double kineticFriction, double bounce,
                             double stick, [[maybe_unused]] int32_t segmentCount,
                             std::span<StickAnchor> stickAnchors, const EdgeBins& bins,
                             IndexSet& candidates, BroadPhaseStats* stats) {
    assert(ContactInputsMatch(rope, segmentCount, stickAnchors));
    if (edges.empty()) {
        return;
    }
    const ContactResponse response{staticFriction, kineticFriction, bounce, stick};
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
            if (ResolveLinkAgainstEdge(k, rope, edges[e], contactRadius, response, stickAnchors)) {
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
