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

// A pair can only act while both its offsets are below the collision distance, whatever the
// rounding (the squares are monotone). So node l looks at the nodes filed within that distance
// plus both drift allowances of where it gathered; a filed node that drifts further is filed
// again, and node l gathers again once it has drifted. Nodes before l + 2 are never candidates
// again, so they leave the grid as l passes them.
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

    const double minDistanceSquared = minDistance * minDistance;
    const double drift = kDriftShare * reach;
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
    bins.grid_ = GridLayout::Cover(minX, maxX, minY, maxY, reach + 2.0 * drift, bins.head_.size());
    const GridLayout& grid = bins.grid_;
    auto cellOf = [&grid](double x, double y) {
        return grid.Row(y) * grid.columns + grid.Column(x);
    };
    std::fill(bins.head_.begin(), bins.head_.begin() + grid.Cells(), -1);
    bins.cell_[0] = -1;
    bins.cell_[1] = -1;
    for (std::size_t j = n; j-- > 2;) {
        bins.File(j, cellOf(rope[j].x, rope[j].y));
        bins.filedX_[j] = rope[j].x;
        bins.filedY_[j] = rope[j].y;
    }

    // The candidates: every node filed in a block of cells, gathered for one node and kept for
    // the nodes after it as long as the cells each of them must look at lie inside that block
    // (neighbours along the rope mostly do). Nodes filed again inside the block join it; nodes
    // before l + 2 are skipped, as are nodes gathered for a block but no longer filed in it (a
    // superset is harmless: every candidate is tested exactly).
    IndexSet& candidates = bins.candidates_;
    candidates.Clear();
    std::size_t highest = 0;
    struct Block {
        int32_t col0;
        int32_t col1;
        int32_t row0;
        int32_t row1;
    };
    Block block{0, -1, 0, -1};
    double gatheredX = 0.0;
    double gatheredY = 0.0;
    auto inBlock = [&block](int32_t col, int32_t row) {
        return col >= block.col0 && col <= block.col1 && row >= block.row0 && row <= block.row1;
    };
    // Makes sure the candidates hold every node filed in the cells that `node` must look at.
    auto gather = [&](const RopeParticle& node) {
        gatheredX = node.x;
        gatheredY = node.y;
        const double radius =
            (reach + 2.0 * drift) * (1.0 + kBookkeepingAllowance) +
            kBookkeepingAllowance * (std::abs(node.x) + std::abs(node.y) + reach + 1.0);
        const Block need{grid.Column(node.x - radius), grid.Column(node.x + radius),
                         grid.Row(node.y - radius), grid.Row(node.y + radius)};
        if (inBlock(need.col0, need.row0) && inBlock(need.col1, need.row1)) {
            return;
        }
        candidates.ClearWords(0, highest);
        highest = 0;
        block = need;
        for (int32_t row = need.row0; row <= need.row1; ++row) {
            for (int32_t col = need.col0; col <= need.col1; ++col) {
                for (int32_t j = bins.head_[static_cast<std::size_t>(row * grid.columns + col)];
                     j >= 0; j = bins.next_[static_cast<std::size_t>(j)]) {
                    const auto u = static_cast<std::size_t>(j);
                    candidates.Insert(u);
                    highest = std::max(highest, u);
                }
            }
        }
    };

    int64_t tests = 0;
    int64_t rebins = 0;
    const uint64_t* words = candidates.Words();
    for (std::size_t l = 0; l + 2 < n; ++l) {
        bins.Unfile(l + 1);
        RopeParticle& nodeL = rope[l];
        gather(nodeL);
        // Members from l + 2 to `highest` in ascending order, a word at a time; after a
        // regather the walk picks up again right after the node just tested.
        std::size_t from = l + 2;
        std::size_t word = from >> 6;
        uint64_t bits = from <= highest ? words[word] & (~uint64_t{0} << (from & 63)) : 0;
        for (;;) {
            while (bits == 0) {
                if (++word > (highest >> 6)) {
                    break;
                }
                bits = words[word];
            }
            if (bits == 0) {
                break;
            }
            const std::size_t j = (word << 6) + static_cast<std::size_t>(std::countr_zero(bits));
            bits &= bits - 1;
            ++tests;
            RopeParticle& nodeJ = rope[j];
            if (!SeparatePair(nodeL, nodeJ, minDistance, minDistanceSquared)) {
                continue;
            }
            if (DriftedBeyond(nodeJ.x, nodeJ.y, bins.filedX_[j], bins.filedY_[j], drift)) {
                const int32_t col = grid.Column(nodeJ.x);
                const int32_t row = grid.Row(nodeJ.y);
                bins.Unfile(j);
                bins.File(j, row * grid.columns + col);
                bins.filedX_[j] = nodeJ.x;
                bins.filedY_[j] = nodeJ.y;
                if (inBlock(col, row)) {
                    candidates.Insert(j);
                    highest = std::max(highest, j);
                }
                ++rebins;
            }
            if (DriftedBeyond(nodeL.x, nodeL.y, gatheredX, gatheredY, drift)) {
                gather(nodeL);
                from = j + 1;
                word = from >> 6;
                bits = from <= highest ? words[word] & (~uint64_t{0} << (from & 63)) : 0;
                if (word > (highest >> 6)) {
                    break;
                }
            }
        }
    }
    if (stats != nullptr) {
        stats->selfCollisionTests += tests;
        stats->selfCollisionRebins += rebins;
    }
}

}  // namespace tarsivel
