// The broad phase may only skip tests whose outcome is "nothing happens". Every case here runs the
// all-pairs passes and the binned ones side by side and demands the same bits in every node,
// whole steps included. Random cases rarely land where skipping is delicate (a gap within a few
// ulps of the contact radius or the collision distance, huge or non-finite coordinates), so the
// generators put cases there on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "physics/broad_phase.h"
#include "physics/collider_contacts.h"
#include "physics/self_collision_pass.h"
#include "tests/physics/rope_test_support.h"
#include "tests/support/step_rope_all_pairs.h"

namespace tarsivel {
namespace {

using physics_test::FreeAnchors;
using physics_test::SameBits;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A value `ulps` representable doubles away from v (towards +infinity for positive counts).
double UlpsAway(double v, int ulps) {
    for (; ulps > 0; --ulps) {
        v = std::nextafter(v, kInf);
    }
    for (; ulps < 0; ++ulps) {
        v = std::nextafter(v, -kInf);
    }
    return v;
}

class CaseMaker {
  public:
    explicit CaseMaker(uint64_t seed) : random_(seed) {}

    double Uniform(double lo, double hi) {
        return std::uniform_real_distribution<>(lo, hi)(random_);
    }
    int Int(int lo, int hi) { return std::uniform_int_distribution<>(lo, hi)(random_); }
    bool Chance(double p) { return Uniform(0.0, 1.0) < p; }
    double Magnitude() {
        static constexpr double kScales[] = {1.0, 10.0, 1e3, 1e6};
        return kScales[Int(0, 3)];
    }

    // A wandering chain of nodes around `centre`, some coincident, some torn, ends sometimes
    // pinned; a little velocity so that bounce, friction and the across-edge normal have work.
    Rope MakeRope(int nodes, Vec2 centre, double step) {
        Rope rope;
        Vec2 p = centre;
        for (int i = 0; i < nodes; ++i) {
            if (i > 0 && !Chance(0.05)) {
                p.x += Uniform(-step, step);
                p.y += Uniform(-step, step);
            }
            rope.push_back({p.x, p.y, p.x + Uniform(-0.3, 0.3) * step,
                            p.y + Uniform(-0.3, 0.3) * step, false, Chance(0.05)});
        }
        rope.front().pinned = Chance(0.3);
        rope.back().pinned = Chance(0.3);
        return rope;
    }

    // Edges near the rope: random ones, degenerate ones, ones through nodes, ones parallel to a
    // link at a distance within a few ulps of the radius, now and then a wild one.
    std::vector<MaskCollider> MakeEdges(const Rope& rope, int count, double radius, double step) {
        std::vector<MaskCollider> edges;
        for (int i = 0; i < count; ++i) {
            const RopeParticle& a =
                rope[static_cast<std::size_t>(Int(0, static_cast<int>(rope.size()) - 2))];
            const std::size_t k = static_cast<std::size_t>(&a - rope.data());
            const RopeParticle& b = rope[k + 1];
            switch (Int(0, 9)) {
                case 0:  // Zero length, near a node.
                    edges.push_back({a.x + radius, a.y, a.x + radius, a.y});
                    break;
                case 1:  // Through node a exactly.
                    edges.push_back({a.x - step, a.y, a.x + step, a.y});
                    break;
                case 2:  // Crossing the link, parallel shifted copies of it.
                    edges.push_back({b.x, a.y, a.x, b.y});
                    break;
                case 3: {  // Axis-aligned at the radius, give or take a few ulps, beside the box.
                    const double x = UlpsAway(std::max(a.x, b.x) + radius, Int(-4, 4));
                    edges.push_back({x, a.y - step, x, a.y + step});
                    break;
                }
                case 4: {  // Below the box at the radius.
                    const double y = UlpsAway(std::max(a.y, b.y) + radius, Int(-4, 4));
                    edges.push_back({a.x - step, y, b.x + step, y});
                    break;
                }
                case 5: {  // Parallel to the link, offset by the radius along its normal.
                    const double dx = b.x - a.x;
                    const double dy = b.y - a.y;
                    const double len = std::sqrt(dx * dx + dy * dy);
                    if (len > 0.0) {
                        const double off = UlpsAway(radius, Int(-3, 3));
                        edges.push_back({a.x - dy / len * off, a.y + dx / len * off,
                                         b.x - dy / len * off, b.y + dx / len * off});
                    }
                    break;
                }
                case 6:
                    if (Chance(0.15)) {  // Wild: beyond every sane layer, or not a number.
                        static constexpr double kWild[] = {1e160, -1e160, 1e100, 1e70, kNaN, kInf};
                        const double w = kWild[Int(0, 5)];
                        edges.push_back({a.x, a.y, Chance(0.5) ? w : a.x + w, a.y + step});
                        break;
                    }
                    [[fallthrough]];
                default: {  // Anywhere around the rope, short or long.
                    const double spread = step * Uniform(1.0, 40.0);
                    const double len =
                        step * (Chance(0.1) ? Uniform(10.0, 200.0) : Uniform(0.0, 3.0));
                    const double x = a.x + Uniform(-spread, spread);
                    const double y = a.y + Uniform(-spread, spread);
                    const double angle = Uniform(0.0, 6.283185307179586);
                    edges.push_back({x, y, x + std::cos(angle) * len, y + std::sin(angle) * len});
                    break;
                }
            }
        }
        return edges;
    }

  private:
    std::mt19937_64 random_;
};

bool SameAnchorBits(const std::vector<StickAnchor>& a, const std::vector<StickAnchor>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::bit_cast<uint64_t>(a[i].x) != std::bit_cast<uint64_t>(b[i].x) ||
            std::bit_cast<uint64_t>(a[i].y) != std::bit_cast<uint64_t>(b[i].y) ||
            a[i].active != b[i].active) {
            return false;
        }
    }
    return true;
}

// One contact pass, both ways, from the same rope and edges.
void ExpectSameContactPass(const Rope& start, const std::vector<MaskCollider>& edges, double radius,
                           double stick, BroadPhaseStats& stats) {
    const auto segments = static_cast<int32_t>(start.size()) - 1;
    Rope plain = start;
    Rope binned = start;
    std::vector<StickAnchor> plainAnchors = FreeAnchors(start);
    std::vector<StickAnchor> binnedAnchors = FreeAnchors(start);
    EdgeBins bins;
    bins.Reserve(edges.size());
    bins.Build(edges, radius);
    IndexSet candidates;
    candidates.Reset(edges.size());
    // Two passes, so the second starts from pushed nodes and caught anchors.
    for (int pass = 0; pass < 2; ++pass) {
        ResolveColliderContacts(plain, edges, radius, 0.3, 0.4, 0.5, stick, segments, plainAnchors);
        ResolveColliderContacts(binned, edges, ContactContext(radius, 0.3, 0.4, 0.5, stick),
                                binnedAnchors, bins, candidates, &stats);
    }
    ASSERT_TRUE(SameBits(plain, binned));
    ASSERT_TRUE(SameAnchorBits(plainAnchors, binnedAnchors));
}

// Whole frames, both ways, from the same rope, with colliders moving from `start` to `end`.
void ExpectSameSteps(const Rope& rope, RopeStepSettings settings,
                     const std::vector<MaskCollider>& start, const std::vector<MaskCollider>& end,
                     int frames, BroadPhaseStats& stats) {
    settings.collidersStart = start;
    settings.collidersEnd = end;
    Rope plain = rope;
    Rope binned = rope;
    for (int frame = 0; frame < frames; ++frame) {
        StepRopeAllPairs(plain, settings);
        StepRope(binned, settings, stats);
        settings.time += settings.frameDuration;
    }
    ASSERT_TRUE(SameBits(plain, binned));
}

TEST(BroadPhase, ContactPassMatchesAllPairsBitForBit) {
    CaseMaker make(20261208);
    BroadPhaseStats stats;
    for (int c = 0; c < 3000; ++c) {
        const double scale = make.Magnitude();
        const double step = make.Uniform(0.5, 20.0);
        const Vec2 centre{make.Uniform(-scale, scale), make.Uniform(-scale, scale)};
        const Rope rope = make.MakeRope(make.Int(2, 40), centre, step);
        // Radii from nothing to far larger than the rope, now and then wild.
        static constexpr double kRadii[] = {0.0, 1e-7, 0.5, 3.75, 40.0, 1e4, -3.0, kNaN, kInf};
        const double radius =
            make.Chance(0.8) ? make.Uniform(0.1, 2.0) * step : kRadii[make.Int(0, 8)];
        const double edgeRadius = std::isfinite(radius) ? std::abs(radius) : 1.0;
        const auto edges = make.MakeEdges(rope, make.Int(0, 60), edgeRadius, step);
        ExpectSameContactPass(rope, edges, radius, make.Chance(0.3) ? 0.5 : 0.0, stats);
        if (HasFatalFailure()) {
            FAIL() << "case " << c;
        }
    }
    // Sanity of the generator: most tests skipped, yet many contacts still tested.
    EXPECT_LT(stats.closestPointTests, stats.linkEdgePairs / 2);
    EXPECT_GT(stats.closestPointTests, 1000);
}

// A mask outline: `vertices` corners on an ellipse, each span cut into `pieces` edges.
std::vector<MaskCollider> Outline(Vec2 centre, Vec2 radius, int vertices, int pieces) {
    std::vector<MaskCollider> edges;
    for (int v = 0; v < vertices; ++v) {
        const double a0 = 6.283185307179586 * v / vertices;
        const double a1 = 6.283185307179586 * (v + 1) / vertices;
        const Vec2 p{centre.x + radius.x * std::cos(a0), centre.y + radius.y * std::sin(a0)};
        const Vec2 q{centre.x + radius.x * std::cos(a1), centre.y + radius.y * std::sin(a1)};
        for (int k = 0; k < pieces; ++k) {
            const Vec2 s = Lerp(p, q, static_cast<double>(k) / pieces);
            const Vec2 e = Lerp(p, q, static_cast<double>(k + 1) / pieces);
            edges.push_back({s.x, s.y, e.x, e.y});
        }
    }
    return edges;
}

struct Box {
    double minX = kInf;
    double maxX = -kInf;
    double minY = kInf;
    double maxY = -kInf;
};

Box BoxOf(const std::vector<MaskCollider>& edges) {
    Box box;
    for (const MaskCollider& e : edges) {
        box.minX = std::min({box.minX, e.x0, e.x1});
        box.maxX = std::max({box.maxX, e.x0, e.x1});
        box.minY = std::min({box.minY, e.y0, e.y1});
        box.maxY = std::max({box.maxY, e.y0, e.y1});
    }
    return box;
}

// A straight rope from `from` to `to`, a little crooked and moving, so that contacts push it.
Rope StraightRope(CaseMaker& make, Vec2 from, Vec2 to, int nodes, double jitter) {
    Rope rope;
    for (int i = 0; i < nodes; ++i) {
        const Vec2 p = Lerp(from, to, static_cast<double>(i) / (nodes - 1));
        const double x = p.x + make.Uniform(-jitter, jitter);
        const double y = p.y + make.Uniform(-jitter, jitter);
        rope.push_back({x, y, x + make.Uniform(-jitter, jitter), y + make.Uniform(-jitter, jitter),
                        false, make.Chance(0.03)});
    }
    rope.front().pinned = make.Chance(0.3);
    return rope;
}

// A rope placed against the box of a mask's edges, where the grid of cells ends: far away (on one
// axis or both), running beside a border at about a contact radius (give or take a few ulps),
// around the whole mask, across it, or by a corner.
Rope RopeByTheGrid(CaseMaker& make, const Box& box, double radius, int nodes) {
    const double width = box.maxX - box.minX;
    const double height = box.maxY - box.minY;
    const double span = std::max(width, height);
    const double jitter = make.Chance(0.5) ? 0.0 : radius * 0.3;
    switch (make.Int(0, 4)) {
        case 0: {  // Far: beyond one border (overlapping on the other axis) or off a corner.
            const double far = span * make.Uniform(1.0, 10.0) + 5000.0;
            const double dx = std::array{-far, 0.0, far}[make.Int(0, 2)];
            const double dy = dx == 0.0 ? std::array{-far, far}[make.Int(0, 1)]
                                        : std::array{-far, 0.0, far}[make.Int(0, 2)];
            const Vec2 mid{(box.minX + box.maxX) * 0.5 + dx, (box.minY + box.maxY) * 0.5 + dy};
            return StraightRope(make, {mid.x - span, mid.y + make.Uniform(-span, span)},
                                {mid.x + span, mid.y + make.Uniform(-span, span)}, nodes, jitter);
        }
        case 1: {  // Beside a border, at the radius or just inside or outside reach of it.
            const double gap = UlpsAway(
                radius * std::array{1.0, 1.0, 2.0, 3.0, 0.5}[make.Int(0, 4)], make.Int(-4, 4));
            const double lo = make.Uniform(-1.0, 0.5);
            const double hi = make.Uniform(0.5, 2.0);
            switch (make.Int(0, 3)) {
                case 0: {
                    const double x = UlpsAway(box.maxX + gap, make.Int(-2, 2));
                    return StraightRope(make, {x, box.minY + lo * height},
                                        {x, box.minY + hi * height}, nodes, jitter);
                }
                case 1: {
                    const double x = UlpsAway(box.minX - gap, make.Int(-2, 2));
                    return StraightRope(make, {x, box.minY + lo * height},
                                        {x, box.minY + hi * height}, nodes, jitter);
                }
                case 2: {
                    const double y = UlpsAway(box.maxY + gap, make.Int(-2, 2));
                    return StraightRope(make, {box.minX + lo * width, y},
                                        {box.minX + hi * width, y}, nodes, jitter);
                }
                default: {
                    const double y = UlpsAway(box.minY - gap, make.Int(-2, 2));
                    return StraightRope(make, {box.minX + lo * width, y},
                                        {box.minX + hi * width, y}, nodes, jitter);
                }
            }
        }
        case 2: {  // Around the whole mask, a ring a little wider than its box.
            Rope rope;
            const Vec2 centre{(box.minX + box.maxX) * 0.5, (box.minY + box.maxY) * 0.5};
            const double rx = width * 0.5 + radius * make.Uniform(0.5, 3.0);
            const double ry = height * 0.5 + radius * make.Uniform(0.5, 3.0);
            for (int i = 0; i < nodes; ++i) {
                const double a = 6.283185307179586 * i / (nodes - 1);
                const double x = centre.x + rx * std::cos(a);
                const double y = centre.y + ry * std::sin(a);
                rope.push_back({x, y, x + make.Uniform(-jitter, jitter), y, false, false});
            }
            return rope;
        }
        case 3:  // Across the mask, from outside its box to outside it again.
            return StraightRope(
                make, {box.minX - span * make.Uniform(0.1, 2.0), make.Uniform(box.minY, box.maxY)},
                {box.maxX + span * make.Uniform(0.1, 2.0), make.Uniform(box.minY, box.maxY)}, nodes,
                jitter);
        default: {  // By a corner, just off both borders.
            const double gap = UlpsAway(radius, make.Int(-4, 4));
            const Vec2 corner{make.Chance(0.5) ? box.minX - gap : box.maxX + gap,
                              make.Chance(0.5) ? box.minY - gap : box.maxY + gap};
            const double out = span * make.Uniform(0.05, 1.0);
            return StraightRope(make, {corner.x + (corner.x < box.minX ? -out : out), corner.y},
                                {corner.x, corner.y + (corner.y < box.minY ? -out : out)}, nodes,
                                jitter);
        }
    }
}

// An outline of 3 to `mostVertices` corners anywhere at the generator's magnitudes.
std::vector<MaskCollider> RandomOutline(CaseMaker& make, double smallest, double largest,
                                        int mostVertices, int pieces) {
    const double scale = make.Magnitude();
    const Vec2 centre{make.Uniform(-scale, scale), make.Uniform(-scale, scale)};
    const Vec2 size{make.Uniform(smallest, largest), make.Uniform(smallest, largest)};
    return Outline(centre, size, make.Int(3, mostVertices), pieces);
}

TEST(BroadPhase, ContactPassMatchesAllPairsBesideAroundAndFarFromTheGrid) {
    CaseMaker make(5000);
    BroadPhaseStats stats;
    for (int c = 0; c < 2000; ++c) {
        std::vector<MaskCollider> edges =
            RandomOutline(make, 5.0, 400.0, 40, make.Chance(0.5) ? 10 : make.Int(1, 3));
        const Box box = BoxOf(edges);
        if (make.Chance(0.2)) {  // One long edge, tested by every link, beyond the box.
            const double w = box.maxX - box.minX;
            edges.push_back({box.minX - w, box.maxY + w, box.maxX + w, box.minY});
        }
        if (make.Chance(0.05)) {
            edges.push_back({box.minX, box.minY, make.Chance(0.5) ? kNaN : 1e200, box.maxY});
        }
        // Tiny radii too: there a pushed link can come within a hair of its region's border.
        const double radius = make.Chance(0.7) ? make.Uniform(0.5, 20.0)
                                               : std::array{0.0, 1e-7, 0.01, 0.2}[make.Int(0, 3)];
        const Rope rope = RopeByTheGrid(make, box, radius, make.Int(2, 40));
        ExpectSameContactPass(rope, edges, radius, make.Chance(0.3) ? 0.5 : 0.0, stats);
        if (HasFatalFailure()) {
            FAIL() << "case " << c;
        }
    }
    EXPECT_GT(stats.closestPointTests, 1000);  // Many ropes still reached the mask.
}

// Ropes that swing past, onto or around a mask over whole frames, leaving and entering the grid
// of cells as they go, with the mask moving now and then.
TEST(BroadPhase, WholeStepsBesideAroundAndFarFromTheGridMatchAllPairs) {
    CaseMaker make(64);
    BroadPhaseStats stats;
    for (int c = 0; c < 200; ++c) {
        const std::vector<MaskCollider> start = RandomOutline(make, 20.0, 300.0, 30, 10);
        const double thickness = make.Uniform(1.0, 20.0);
        const int nodes = make.Int(3, 40);
        Rope rope = RopeByTheGrid(make, BoxOf(start), thickness * 0.5, nodes);
        for (RopeParticle& node : rope) {
            node.pinned = false;
            node.torn = false;
        }
        const double length =
            std::hypot(rope.back().x - rope.front().x, rope.back().y - rope.front().y) *
                make.Uniform(1.0, 1.5) +
            1.0;
        RopeStepSettings settings = physics_test::DriverSettings(nodes - 1, length);
        settings.anchorA = settings.prevAnchorA = {rope.front().x, rope.front().y};
        settings.anchorB = settings.prevAnchorB = {rope.back().x, rope.back().y};
        settings.attachA = make.Chance(0.7);
        settings.attachB = make.Chance(0.5);
        settings.staticFriction = make.Uniform(0.0, 1.0);
        settings.kineticFriction = make.Uniform(0.0, 1.0);
        settings.bounce = make.Uniform(0.0, 1.0);
        settings.stick = make.Chance(0.3) ? 0.5 : 0.0;
        settings.windX = make.Uniform(-2000.0, 2000.0);
        settings.substeps = make.Int(1, 4);
        settings.thickness = thickness;
        std::vector<MaskCollider> end = start;
        if (make.Chance(0.5)) {
            const Vec2 move{make.Uniform(-50.0, 50.0), make.Uniform(-50.0, 50.0)};
            for (MaskCollider& e : end) {
                e = {e.x0 + move.x, e.y0 + move.y, e.x1 + move.x, e.y1 + move.y};
            }
        }
        ExpectSameSteps(rope, settings, start, end, 3, stats);
        if (HasFatalFailure()) {
            FAIL() << "case " << c;
        }
    }
    EXPECT_GT(stats.closestPointTests, 0);
}

// A link's gathered region takes edges only from the cells it overlaps; outside the box of the
// filed edges that is none of them, however the border cells would have clamped it.
TEST(BroadPhase, GatherTakesNoEdgesFromCellsBeyondTheRegion) {
    std::vector<MaskCollider> edges = Outline({500.0, 300.0}, {200.0, 100.0}, 40, 10);
    const std::size_t filed = edges.size();
    edges.push_back({0.0, 0.0, 1000.0, 600.0});  // Spans many cells: tested by every link.
    edges.push_back({kNaN, 0.0, 10.0, 10.0});    // Wild: tested by every link.
    EdgeBins bins;
    bins.Reserve(edges.size());
    bins.Build(edges, 3.0);
    IndexSet candidates;
    candidates.Reset(edges.size());
    auto gathered = [&](double x0, double y0, double x1, double y1) {
        candidates.Clear();
        bins.Gather(BoundsOf(x0, y0, x1, y1), candidates);
        std::vector<std::size_t> members;
        for (std::size_t e = candidates.Next(0); e < edges.size(); e = candidates.Next(e + 1)) {
            members.push_back(e);
        }
        return members;
    };
    const std::vector<std::size_t> everyLink{filed, filed + 1};
    EXPECT_EQ(gathered(5500.0, 250.0, 5510.0, 350.0), everyLink);    // Right, beside in y.
    EXPECT_EQ(gathered(-4500.0, 250.0, -4490.0, 350.0), everyLink);  // Left.
    EXPECT_EQ(gathered(450.0, -5000.0, 550.0, -4990.0), everyLink);  // Above, beside in x.
    EXPECT_EQ(gathered(450.0, 5000.0, 550.0, 5010.0), everyLink);    // Below.
    EXPECT_EQ(gathered(5500.0, 5500.0, 5510.0, 5510.0), everyLink);  // Off a corner.
    EXPECT_EQ(gathered(1e60, 1e60, 1e60, 1e60), everyLink);          // Huge but tame.
    EXPECT_EQ(gathered(720.0, 250.0, 720.0, 350.0), everyLink);      // Just out of reach.

    // Beside the right border within reach: every edge the box test lets through is gathered,
    // and none from the left half of the outline.
    const std::vector<std::size_t> near = gathered(701.0, 250.0, 701.0, 350.0);
    const SegmentBounds link = BoundsOf(701.0, 250.0, 701.0, 350.0);
    std::size_t touching = 0;
    for (std::size_t e = 0; e < filed; ++e) {
        const bool member = std::find(near.begin(), near.end(), e) != near.end();
        if (MayTouch(link, bins.Bounds(e), bins.PaddedRadius())) {
            ++touching;
            EXPECT_TRUE(member) << e;
        }
        if (std::max(edges[e].x0, edges[e].x1) < 500.0) {
            EXPECT_FALSE(member) << e;
        }
    }
    EXPECT_GT(touching, 0u);
}

TEST(BroadPhase, ContactPassAlwaysTestsWildEdges) {
    // Far beyond the layer the closest-point products overflow (from about 1e77 on, not only
    // where the squares do) and the distance can come out NaN, which counts as a contact: such an
    // edge is never rejected by its box, however far it lies.
    for (const double far : {1e64, 1e100, 1e140, 1e160, 1e300, kInf, kNaN}) {
        Rope rope{{0.0, 0.0, 0.0, 0.0, false, false}, {10.0, 0.0, 10.0, 0.0, false, false}};
        std::vector<MaskCollider> edges(12, MaskCollider{500.0, 500.0, 520.0, 500.0});
        edges[5] = {far, far, 2.0 * far, far * 0.5};
        BroadPhaseStats stats;
        ExpectSameContactPass(rope, edges, 3.0, 0.0, stats);
        EXPECT_EQ(stats.closestPointTests, 2) << far;  // The wild edge, once in each pass.
    }
}

TEST(BroadPhase, WholeStepsMatchAllPairsBitForBit) {
    CaseMaker make(7);
    BroadPhaseStats stats;
    for (int c = 0; c < 600; ++c) {
        const double scale = make.Magnitude();
        const double step = make.Uniform(1.0, 15.0);
        const bool selfCollision = make.Chance(0.5);
        const int nodes = selfCollision ? make.Int(3, 110) : make.Int(3, 40);
        const Vec2 centre{make.Uniform(-scale, scale), make.Uniform(-scale, scale)};
        Rope rope = make.MakeRope(nodes, centre, step);
        for (RopeParticle& node : rope) {
            node.pinned = false;
        }
        RopeStepSettings settings = physics_test::DriverSettings(nodes - 1, step * (nodes - 1));
        settings.anchorA = settings.prevAnchorA = {rope.front().x, rope.front().y};
        settings.anchorB = {rope.back().x + make.Uniform(-step, step), rope.back().y};
        settings.prevAnchorB = {rope.back().x, rope.back().y};
        settings.attachA = make.Chance(0.7);
        settings.attachB = make.Chance(0.5);
        settings.selfCollision = selfCollision;
        settings.tearing = make.Chance(0.3);
        settings.tearThresholdPercent = 60.0;
        settings.staticFriction = make.Uniform(0.0, 1.0);
        settings.kineticFriction = make.Uniform(0.0, 1.0);
        settings.bounce = make.Uniform(0.0, 1.0);
        settings.stick = make.Chance(0.3) ? 0.5 : 0.0;
        settings.windX = make.Uniform(-200.0, 200.0);
        settings.turbulenceAmount = 50.0;
        settings.turbulenceFrequency = 1.0;
        settings.substeps = make.Int(1, 3);
        settings.thickness =
            make.Chance(0.9) ? make.Uniform(0.2, 2.5) * step : make.Uniform(0.0, 40.0) * step;
        const double radius = settings.thickness * 0.5;
        const auto start = make.MakeEdges(rope, make.Int(0, 50), radius, step);
        std::vector<MaskCollider> end = start;
        if (make.Chance(0.5)) {  // Colliders that move during the frame.
            for (MaskCollider& e : end) {
                e.x0 += step;
                e.y1 -= step * 0.5;
            }
        }
        ExpectSameSteps(rope, settings, start, end, 2, stats);
        if (HasFatalFailure()) {
            FAIL() << "case " << c;
        }
    }
    EXPECT_LT(stats.closestPointTests, stats.linkEdgePairs);
    EXPECT_LT(stats.selfCollisionTests, stats.selfCollisionPairs);
}

// Node pairs a collision distance apart along an axis, give or take a few ulps, at magnitudes
// from 1 to 1e6, in a rope long enough to be binned.
TEST(BroadPhase, SelfCollisionPassMatchesAllPairsBitForBit) {
    CaseMaker make(99);
    BroadPhaseStats stats;
    for (int c = 0; c < 1500; ++c) {
        const double scale = make.Magnitude();
        const double minDistance = make.Chance(0.9)
                                       ? make.Uniform(0.5, 10.0)
                                       : std::array{0.0, -2.0, kNaN, kInf, 1e-9}[make.Int(0, 4)];
        const double gap = std::isfinite(minDistance) ? std::abs(minDistance) : 1.0;
        const Vec2 centre{make.Uniform(-scale, scale), make.Uniform(-scale, scale)};
        Rope rope = make.MakeRope(make.Int(40, 130), centre, gap * make.Uniform(0.2, 1.5));
        for (int i = 0; i < 12; ++i) {
            const auto l = static_cast<std::size_t>(make.Int(0, static_cast<int>(rope.size()) - 1));
            const auto j = static_cast<std::size_t>(make.Int(0, static_cast<int>(rope.size()) - 1));
            const bool alongX = make.Chance(0.5);
            rope[j].x = alongX ? UlpsAway(rope[l].x + gap, make.Int(-3, 3)) : rope[l].x;
            rope[j].y = alongX ? rope[l].y : UlpsAway(rope[l].y - gap, make.Int(-3, 3));
        }
        if (make.Chance(0.02)) {
            rope[static_cast<std::size_t>(make.Int(0, 39))].x = make.Chance(0.5) ? kNaN : 1e200;
        }
        Rope plain = rope;
        Rope binned = rope;
        NodeBins bins;
        bins.Reserve(rope.size());
        for (int pass = 0; pass < 3; ++pass) {
            ResolveSelfCollisions(plain, minDistance);
            ResolveSelfCollisions(binned, minDistance, bins, &stats);
        }
        ASSERT_TRUE(SameBits(plain, binned)) << "case " << c;
    }
    EXPECT_GT(stats.selfCollisionFallbacks, 0);
    EXPECT_LT(stats.selfCollisionTests, stats.selfCollisionPairs / 2);
}

TEST(BroadPhase, IndexSetVisitsMembersInOrderIncludingOnesAddedAhead) {
    IndexSet set;
    set.Reset(200);
    for (std::size_t i : {150u, 3u, 64u, 63u, 3u}) {
        set.Insert(i);
    }
    std::vector<std::size_t> seen;
    for (std::size_t i = set.Next(0); i < set.Size(); i = set.Next(i + 1)) {
        seen.push_back(i);
        if (i == 63) {
            set.Insert(10);   // Behind: not visited again.
            set.Insert(199);  // Ahead: visited.
        }
    }
    EXPECT_EQ(seen, (std::vector<std::size_t>{3, 63, 64, 150, 199}));
    set.ClearWords(64, 199);  // The words of 64 to 199; 63 lies in the word before.
    EXPECT_EQ(set.Next(11), 63u);
    EXPECT_EQ(set.Next(64), set.Size());
    set.InsertAll();
    EXPECT_EQ(set.Next(199), 199u);
}

TEST(BroadPhase, BoxTestNeverRejectsWildOrNaNBounds) {
    const SegmentBounds near = BoundsOf(0, 0, 10, 0);
    const double pad = PaddedContactRadius(3.0);
    EXPECT_TRUE(MayTouch(near, BoundsOf(0, 3, 10, 3), pad));
    EXPECT_FALSE(MayTouch(near, BoundsOf(0, 3.001, 10, 3.001), pad));
    EXPECT_TRUE(MayTouch(near, BoundsOf(kNaN, 500, 10, 500), pad));
    EXPECT_TRUE(MayTouch(near, BoundsOf(1e64, 500, 10, 500), pad));
    EXPECT_TRUE(MayTouch(BoundsOf(0, kInf, 1, 1), BoundsOf(500, 500, 510, 500), pad));
    EXPECT_TRUE(MayTouch(near, BoundsOf(500, 500, 510, 500), PaddedContactRadius(kNaN)));
}

}  // namespace
}  // namespace tarsivel
