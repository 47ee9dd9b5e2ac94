#include "self_collision_pass.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tarsivel {
namespace {

// Pairs closer than 1e-4 have no usable direction and are left alone.
constexpr double kCoincidentSquared = 1e-8;

// Returns whether either node moved.
bool SeparatePair(RopeParticle& l, RopeParticle& j, double minDistance, double minDistanceSquared) {
    const Vec2 delta = Difference(Position(j), Position(l));
    const double q = LengthSquared(delta);
    if (!(q < minDistanceSquared && q > kCoincidentSquared)) {
        return false;
    }
    const double weightL = l.pinned ? 0.0 : 1.0;
    const double weightJ = j.pinned ? 0.0 : 1.0;
    if (weightL == 0.0 && weightJ == 0.0) {
        return false;
    }
    const double d = std::sqrt(q);
    const double s = (minDistance - d) / (weightL + weightJ);
    const double ux = delta.x / d * s;
    const double uy = delta.y / d * s;
    // Only moving nodes are written, so a pinned node keeps its exact bits.
    if (weightL == 1.0) {
        l.x -= ux;
        l.y -= uy;
    }
    if (weightJ == 1.0) {
        j.x += ux;
        j.y += uy;
    }
    return true;
}

// Below this many nodes the all-pairs loop costs less than filing the nodes.
constexpr std::size_t kFewestBinnedNodes = 48;
// How far a filed node may drift from where it was filed, and the node being resolved from where
// it gathered, as a share of the collision distance, before they are filed or gathered again.
constexpr double kDriftShare = 0.15;

bool AnyWild(const Rope& rope) {
    for (const RopeParticle& node : rope) {
        if (IsWild(node.x, node.y)) {
            return true;
        }
    }
    return false;
}

bool DriftedBeyond(double x, double y, double fromX, double fromY, double drift) {
    return std::abs(x - fromX) > drift || std::abs(y - fromY) > drift;
}

}  // namespace

void ResolveSelfCollisions(Rope& rope, double minDistance) {
    const double minDistanceSquared = minDistance * minDistance;
    const std::size_t n = rope.size();
    // Direct neighbours are never tested, even across a torn link, so tearing never changes which
    // pairs collide.
    for (std::size_t l = 0; l < n; ++l) {
        for (std::size_t j = l + 2; j < n; ++j) {
            SeparatePair(rope[l], rope[j], minDistance, minDistanceSquared);
        }
    }
}

void NodeBins::Reserve(std::size_t nodeCount) {
    head_.resize(8 * nodeCount + 16);
    next_.resize(nodeCount);
    prev_.resize(nodeCount);
    cell_.resize(nodeCount);
    filedX_.resize(nodeCount);
    filedY_.resize(nodeCount);
    candidates_.Reset(nodeCount);
}

void NodeBins::File(std::size_t node, int32_t cell) {
    const int32_t first = head_[static_cast<std::size_t>(cell)];
    next_[node] = first;
    prev_[node] = -1;
    if (first >= 0) {
        prev_[static_cast<std::size_t>(first)] = static_cast<int32_t>(node);
    }
    head_[static_cast<std::size_t>(cell)] = static_cast<int32_t>(node);
    cell_[node] = cell;
}

void NodeBins::Unfile(std::size_t node) {
    const int32_t cell = cell_[node];
    if (cell < 0) {
        return;
    }
    const int32_t before = prev_[node];
    const int32_t after = next_[node];
    if (before >= 0) {
        next_[static_cast<std::size_t>(before)] = after;
    } else {
        head_[static_cast<std::size_t>(cell)] = after;
    }
    if (after >= 0) {
        prev_[static_cast<std::size_t>(after)] = before;
    }
    cell_[node] = -1;
}

// The binned pass, step by step. A pair can only act while both its offsets are below the
// collision distance, whatever the rounding (the squares are monotone). So node l looks at the
// nodes filed within that distance plus both drift allowances of where it gathered; a filed node
// that drifts further is filed again, and node l gathers again once it has drifted. Nodes before
// l + 2 are never candidates again, so they leave the grid as l passes them.
//
// The candidates: every node filed in a block of cells, gathered for one node and kept for the
// nodes after it as long as the cells each of them must look at lie inside that block (neighbours
// along the rope mostly do). Nodes filed again inside the block join it; nodes before l + 2 are
// skipped, as are nodes gathered for a block but no longer filed in it (a superset is harmless:
// every candidate is tested exactly).
struct NodeBins::Pass {
    // Columns col0 to col1 and rows row0 to row1; empty while col1 < col0.
    struct Block {
        int32_t col0;
        int32_t col1;
        int32_t row0;
        int32_t row1;

        bool Holds(int32_t col, int32_t row) const {
            return col >= col0 && col <= col1 && row >= row0 && row <= row1;
        }
    };

    // What the pass knows throughout, and what it has gathered for the node being resolved.
    struct State {
        double minDistance;
        double minDistanceSquared;
        double reach;  // |minDistance|
        double drift;  // How far a node may move from where it was filed or gathered.
        Block block{0, -1, 0, -1};
        double gatheredX = 0.0;
        double gatheredY = 0.0;
        std::size_t highest = 0;  // No candidate lies above it.
        int64_t tests = 0;
        int64_t rebins = 0;
    };

    // Where the candidates walk has got to: the word it is in and that word's members not yet
    // visited.
    struct Walk {
        std::size_t word;
        uint64_t bits;
    };

    static int32_t CellOf(const GridLayout& grid, double x, double y) {
        return grid.Row(y) * grid.columns + grid.Column(x);
    }

    // Lays a grid over nodes 2 onwards, the first ones node 0 can collide with, and files each of
    // them; nodes 0 and 1 are never filed.
    static void FileNodes(NodeBins& bins, const Rope& rope, double cell) {
        const std::size_t n = rope.size();
        double minX = rope[2].x;
        double maxX = minX;
        double minY = rope[2].y;
        double maxY = minY;
        for (std::size_t j = 2; j < n; ++j) {
            minX = std::min(minX, rope[j].x);
            maxX = std::max(maxX, rope[j].x);
            minY = std::min(minY, rope[j].y);
            maxY = std::max(maxY, rope[j].y);
        }
        bins.grid_ = GridLayout::Cover(minX, maxX, minY, maxY, cell, bins.head_.size());
        const GridLayout& grid = bins.grid_;
        std::fill(bins.head_.begin(), bins.head_.begin() + grid.Cells(), -1);
        bins.cell_[0] = -1;
        bins.cell_[1] = -1;
        for (std::size_t j = n; j-- > 2;) {
            bins.File(j, CellOf(grid, rope[j].x, rope[j].y));
            bins.filedX_[j] = rope[j].x;
            bins.filedY_[j] = rope[j].y;
        }
    }

    // Makes sure the candidates hold every node filed in the cells that `node` must look at.
    static void Gather(NodeBins& bins, const RopeParticle& node, State& state) {
        const GridLayout& grid = bins.grid_;
        state.gatheredX = node.x;
        state.gatheredY = node.y;
        const double radius =
            (state.reach + 2.0 * state.drift) * (1.0 + kBookkeepingAllowance) +
            kBookkeepingAllowance * (std::abs(node.x) + std::abs(node.y) + state.reach + 1.0);
        const Block need{grid.Column(node.x - radius), grid.Column(node.x + radius),
                         grid.Row(node.y - radius), grid.Row(node.y + radius)};
        if (state.block.Holds(need.col0, need.row0) && state.block.Holds(need.col1, need.row1)) {
            return;
        }
        bins.candidates_.ClearWords(0, state.highest);
        state.highest = 0;
        state.block = need;
        for (int32_t row = need.row0; row <= need.row1; ++row) {
            for (int32_t col = need.col0; col <= need.col1; ++col) {
                for (int32_t j = bins.head_[static_cast<std::size_t>(row * grid.columns + col)];
                     j >= 0; j = bins.next_[static_cast<std::size_t>(j)]) {
                    const auto u = static_cast<std::size_t>(j);
                    bins.candidates_.Insert(u);
                    state.highest = std::max(state.highest, u);
                }
            }
        }
    }

    // The walk over the candidates from `from` on, in ascending order a word at a time.
    static Walk WalkFrom(const NodeBins& bins, std::size_t from, const State& state) {
        const std::size_t word = from >> 6;
        const uint64_t* words = bins.candidates_.Words();
        return {word, from <= state.highest ? words[word] & (~uint64_t{0} << (from & 63)) : 0};
    }

    // The next candidate up to the highest one, read from the set as it is now: members inserted
    // after the walk's current word are found. False when there is none.
    static bool NextCandidate(const NodeBins& bins, const State& state, Walk& walk,
                              std::size_t& j) {
        const uint64_t* words = bins.candidates_.Words();
        while (walk.bits == 0) {
            if (++walk.word > (state.highest >> 6)) {
                return false;
            }
            walk.bits = words[walk.word];
        }
        j = (walk.word << 6) + static_cast<std::size_t>(std::countr_zero(walk.bits));
        walk.bits &= walk.bits - 1;
        return true;
    }

    // Files node j again where it is now once a push has moved it beyond the drift allowance; in
    // the gathered block it joins the candidates.
    static void RefileIfDrifted(NodeBins& bins, std::size_t j, const RopeParticle& node,
                                State& state) {
        if (!DriftedBeyond(node.x, node.y, bins.filedX_[j], bins.filedY_[j], state.drift)) {
            return;
        }
        const GridLayout& grid = bins.grid_;
        const int32_t col = grid.Column(node.x);
        const int32_t row = grid.Row(node.y);
        bins.Unfile(j);
        bins.File(j, row * grid.columns + col);
        bins.filedX_[j] = node.x;
        bins.filedY_[j] = node.y;
        if (state.block.Holds(col, row)) {
            bins.candidates_.Insert(j);
            state.highest = std::max(state.highest, j);
        }
        ++state.rebins;
    }

    // Every pair (l, j) with j from l + 2 on that the candidates hold, in ascending order of j.
    // When node l's own pushes have moved it beyond the drift allowance it gathers again, and the
    // walk goes on right after the node just tested.
    static void ResolvePairsOf(NodeBins& bins, Rope& rope, std::size_t l, State& state) {
        bins.Unfile(l + 1);
        RopeParticle& nodeL = rope[l];
        Gather(bins, nodeL, state);
        Walk walk = WalkFrom(bins, l + 2, state);
        std::size_t j = 0;
        while (NextCandidate(bins, state, walk, j)) {
            ++state.tests;
            RopeParticle& nodeJ = rope[j];
            if (!SeparatePair(nodeL, nodeJ, state.minDistance, state.minDistanceSquared)) {
                continue;
            }
            RefileIfDrifted(bins, j, nodeJ, state);
            if (DriftedBeyond(nodeL.x, nodeL.y, state.gatheredX, state.gatheredY, state.drift)) {
                Gather(bins, nodeL, state);
                walk = WalkFrom(bins, j + 1, state);
            }
        }
    }
};

void ResolveSelfCollisions(Rope& rope, double minDistance, NodeBins& bins, BroadPhaseStats* stats) {
    const std::size_t n = rope.size();
    const int64_t pairs = n < 3 ? 0 : static_cast<int64_t>((n - 1) * (n - 2) / 2);
    if (stats != nullptr) {
        ++stats->selfCollisionPasses;
        stats->selfCollisionPairs += pairs;
    }
    const double reach = std::abs(minDistance);
    // With a zero or NaN distance no squared distance is below its square: nothing can act.
    if (!(reach > 0.0)) {
        return;
    }
    const bool wild = !(reach < kWildCoordinate) || AnyWild(rope);
    if (n < kFewestBinnedNodes || wild) {
        ResolveSelfCollisions(rope, minDistance);
        if (stats != nullptr) {
            stats->selfCollisionTests += pairs;
            stats->selfCollisionFallbacks += wild ? 1 : 0;
        }
        return;
    }

    NodeBins::Pass::State state{minDistance, minDistance * minDistance, reach, kDriftShare * reach};
    NodeBins::Pass::FileNodes(bins, rope, reach + 2.0 * state.drift);
    bins.candidates_.Clear();
    for (std::size_t l = 0; l + 2 < n; ++l) {
        NodeBins::Pass::ResolvePairsOf(bins, rope, l, state);
    }
    if (stats != nullptr) {
        stats->selfCollisionTests += state.tests;
        stats->selfCollisionRebins += state.rebins;
    }
}

}  // namespace tarsivel
