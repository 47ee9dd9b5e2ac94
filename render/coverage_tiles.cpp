#include "render/coverage_tiles.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "render/piece_coverage.h"

namespace tarsivel {

bool CoverageTiles::Reset(int32_t width, int32_t height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    tilesX_ = (width_ + kSide - 1) >> kShift;
    tilesY_ = (height_ + kSide - 1) >> kShift;
    used_ = 0;
    const size_t tiles = static_cast<size_t>(tilesX_) * static_cast<size_t>(tilesY_);
    // One allocation, left uninitialised: a tile is zeroed when a piece first
    // reaches it, so untouched memory is never written (nor, for a fresh
    // mapping, paged in).
    const size_t poolBytes = tiles * kArea * sizeof(float);
    block_.reset(new (std::nothrow) unsigned char[poolBytes + tiles * sizeof(int32_t)]);
    if (!block_) {
        pool_ = nullptr;
        slots_ = nullptr;
        tilesX_ = tilesY_ = 0;
        return false;
    }
    pool_ = reinterpret_cast<float*>(block_.get());
    slots_ = reinterpret_cast<int32_t*>(block_.get() + poolBytes);
    std::fill_n(slots_, tiles, -1);
    return true;
}

void CoverageTiles::AddPiece(const TaperedPiece& drawn) {
    CoveragePiece piece;
    if (!PrepareCoveragePiece(drawn, width_, height_, piece)) {
        return;
    }
    for (int32_t i = piece.rows.first; i <= piece.rows.last; ++i) {
        const PixelSpan columns = CoveragePieceColumns(piece, i, width_);
        const std::ptrdiff_t rowInTile = static_cast<std::ptrdiff_t>(i & (kSide - 1)) * kSide;
        for (int32_t first = columns.first; first <= columns.last;) {
            const int32_t tx = first >> kShift;
            const int32_t last = std::min(columns.last, tx * kSide + kSide - 1);
            float* tile = TileAt(tx, i >> kShift);
            RaiseCoverageRow(piece, i, first, last, tile + rowInTile + (first & (kSide - 1)));
            first = last + 1;
        }
    }
}

void CoverageTiles::AddRope(const RopeRenderData& renderData) {
    ForEachRopePiece(renderData, [&](const TaperedPiece& piece) { AddPiece(piece); });
}

float CoverageTiles::At(int32_t column, int32_t row) const {
    const int32_t slot =
        slots_[static_cast<std::ptrdiff_t>(row >> kShift) * tilesX_ + (column >> kShift)];
    if (slot < 0) {
        return 0.0f;
    }
    return pool_[static_cast<std::ptrdiff_t>(slot) * kArea + (row & (kSide - 1)) * kSide +
                 (column & (kSide - 1))];
}

}  // namespace tarsivel
