#ifndef TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H
#define TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "broad_phase.h"
#include "rope.h"

namespace tarsivel {

// Pushes apart every pair of non-neighbouring nodes closer than minDistance, in pair order with
// each push applied at once. Pinned nodes do not move. Every pair is tested: the cost is about
// n * n / 2 distance tests for n nodes.
void ResolveSelfCollisions(Rope& rope, double minDistance);

// Scratch of the binned pass below: the nodes filed in a uniform grid, sized for the rope by each
// step that runs the pass. Every pass files the nodes afresh, so nothing carries from one pass to
// the next.
class NodeBins {
  public:
    void Reserve(std::size_t nodeCount);

  private:
    // The binned pass's steps, which work on this storage (self_collision_pass.cpp).
    struct Pass;
    friend void ResolveSelfCollisions(Rope&, double, NodeBins&, BroadPhaseStats*);
    void File(std::size_t node, int32_t cell);
    void Unfile(std::size_t node);

    GridLayout grid_;
    std::vector<int32_t> head_;  // First node of each cell, -1 when empty.
    std::vector<int32_t> next_;
    std::vector<int32_t> prev_;
    std::vector<int32_t> cell_;   // Each node's cell, -1 when not filed.
    std::vector<double> filedX_;  // Where each node was when filed.
    std::vector<double> filedY_;
    IndexSet candidates_;
};

// The same pass with the same results, bit for bit, testing only the pairs that can be within
// minDistance when their turn comes. Falls back to the all-pairs loop when a node position is wild.
// Counts its work into `stats` when given.
void ResolveSelfCollisions(Rope& rope, double minDistance, NodeBins& bins,
                           BroadPhaseStats* stats = nullptr);

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_SELF_COLLISION_PASS_H
