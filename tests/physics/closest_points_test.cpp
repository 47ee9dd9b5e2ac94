#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "physics/closest_points.h"

namespace tarsivel {
namespace {

double Cross(Vec2 o, Vec2 a, Vec2 b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double PointToSegmentSquared(Vec2 p, Vec2 a, Vec2 b) {
    const double vx = b.x - a.x;
    const double vy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    const double dx = p.x - (a.x + t * vx);
    const double dy = p.y - (a.y + t * vy);
    return dx * dx + dy * dy;
}

// Independent reference: crossing segments touch; otherwise the nearest pair involves an end.
double ReferenceSquared(Vec2 p0, Vec2 p1, Vec2 q0, Vec2 q1) {
    if (Cross(p0, p1, q0) * Cross(p0, p1, q1) < 0.0 &&
        Cross(q0, q1, p0) * Cross(q0, q1, p1) < 0.0) {
        return 0.0;
    }
    return std::min({PointToSegmentSquared(p0, q0, q1), PointToSegmentSquared(p1, q0, q1),
                     PointToSegmentSquared(q0, p0, p1), PointToSegmentSquared(q1, p0, p1)});
}

TEST(ClosestPoints, MatchesAnIndependentReferenceOnVariedSegments) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
    auto point = [&] { return Vec2{coordinate(random), coordinate(random)}; };
    for (int trial = 0; trial < 2000; ++trial) {
        const Vec2 p0 = point(), p1 = point(), q0 = point(), q1 = point();
        Vec2 onLink{};
        Vec2 onEdge{};
        const double q = ClosestPointsSegmentSegment(p0, p1, q0, q1, onLink, onEdge);
        EXPECT_NEAR(q, ReferenceSquared(p0, p1, q0, q1), 1e-7) << "trial " << trial;
        EXPECT_NEAR(PointToSegmentSquared(onLink, p0, p1), 0.0, 1e-18);
        EXPECT_NEAR(PointToSegmentSquared(onEdge, q0, q1), 0.0, 1e-18);
    }
}

}  // namespace
}  // namespace tarsivel
