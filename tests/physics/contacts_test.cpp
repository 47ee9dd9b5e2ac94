#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "physics/collider_contacts.h"
#include "tests/physics/rope_test_support.h"

namespace tarsivel {
namespace {

using physics_test::FreeAnchors;
using physics_test::NodeAt;
using physics_test::SameBits;

struct Response {
    double staticFriction = 0.0;
    double kineticFriction = 0.0;
    double bounce = 0.0;
    double stick = 0.0;
};

constexpr MaskCollider kFloor{-100, 0, 100, 0};

void Resolve(Rope& rope, const std::vector<MaskCollider>& edges, Response r,
             std::vector<StickAnchor>& anchors) {
    ResolveColliderContacts(rope, edges, 5.0, r.staticFriction, r.kineticFriction, r.bounce,
                            r.stick, static_cast<int32_t>(rope.size()) - 1, anchors);
}

void Resolve(Rope& rope, const std::vector<MaskCollider>& edges, Response r = {}) {
    std::vector<StickAnchor> anchors = FreeAnchors(rope);
    Resolve(rope, edges, r, anchors);
}

RopeParticle Moving(double x, double y, double prevX, double prevY) {
    return {x, y, prevX, prevY, false, false};
}

TEST(ColliderContacts, WorkedExamplePushesBouncesAndSlidesNodeA) {
    Rope rope{Moving(-10, 3, -11, 7), Moving(10, 3, 9, 7)};
    const RopeParticle b = rope[1];
    Resolve(rope, {kFloor}, {0.3, 0.5, 0.5, 0.0});
    EXPECT_EQ(rope[0].x, -10.0);
    EXPECT_EQ(rope[0].y, 5.0);
    EXPECT_EQ(rope[0].prevX, -10.5);
    EXPECT_EQ(rope[0].prevY, 4.0);
    EXPECT_TRUE(SameBits(rope[1], b));
}

TEST(ColliderContacts, SharesThePushByWhereAlongTheLinkItLies) {
    struct Case {
        double edgeX;  // A vertical stub ending 3 px below the link, so the depth is 2.
        bool pinA;
        double ay;
        double by;
    };
    for (const Case c : {Case{0, false, 4, 4}, Case{10, false, 3, 5}, Case{-4, true, 3, 3.6}}) {
        Rope rope{NodeAt(-10, 3, c.pinA), NodeAt(10, 3)};
        Resolve(rope, {{c.edgeX, -10, c.edgeX, 0}});
        EXPECT_DOUBLE_EQ(rope[0].y, c.ay) << c.edgeX;
        EXPECT_DOUBLE_EQ(rope[1].y, c.by) << c.edgeX;
    }
}

TEST(ColliderContacts, LinkAcrossTheEdgeIsPushedBackAgainstItsMotion) {
    for (const double motion : {0.5, -0.5}) {
        Rope rope{Moving(0, -1, 0, -1 - motion), Moving(0, 1, 0, 1 - motion)};
        Resolve(rope, {kFloor});
        const double push = motion > 0 ? -2.5 : 2.5;  // Full radius, split evenly.
        EXPECT_DOUBLE_EQ(rope[0].y, -1 + push) << motion;
        EXPECT_DOUBLE_EQ(rope[1].y, 1 + push) << motion;
    }
}

TEST(ColliderContacts, BounceReflectsOnlyMotionIntoTheEdge) {
    struct Case {
        double prevY;  // After the push to y = 5: 6 moves into the edge, 4 away from it.
        double bounce;
        double expectedPrevY;
    };
    for (const Case c :
         {Case{6, 0, 5}, Case{6, 1, 4}, Case{6, 0.5, 4.5}, Case{4, 0, 4}, Case{4, 1, 4}}) {
        Rope rope{Moving(-10, 3, -10, c.prevY), NodeAt(10, 3)};
        Resolve(rope, {kFloor}, {0, 0, c.bounce, 0});
        EXPECT_DOUBLE_EQ(rope[0].prevY, c.expectedPrevY) << c.prevY << " " << c.bounce;
    }
}

TEST(ColliderContacts, StaticFrictionHoldsElseKineticFrictionScalesTheSlide) {
    struct Case {
        double staticFriction;  // Against a push of 2 and a slide of 1.
        double kineticFriction;
        double expectedPrevX;
    };
    for (const Case c :
         {Case{0.6, 0, -10}, Case{0.4, 0.5, -10.5}, Case{0, 1, -10}, Case{0, 0.25, -10.75}}) {
        Rope rope{Moving(-10, 3, -11, 6), NodeAt(10, 3)};
        Resolve(rope, {kFloor}, {c.staticFriction, c.kineticFriction, 0, 0});
        EXPECT_DOUBLE_EQ(rope[0].prevX, c.expectedPrevX) << c.staticFriction;
        EXPECT_DOUBLE_EQ(rope[0].prevY, 5.0);
    }
}

TEST(ColliderContacts, FirstContactCatchesAtRestLaterOnesBounce) {
    Rope rope{Moving(-10, 3, -11, 7), NodeAt(10, 3)};
    std::vector<StickAnchor> anchors = FreeAnchors(rope);
    Resolve(rope, {kFloor}, {0, 0, 0, 0.5}, anchors);
    EXPECT_TRUE(anchors[0].active);
    EXPECT_EQ(anchors[0].y, 5.0);
    EXPECT_EQ(rope[0].prevX, -10.0);
    EXPECT_EQ(rope[0].prevY, 5.0);
    EXPECT_FALSE(anchors[1].active);  // Share 0: node b was not touched.

    rope = {Moving(-10, 4, -10, 3.5), NodeAt(10, 4)};
    Resolve(rope, {kFloor}, {0, 0, 0, 0.5}, anchors);
    EXPECT_EQ(anchors[0].y, 5.0);
    EXPECT_EQ(rope[0].y, 5.0);
    EXPECT_EQ(rope[0].prevY, 3.5);  // Moving away: kept, not zeroed.
}

TEST(ColliderContacts, LeavesAloneWhatNoEdgeReaches) {
    const std::vector<MaskCollider> square{
        {-50, -50, 50, -50}, {50, -50, 50, 50}, {50, 50, -50, 50}, {-50, 50, -50, -50}};
    Rope torn{NodeAt(-10, 3), NodeAt(10, 3)};
    torn[0].torn = true;
    struct Case {
        Rope rope;
        std::vector<MaskCollider> edges;
    };
    for (Case c : {Case{{NodeAt(-10, 3), NodeAt(10, 3)}, {}}, Case{torn, {kFloor}},
                   Case{{NodeAt(-10, 0), NodeAt(10, 0)}, square},          // Deep inside the shape.
                   Case{{NodeAt(0, 0), NodeAt(0, 2)}, {{0, 0, 0, 0}}}}) {  // Point edge on a.
        const Rope start = c.rope;
        Resolve(c.rope, c.edges);
        EXPECT_TRUE(SameBits(c.rope, start));
    }
}

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
