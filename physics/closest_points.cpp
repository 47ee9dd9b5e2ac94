#include "physics/closest_points.h"

#include <cmath>

namespace tarsivel {
namespace {

constexpr double kParallelDeterminant = 1e-8;
constexpr double kZeroNumerator = 1e-8;

// A numerator this close to zero means the segment's start; it also keeps a near-zero
// denominator from being divided.
double Parameter(double numerator, double denominator) {
    return std::abs(numerator) < kZeroNumerator ? 0.0 : numerator / denominator;
}

}  // namespace

double ClosestPointsSegmentSegment(Vec2 p0, Vec2 p1, Vec2 q0, Vec2 q1, Vec2& onLink, Vec2& onEdge) {
    const Vec2 u = Difference(p1, p0);
    const Vec2 v = Difference(q1, q0);
    const Vec2 r = Difference(p0, q0);
    const double a = Dot(u, u);
    const double b = Dot(u, v);
    const double c = Dot(v, v);
    const double d = Dot(u, r);
    const double e = Dot(v, r);
    const double den = a * c - b * b;

    // s = sN / sD along the link, t = tN / tD along the edge.
    double sN = 0.0;
    double sD = den;
    double tN = 0.0;
    double tD = den;
    if (den < kParallelDeterminant) {
        sN = 0.0;
        sD = 1.0;
        tN = e;
        tD = c;
    } else {
        sN = b * e - c * d;
        tN = a * e - b * d;
        if (sN < 0.0) {
            sN = 0.0;
            tN = e;
            tD = c;
        } else if (sN > sD) {
            sN = sD;
            tN = e + b;
            tD = c;
        }
    }

    // Clamping t onto the edge moves the link's point to the one nearest that edge end.
    if (tN < 0.0) {
        tN = 0.0;
        if (-d < 0.0) {
            sN = 0.0;
        } else if (-d > a) {
            sN = sD;
        } else {
            sN = -d;
            sD = a;
        }
    } else if (tN > tD) {
        tN = tD;
        if (-d + b < 0.0) {
            sN = 0.0;
        } else if (-d + b > a) {
            sN = sD;
        } else {
            sN = -d + b;
            sD = a;
        }
    }

    const double s = Parameter(sN, sD);
    const double t = Parameter(tN, tD);
    onLink = {p0.x + s * u.x, p0.y + s * u.y};
    onEdge = {q0.x + t * v.x, q0.y + t * v.y};
    return LengthSquared(Difference(onLink, onEdge));
}

}  // namespace tarsivel
