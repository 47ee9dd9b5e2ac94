#ifndef TARSIVEL_PHYSICS_BROAD_PHASE_H
#define TARSIVEL_PHYSICS_BROAD_PHASE_H

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "collider_edge.h"

namespace tarsivel {

// What lets the step skip a link-edge or node-node test without changing a single result bit. A
// test is skipped only when its outcome is provably "nothing happens"; everything that may act
// is still tested, in the all-pairs order, on the positions of that moment.

// Coordinates at or beyond this magnitude (and NaN or infinity) are "wild": the closest-point
// products of degree four can overflow there and turn a far-away pair into a NaN distance, which
// counts as a contact. Nothing wild is ever rejected by its box; it is always tested.
inline constexpr double kWildCoordinate = 1e64;

inline bool IsWild(double x, double y) {
    return !(std::abs(x) < kWildCoordinate && std::abs(y) < kWildCoordinate);
}

// Spare room for the bookkeeping of gathered regions and filed nodes:
// coordinates and sums round by far less.
inline constexpr double kBookkeepingAllowance = 1e-9;

// Axis-aligned bounds of one edge or link. `magnitude` is the largest coordinate magnitude, which
// sizes the rounding allowance of a box test.
struct SegmentBounds {
    double minX;
    double maxX;
    double minY;
    double maxY;
    double magnitude;
    bool wild;
};

SegmentBounds BoundsOf(double x0, double y0, double x1, double y1);

// The radius term of MayTouch's allowance: |r| * (1 + 1e-12), or infinity when the radius itself
// is wild, so that nothing is ever rejected.
double PaddedContactRadius(double contactRadius);

// False only when the closest-point distance of two segments with these bounds cannot be below
// the contact radius. That distance is at least the gap between their boxes; a gap beyond
// paddedRadius + 1e-12 * magnitude survives every rounding of the closest-point computation (its
// points can lie an ulp outside the boxes, and squares and sums round).
bool MayTouch(const SegmentBounds& link, const SegmentBounds& edge, double paddedRadius);

// A set of indices, one bit each, visited in ascending order however it was filled: candidates
// come out in the all-pairs order without sorting or duplicates.
class IndexSet {
  public:
    void Reset(std::size_t size);  // Allocates; once per step.
    void Clear();
    void Insert(std::size_t index) { words_[index >> 6] |= uint64_t{1} << (index & 63); }
    void InsertAll();
    void InsertFrom(const IndexSet& other);
    // The smallest member at or after `from`, or Size() when there is none. Members inserted while
    // iterating are found as long as they lie after the current one.
    std::size_t Next(std::size_t from) const { return Next(from, size_ == 0 ? 0 : size_ - 1); }
    // The same, looking no further than `last`: past it, Size() or some member beyond `last`.
    std::size_t Next(std::size_t from, std::size_t last) const {
        std::size_t word = from >> 6;
        const std::size_t lastWord = last >> 6;
        if (word > lastWord || word >= words_.size()) {
            return size_;
        }
        uint64_t bits = words_[word] & (~uint64_t{0} << (from & 63));
        while (bits == 0) {
            if (++word > lastWord) {
                return size_;
            }
            bits = words_[word];
        }
        return (word << 6) + static_cast<std::size_t>(std::countr_zero(bits));
    }
    // Drops every member in the words holding first to last.
    void ClearWords(std::size_t first, std::size_t last) {
        for (std::size_t w = first >> 6; w <= (last >> 6) && w < words_.size(); ++w) {
            words_[w] = 0;
        }
    }
    std::size_t Size() const { return size_; }
    const uint64_t* Words() const { return words_.data(); }

  private:
    std::vector<uint64_t> words_;
    std::size_t size_ = 0;
};

// A uniform grid over a rectangle. Points outside it fall into the border cells; the cell of a
// coordinate never decreases as the coordinate grows, so a box that overlaps another always shares
// a cell with it, rounding included.
struct GridLayout {
    double originX = 0.0;
    double originY = 0.0;
    double inverseCell = 0.0;
    int32_t columns = 1;
    int32_t rows = 1;

    // Cells of at least `cell` pixels, coarsened until there are at most maxCells of them.
    static GridLayout Cover(double minX, double maxX, double minY, double maxY, double cell,
                            std::size_t maxCells);
    int32_t Column(double x) const { return CellAlong(x, originX, columns); }
    int32_t Row(double y) const { return CellAlong(y, originY, rows); }
    int32_t Cells() const { return columns * rows; }

  private:
    int32_t CellAlong(double v, double origin, int32_t count) const {
        const double f = (v - origin) * inverseCell;
        if (!(f >= 1.0)) {
            return 0;  // Also NaN, which the callers never pass.
        }
        return f >= count ? count - 1 : static_cast<int32_t>(f);
    }
};

// Counts of the broad phase, for benchmarks and tests.
struct BroadPhaseStats {
    int64_t linkEdgePairs = 0;      // Intact links times edges, over every contact pass.
    int64_t closestPointTests = 0;  // Of those, the pairs that ran the closest-point test.
    int64_t selfCollisionPasses = 0;
    int64_t selfCollisionFallbacks = 0;  // Passes run as the all-pairs loop (wild positions).
    int64_t selfCollisionPairs = 0;      // Node pairs of every pass.
    int64_t selfCollisionTests = 0;      // Of those, the pairs that were tested.
    int64_t selfCollisionRebins = 0;     // Nodes filed again after drifting from their cell.
};

// The substep's collider edges binned in a uniform grid, so that a link looks only at the edges
// near it. Built once per substep (edges move between substeps, never during relaxation) into
// storage reserved once per step.
class EdgeBins {
  public:
    // The region of the layer whose edges a link has gathered: while the link's bounds, grown by
    // the contact allowance, stay inside it, no edge outside the gathered set can touch the link.
    struct Region {
        double minX;
        double maxX;
        double minY;
        double maxY;
        bool everything;
    };

    void Reserve(std::size_t edgeCount);
    void Build(std::span<const MaskCollider> edges, double contactRadius);

    const SegmentBounds& Bounds(std::size_t edge) const { return bounds_[edge]; }
    double PaddedRadius() const { return paddedRadius_; }
    Region Gather(const SegmentBounds& link, IndexSet& candidates) const;
    bool StillCovers(const Region& region, const SegmentBounds& link) const;

  private:
    // Contact allowance of a link against every binned edge, with a little to spare for rounding.
    double Allowance(const SegmentBounds& link) const;
    void Bin(std::size_t edgeCount);

    std::vector<SegmentBounds> bounds_;
    IndexSet everywhere_;  // Tested by every link: wild edges and edges spanning many cells.
    std::vector<int32_t> cellStart_;
    std::vector<int32_t> cellEdges_;
    GridLayout grid_;
    // The box of the edges filed in cells, each of which lies within it (empty when none is).
    double filedMinX_ = 0.0;
    double filedMaxX_ = 0.0;
    double filedMinY_ = 0.0;
    double filedMaxY_ = 0.0;
    double paddedRadius_ = 0.0;
    double edgeMagnitude_ = 0.0;  // Largest magnitude among the binned edges.
    bool binned_ = false;
};

}  // namespace tarsivel

#endif  // TARSIVEL_PHYSICS_BROAD_PHASE_H
