#include "broad_phase.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarsivel {
namespace {

// Relative allowance for the rounding of a box test and of the closest-point computation behind
// it; thousands of times what either can round by.
constexpr double kRelativeAllowance = 1e-12;

// Below this many edges a link simply filters every edge by its box.
constexpr std::size_t kFewestBinnedEdges = 8;
// An edge spanning more cells than this is tested by every link instead of being filed in each.
constexpr int64_t kMostCellsPerEdge = 16;

double Magnitude(double x0, double y0, double x1, double y1) {
    return std::max(std::max(std::abs(x0), std::abs(y0)), std::max(std::abs(x1), std::abs(y1)));
}

}  // namespace

SegmentBounds BoundsOf(double x0, double y0, double x1, double y1) {
    SegmentBounds b{};
    b.minX = x0 < x1 ? x0 : x1;
    b.maxX = x0 < x1 ? x1 : x0;
    b.minY = y0 < y1 ? y0 : y1;
    b.maxY = y0 < y1 ? y1 : y0;
    // std::max drops a NaN silently, so wildness is tested coordinate by coordinate.
    b.wild = IsWild(x0, y0) || IsWild(x1, y1);
    b.magnitude = b.wild ? std::numeric_limits<double>::infinity() : Magnitude(x0, y0, x1, y1);
    return b;
}

double PaddedContactRadius(double contactRadius) {
    const double r = std::abs(contactRadius);
    if (!(r < kWildCoordinate)) {
        return std::numeric_limits<double>::infinity();
    }
    return r * (1.0 + kRelativeAllowance);
}

bool MayTouch(const SegmentBounds& link, const SegmentBounds& edge, double paddedRadius) {
    if (link.wild || edge.wild) {
        return true;
    }
    const double pad = paddedRadius + kRelativeAllowance * std::max(link.magnitude, edge.magnitude);
    return !(edge.minX - link.maxX > pad || link.minX - edge.maxX > pad ||
             edge.minY - link.maxY > pad || link.minY - edge.maxY > pad);
}

void IndexSet::Reset(std::size_t size) {
    size_ = size;
    words_.assign((size + 63) / 64, 0);
}

void IndexSet::Clear() {
    std::fill(words_.begin(), words_.end(), uint64_t{0});
}

void IndexSet::InsertAll() {
    std::fill(words_.begin(), words_.end(), ~uint64_t{0});
    if (size_ % 64 != 0) {
        words_.back() = (uint64_t{1} << (size_ % 64)) - 1;
    }
}

void IndexSet::InsertFrom(const IndexSet& other) {
    for (std::size_t w = 0; w < words_.size(); ++w) {
        words_[w] |= other.words_[w];
    }
}

GridLayout GridLayout::Cover(double minX, double maxX, double minY, double maxY, double cell,
                             std::size_t maxCells) {
    GridLayout grid;
    grid.originX = minX;
    grid.originY = minY;
    const double width = maxX - minX;
    const double height = maxY - minY;
    // Never more than 1024 cells along an axis, whatever the cell size asked for.
    double size = std::max(cell, std::max(width, height) / 1024.0);
    if (!(size > 0.0) || !std::isfinite(size)) {
        size = 1.0;
    }
    auto count = [&](double extent) { return std::floor(extent / size) + 1.0; };
    while (count(width) * count(height) > static_cast<double>(std::max<std::size_t>(maxCells, 1))) {
        size *= 2.0;
    }
    grid.inverseCell = 1.0 / size;
    grid.columns = static_cast<int32_t>(count(width));
    grid.rows = static_cast<int32_t>(count(height));
    return grid;
}

void EdgeBins::Reserve(std::size_t edgeCount) {
    bounds_.resize(edgeCount);
    everywhere_.Reset(edgeCount);
    cellStart_.resize(4 * edgeCount + 2);
    cellEdges_.resize(static_cast<std::size_t>(kMostCellsPerEdge) * edgeCount);
}

void EdgeBins::Build(std::span<const MaskCollider> edges, double contactRadius) {
    const std::size_t count = edges.size();
    paddedRadius_ = PaddedContactRadius(contactRadius);
    everywhere_.Clear();
    binned_ = false;
    for (std::size_t e = 0; e < count; ++e) {
        const MaskCollider& edge = edges[e];
        bounds_[e] = BoundsOf(edge.x0, edge.y0, edge.x1, edge.y1);
    }
    if (count < kFewestBinnedEdges || std::isinf(paddedRadius_)) {
        everywhere_.InsertAll();
        return;
    }
    Bin(count);
}

void EdgeBins::Bin(std::size_t edgeCount) {
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    double extentSum = 0.0;
    std::size_t tame = 0;
    edgeMagnitude_ = 0.0;
    for (std::size_t e = 0; e < edgeCount; ++e) {
        const SegmentBounds& b = bounds_[e];
        if (b.wild) {
            everywhere_.Insert(e);
            continue;
        }
        minX = std::min(minX, b.minX);
        maxX = std::max(maxX, b.maxX);
        minY = std::min(minY, b.minY);
        maxY = std::max(maxY, b.maxY);
        extentSum += std::max(b.maxX - b.minX, b.maxY - b.minY);
        edgeMagnitude_ = std::max(edgeMagnitude_, b.magnitude);
        ++tame;
    }
    if (tame == 0) {
        return;
    }
    // Cells about an edge long, and no finer than a contact's reach.
    const double cell = std::max(extentSum / static_cast<double>(tame), 4.0 * paddedRadius_);
    grid_ = GridLayout::Cover(minX, maxX, minY, maxY, cell, cellStart_.size() - 1);
    const auto cells = static_cast<std::size_t>(grid_.Cells());
    std::fill(cellStart_.begin(), cellStart_.begin() + static_cast<std::ptrdiff_t>(cells) + 1, 0);

    // Counting sort: count each cell's edges, turn the counts into end positions, then file the
    // edges backwards so that every cell lists its edges in ascending order.
    auto forEachCell = [&](const SegmentBounds& b, auto&& visit) {
        for (int32_t row = grid_.Row(b.minY); row <= grid_.Row(b.maxY); ++row) {
            for (int32_t col = grid_.Column(b.minX); col <= grid_.Column(b.maxX); ++col) {
                visit(static_cast<std::size_t>(row) * static_cast<std::size_t>(grid_.columns) +
                      static_cast<std::size_t>(col));
            }
        }
    };
    auto spansMany = [&](const SegmentBounds& b) {
        const int64_t cols = grid_.Column(b.maxX) - grid_.Column(b.minX) + 1;
        const int64_t rows = grid_.Row(b.maxY) - grid_.Row(b.minY) + 1;
        return cols * rows > kMostCellsPerEdge;
    };
    filedMinX_ = std::numeric_limits<double>::infinity();
    filedMinY_ = filedMinX_;
    filedMaxX_ = -filedMinX_;
    filedMaxY_ = -filedMinX_;
    for (std::size_t e = 0; e < edgeCount; ++e) {
        const SegmentBounds& b = bounds_[e];
        if (b.wild) {
            continue;
        }
        if (spansMany(b)) {
            everywhere_.Insert(e);
            continue;
        }
        filedMinX_ = std::min(filedMinX_, b.minX);
        filedMaxX_ = std::max(filedMaxX_, b.maxX);
        filedMinY_ = std::min(filedMinY_, b.minY);
        filedMaxY_ = std::max(filedMaxY_, b.maxY);
        forEachCell(b, [&](std::size_t c) { ++cellStart_[c]; });
    }
    for (std::size_t c = 1; c <= cells; ++c) {
        cellStart_[c] += cellStart_[c - 1];
    }
    for (std::size_t e = edgeCount; e-- > 0;) {
        const SegmentBounds& b = bounds_[e];
        if (b.wild || spansMany(b)) {
            continue;
        }
        forEachCell(b,
                    [&](std::size_t c) { cellEdges_[--cellStart_[c]] = static_cast<int32_t>(e); });
    }
    binned_ = true;
}

double EdgeBins::Allowance(const SegmentBounds& link) const {
    const double magnitude = std::max(link.magnitude, edgeMagnitude_);
    return paddedRadius_ + kRelativeAllowance * magnitude +
           kBookkeepingAllowance * (magnitude + 1.0);
}

EdgeBins::Region EdgeBins::Gather(const SegmentBounds& link, IndexSet& candidates) const {
    if (!binned_ || link.wild) {
        candidates.InsertAll();
        return {0.0, 0.0, 0.0, 0.0, true};
    }
    candidates.InsertFrom(everywhere_);
    // Room for the link to be pushed about a contact radius before it has to gather again.
    const double reach = 2.0 * Allowance(link);
    const Region region{link.minX - reach, link.maxX + reach, link.minY - reach, link.maxY + reach,
                        false};
    // Points outside the grid fall into its border cells, so a region beside or far from the
    // filed edges would gather the border's edges only to have every one rejected by its box.
    // Every filed edge lies within the filed box, so an edge overlapping the region overlaps its
    // part within that box too (the same comparisons, with no arithmetic of their own): the
    // cells of that part are the only ones to look at, and there are none when it is empty.
    const double minX = std::max(region.minX, filedMinX_);
    const double maxX = std::min(region.maxX, filedMaxX_);
    const double minY = std::max(region.minY, filedMinY_);
    const double maxY = std::min(region.maxY, filedMaxY_);
    if (maxX < minX || maxY < minY) {
        return region;
    }
    const int32_t col0 = grid_.Column(minX);
    const int32_t col1 = grid_.Column(maxX);
    for (int32_t row = grid_.Row(minY); row <= grid_.Row(maxY); ++row) {
        const std::size_t rowStart =
            static_cast<std::size_t>(row) * static_cast<std::size_t>(grid_.columns);
        const auto first =
            static_cast<std::size_t>(cellStart_[rowStart + static_cast<std::size_t>(col0)]);
        const auto last =
            static_cast<std::size_t>(cellStart_[rowStart + static_cast<std::size_t>(col1) + 1]);
        // A row's cells are stored one after another, so a run of columns is one run of entries.
        for (std::size_t i = first; i < last; ++i) {
            candidates.Insert(static_cast<std::size_t>(cellEdges_[i]));
        }
    }
    return region;
}

bool EdgeBins::StillCovers(const Region& region, const SegmentBounds& link) const {
    if (region.everything) {
        return true;
    }
    if (link.wild) {
        return false;
    }
    const double need = Allowance(link);
    return link.minX - need >= region.minX && link.maxX + need <= region.maxX &&
           link.minY - need >= region.minY && link.maxY + need <= region.maxY;
}

}  // namespace tarsivel
