#include "coverage_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pixel_span.h"

namespace tarsivel {
namespace {

// One tapered piece as the coverage accumulation evaluates it, shared by the
// full-frame map and the tiled map so both give the same bits.
struct CoveragePiece {
    double x0, y0, x1, y1;
    double len, ux, uy;
    double thickStart, thickEnd;
    // A distance from the piece beyond which every pixel's coverage is below
    // 0 even after rounding: the greater half width, the half-pixel ramp, one
    // pixel of slack and a share of the coordinates' magnitude.
    double reach;
    double reachSq;
    // Above any coverage the piece can give, rounding included.
    double peak;
    // The rows the piece may touch (its clipped bounding box with one pixel
    // of slack) and its columns on any of those rows.
    PixelSpan rows;
    PixelSpan columns;
    // Steep pieces get their columns narrowed row by row.
    bool narrowRows;
    double inverseDy;
};

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

PixelSpan Intersect(const PixelSpan& a, const PixelSpan& b) {
    return {std::max(a.first, b.first), std::min(a.last, b.last)};
}

// Prepares a piece for a map of width × height; false when it adds nothing (a
// coordinate or width that is not finite, or a length below 1e-6).
bool PrepareCoveragePiece(const TaperedPiece& drawn, int32_t width, int32_t height,
                          CoveragePiece& piece) {
    const double ax = static_cast<double>(drawn.x0), ay = static_cast<double>(drawn.y0);
    const double bx = static_cast<double>(drawn.x1), by = static_cast<double>(drawn.y1);
    const double ts = static_cast<double>(drawn.thickStart);
    const double te = static_cast<double>(drawn.thickEnd);
    if (!AllFinite({ax, ay, bx, by, ts, te})) {
        return false;
    }
    const double dx = bx - ax;
    const double dy = by - ay;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-6) {
        return false;
    }
    const double margin = std::max(ts, te) * 0.5;
    const double widest = std::max(std::fabs(ts), std::fabs(te));
    const double magnitude =
        std::max({std::fabs(ax), std::fabs(ay), std::fabs(bx), std::fabs(by), widest});
    // Rounding moves a computed distance or half width by far less than the
    // pixel of slack plus a millionth of the magnitudes involved.
    const double reach = std::max(0.0, margin + 1.5 + 1e-6 * magnitude);
    piece.x0 = ax;
    piece.y0 = ay;
    piece.x1 = bx;
    piece.y1 = by;
    piece.len = len;
    piece.ux = dx / len;
    piece.uy = dy / len;
    piece.thickStart = ts;
    piece.thickEnd = te;
    piece.reach = reach;
    piece.reachSq = reach * reach;
    piece.columns = ClippedSpan(std::min(ax, bx) - margin, std::max(ax, bx) + margin, width);
    piece.rows = ClippedSpan(std::min(ay, by) - margin, std::max(ay, by) + margin, height);
    // A piece much taller than its reach, and not upright, touches on each row
    // only a short run of its bounding box's columns.
    piece.narrowRows = std::fabs(dy) > 2.0 * reach && std::fabs(dx) > 2.0 * reach;
    piece.peak = margin + 0.5 + 1e-6 * (widest + 1.0);
    piece.inverseDy = piece.narrowRows ? 1.0 / dy : 0.0;
    return true;
}

// The columns of `row` that the piece can raise: its bounding-box columns,
// narrowed for steep pieces to where the piece passes within reach of the row.
// Every column left out would get a coverage below 0.
PixelSpan CoveragePieceColumns(const CoveragePiece& piece, int32_t row, int32_t width) {
    // The part of the piece that lies within reach of the row vertically: the
    // whole piece, or for a steep one only what crosses the row's band.
    double xa = piece.x0, xb = piece.x1, ya = piece.y0, yb = piece.y1;
    if (piece.narrowRows) {
        const double ta = (row - piece.reach - piece.y0) * piece.inverseDy;
        const double tb = (row + piece.reach - piece.y0) * piece.inverseDy;
        const double tLow = std::max(0.0, std::min(ta, tb));
        const double tHigh = std::min(1.0, std::max(ta, tb));
        if (!(tLow <= tHigh)) {
            return {};
        }
        const double dx = piece.x1 - piece.x0;
        const double dy = piece.y1 - piece.y0;
        xa = piece.x0 + tLow * dx;
        xb = piece.x0 + tHigh * dx;
        ya = piece.y0 + tLow * dy;
        yb = piece.y0 + tHigh * dy;
    }
    // A pixel within reach of a point of that part lies within the chord of
    // the reach circle at the row's vertical distance from the part.
    const double i = row;
    const double below = std::min(ya, yb) - i;
    const double above = i - std::max(ya, yb);
    const double gap = below > 0.0 ? below : (above > 0.0 ? above : 0.0);
    double halfChord = piece.reach;
    if (gap > 0.0) {
        const double chordSq = piece.reachSq - gap * gap;
        if (!(chordSq >= 0.0)) {
            return {};
        }
        halfChord = std::sqrt(chordSq);
    }
    return Intersect(piece.columns, ClippedSpan(std::min(xa, xb) - halfChord,
                                                std::max(xa, xb) + halfChord, width));
}

// One pixel, as the plain per-pixel loop has it; rowTerm is (i − y0)·uy.
inline void RaiseCoverageEntry(const CoveragePiece& piece, double i, double rowTerm, int32_t j,
                               float& entry) {
    if (entry >= 1.0f) {
        return;
    }
    double s = (j - piece.x0) * piece.ux + rowTerm;
    if (s < 0.0) {
        s = 0.0;
    } else {
        s = std::min(s, piece.len);
    }
    const double offX = j - (piece.x0 + piece.ux * s);
    const double offY = i - (piece.y0 + piece.uy * s);
    const double distanceSq = offX * offX + offY * offY;
    if (distanceSq > piece.reachSq) {
        return;
    }
    const double d = std::sqrt(distanceSq);
    // No half width along the piece exceeds the larger end's, so when even
    // that cannot beat the entry the exact value need not be computed.
    if (piece.peak - d <= static_cast<double>(entry)) {
        return;
    }
    const double t = s / piece.len;
    double g = ((1.0 - t) * piece.thickStart + t * piece.thickEnd) * 0.5 + 0.5 - d;
    if (g < 0.0) {
        return;
    }
    g = std::min(g, 1.0);
    if (g > 0.0 && static_cast<float>(g) > entry) {
        entry = static_cast<float>(g);
    }
}

#if defined(__SSE2__)
// Two neighbouring pixels at once through the same operations in the same
// order: SSE2's packed square root and division round exactly as the scalar
// ones, and the branches become selects. std::min(a, b) is (b < a) ? b : a,
// which is _mm_min_pd(b, a).
inline void RaiseCoveragePair(const CoveragePiece& piece, __m128d i, __m128d rowTerm, int32_t j,
                              float* entry) {
    const __m128d zero = _mm_setzero_pd();
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d len = _mm_set1_pd(piece.len);
    const __m128d x0 = _mm_set1_pd(piece.x0);
    const __m128d y0 = _mm_set1_pd(piece.y0);
    const __m128d ux = _mm_set1_pd(piece.ux);
    const __m128d uy = _mm_set1_pd(piece.uy);
    const __m128d columns = _mm_set_pd(j + 1, j);
    __m128d s = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(columns, x0), ux), rowTerm);
    s = _mm_andnot_pd(_mm_cmplt_pd(s, zero), _mm_min_pd(len, s));
    const __m128d offX = _mm_sub_pd(columns, _mm_add_pd(x0, _mm_mul_pd(ux, s)));
    const __m128d offY = _mm_sub_pd(i, _mm_add_pd(y0, _mm_mul_pd(uy, s)));
    const __m128d distanceSq = _mm_add_pd(_mm_mul_pd(offX, offX), _mm_mul_pd(offY, offY));
    if (_mm_movemask_pd(_mm_cmple_pd(distanceSq, _mm_set1_pd(piece.reachSq))) == 0) {
        return;
    }
    const __m128d d = _mm_sqrt_pd(distanceSq);
    const __m128d t = _mm_div_pd(s, len);
    const __m128d width = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(one, t), _mm_set1_pd(piece.thickStart)),
                                     _mm_mul_pd(t, _mm_set1_pd(piece.thickEnd)));
    const __m128d g = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(width, half), half), d);
    // g ≥ 0 and then min(g, 1) > 0 is g > 0.
    const __m128d positive = _mm_cmpgt_pd(g, zero);
    const __m128 value = _mm_cvtpd_ps(_mm_min_pd(one, g));
    // The two entries are loaded and stored as one unaligned 64-bit integer.
    const __m128 old = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(entry)));
    const __m128 raise = _mm_and_ps(
        _mm_cmpgt_ps(value, old),
        _mm_shuffle_ps(_mm_castpd_ps(positive), _mm_castpd_ps(positive), _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128 result = _mm_or_ps(_mm_and_ps(raise, value), _mm_andnot_ps(raise, old));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(entry), _mm_castps_si128(result));
}
#endif

// Raises entries[0 … last − first] (the map entries of columns first … last of
// `row`) to the piece's coverage where that is larger. Entries already at 1
// are left alone: coverage never exceeds 1.
void RaiseCoverageRow(const CoveragePiece& piece, int32_t row, int32_t first, int32_t last,
                      float* entries) {
    const double i = row;
    // (i − y0)·uy is the same for the whole row.
    const double rowTerm = (i - piece.y0) * piece.uy;
    int32_t j = first;
#if defined(__SSE2__)
    const __m128d rowVector = _mm_set1_pd(i);
    const __m128d rowTermVector = _mm_set1_pd(rowTerm);
    for (; j < last; j += 2) {
        float* entry = entries + (j - first);
        // Entries at 1 cannot be raised: coverage never exceeds 1.
        if (entry[0] >= 1.0f && entry[1] >= 1.0f) {
            continue;
        }
        RaiseCoveragePair(piece, rowVector, rowTermVector, j, entry);
    }
#endif
    for (; j <= last; ++j) {
        RaiseCoverageEntry(piece, i, rowTerm, j, entries[j - first]);
    }
}

}  // namespace

std::unique_ptr<float[]> AllocateCoverageMap(int32_t width, int32_t height) {
    const size_t count =
        static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
    return std::unique_ptr<float[]>(new (std::nothrow) float[count]());
}

void AccumulateSegmentCoverage(const CoverageMapView& map, const TaperedPiece& drawn) {
    CoveragePiece piece;
    if (!PrepareCoveragePiece(drawn, map.width, map.height, piece)) {
        return;
    }
    for (int32_t i = piece.rows.first; i <= piece.rows.last; ++i) {
        const PixelSpan columns = CoveragePieceColumns(piece, i, map.width);
        if (columns.first <= columns.last) {
            RaiseCoverageRow(
                piece, i, columns.first, columns.last,
                map.entries + static_cast<std::ptrdiff_t>(i) * map.width + columns.first);
        }
    }
}

void AccumulateSegmentCoverage(float* coverage, int32_t width, int32_t height, float x0, float y0,
                               float x1, float y1, float thickStart, float thickEnd) {
    AccumulateSegmentCoverage({coverage, width, height}, {x0, y0, x1, y1, thickStart, thickEnd});
}

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
