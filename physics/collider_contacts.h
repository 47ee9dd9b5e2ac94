#ifndef TARSIVEL_PHYSICS_COLLIDER_CONTACTS_H
#define TARSIVEL_PHYSICS_COLLIDER_CONTACTS_H

#include <cstdint>
#include <span>

#include "broad_phase.h"
#include "collider_edge.h"
#include "rope.h"
#include "rope_step_settings.h"
#include "stick_anchor.h"
#include "vec2.h"

namespace tarsivel {

// Closest points between the link p0-p1 and the edge q0-q1. Writes the point on each segment and
// returns their squared distance. Nearly parallel or degenerate pairs (determinant < 1e-8) are
// measured from p0 first; clamping onto the edge may still move the point along the link.
double ClosestPointsSegmentSegment(Vec2 p0, Vec2 p1, Vec2 q0, Vec2 q1, Vec2& onLink, Vec2& onEdge);

// Pushes every intact link, as a capsule of contactRadius, out of each edge it touches, links in
// index order and edges in list order, each push applied at once. The push is shared between the
// link's nodes by where along the link the contact lies. A pushed node is then caught (when stick
// > 0 and it is not caught yet) or given bounce and static or kinetic friction. Pinned nodes never
// move. The rope must have segmentCount + 1 nodes and one stick anchor per node (asserted in debug
// builds; StepRope checks it once per call).
void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges, double contactRadius,
                             double staticFriction, double kineticFriction, double bounce,
                             double stick, int32_t segmentCount,
                             std::span<StickAnchor> stickAnchors);

// The context the contact pass reads, for running it outside a step: every other field zero.
StepContext ContactContext(double contactRadius, double staticFriction, double kineticFriction,
                           double bounce, double stick);

// The same pass as a step runs it: contactRadius from the context, staticFriction,
// kineticFriction, bounce and stick from its settings. The form above forwards to it.
void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges,
                             const StepContext& context, std::span<StickAnchor> stickAnchors);

// The same pass with the same results, bit for bit, testing only the edges that `bins` (built
// from `edges` and the contact radius for this substep) cannot rule out. `candidates` is scratch
// sized for the edge list. Counts its work into `stats` when given.
void ResolveColliderContacts(Rope& rope, std::span<const MaskCollider> edges,
                             const StepContext& context, std::span<StickAnchor> stickAnchors,
                             const EdgeBins& bins, IndexSet& candidates,
                             BroadPhaseStats* stats = nullptr);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_COLLIDER_CONTACTS_H
