#include "render/coverage_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "render/pixel_span.h"

namespace tarsivel {
namespace {

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

struct Piece {
    double x0, y0, len, ux, uy, thickStart, thickEnd;
};

// The coverage that the piece gives the pixel centre (j, i); below 0 outside.
double PieceCoverage(const Piece& piece, double j, double i) {
    double s = (j - piece.x0) * piece.ux + (i - piece.y0) * piece.uy;
    if (s < 0.0) {
        s = 0.0;
    } else {
        s = std::min(s, piece.len);
    }
    const double nearestX = piece.x0 + piece.ux * s;
    const double nearestY = piece.y0 + piece.uy * s;
    const double offX = j - nearestX;
    const double offY = i - nearestY;
    const double d = std::sqrt(offX * offX + offY * offY);
    const double t = s / piece.len;
    return ((1.0 - t) * piece.thickStart + t * piece.thickEnd) * 0.5 + 0.5 - d;
}

}  // namespace

std::unique_ptr<float[]> AllocateCoverageMap(int32_t width, int32_t height) {
    const size_t count =
        static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
    return std::unique_ptr<float[]>(new (std::nothrow) float[count]());
}

void AccumulateSegmentCoverage(float* coverage, int32_t width, int32_t height, float x0, float y0,
                               float x1, float y1, float thickStart, float thickEnd) {
    const double ax = x0, ay = y0, bx = x1, by = y1, ts = thickStart, te = thickEnd;
    if (!AllFinite({ax, ay, bx, by, ts, te})) {
        return;
    }
    const double dx = bx - ax;
    const double dy = by - ay;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-6) {
        return;
    }
    const double margin = std::max(ts, te) * 0.5;
    const PixelSpan columns =
        ClippedSpan(std::min(ax, bx) - margin, std::max(ax, bx) + margin, width);
    const PixelSpan rows =
        ClippedSpan(std::min(ay, by) - margin, std::max(ay, by) + margin, height);
    const Piece piece{ax, ay, len, dx / len, dy / len, ts, te};
    for (int32_t i = rows.first; i <= rows.last; ++i) {
        float* row = coverage + static_cast<std::ptrdiff_t>(i) * width;
        for (int32_t j = columns.first; j <= columns.last; ++j) {
            double g = PieceCoverage(piece, j, i);
            if (g < 0.0) {
                continue;
            }
            g = std::min(g, 1.0);
            if (g > 0.0 && static_cast<float>(g) > row[j]) {
                row[j] = static_cast<float>(g);
            }
        }
    }
}

void AccumulateRopeCoverage(float* coverage, int32_t width, int32_t height,
                            const RopeRenderData& renderData) {
    const std::vector<float>& points = renderData.points;
    const std::vector<float>& widths = renderData.segThickness;
    const size_t pieces = points.size() / 4;
    for (size_t j = 0; j < pieces; ++j) {
        const float thickStart = 2 * j < widths.size() ? widths[2 * j] : renderData.thicknessStart;
        const float thickEnd =
            2 * j + 1 < widths.size() ? widths[2 * j + 1] : renderData.thicknessEnd;
        AccumulateSegmentCoverage(coverage, width, height, points[4 * j], points[4 * j + 1],
                                  points[4 * j + 2], points[4 * j + 3], thickStart, thickEnd);
    }
}

}  // namespace tarsivel
