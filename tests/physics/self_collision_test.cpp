#include <gtest/gtest.h>

#include "physics/self_collision_pass.h"
#include "tests/physics/rope_test_support.h"

namespace tarsivel {
namespace {

using physics_test::NodeAt;
using physics_test::SameBits;

TEST(SelfCollision, PushesNonNeighboursApartToTheCollisionDistance) {
    // Three nodes: only the pair (0, 2) is tested.
    Rope rope{NodeAt(0, 0), NodeAt(2.5, 1), NodeAt(5, 0)};
    ResolveSelfCollisions(rope, 9.5);
    EXPECT_DOUBLE_EQ(rope[0].x, -2.25);
    EXPECT_DOUBLE_EQ(rope[2].x, 7.25);
    EXPECT_TRUE(SameBits(rope[1], NodeAt(2.5, 1)));

    rope = {NodeAt(0, 0, true), NodeAt(2.5, 1), NodeAt(5, 0)};
    ResolveSelfCollisions(rope, 9.5);
    EXPECT_TRUE(SameBits(rope[0], NodeAt(0, 0, true)));
    EXPECT_DOUBLE_EQ(rope[2].x, 9.5);
}

TEST(SelfCollision, LeavesNeighboursCoincidentAndDistantPairsAlone) {
    // (0, 1) are neighbours, (0, 2) closer than 1e-4, everything else beyond reach.
    const Rope start{NodeAt(0, 0), NodeAt(1, 0), NodeAt(0, 0.00005), NodeAt(100, 0)};
    Rope rope = start;
    ResolveSelfCollisions(rope, 9.5);
    EXPECT_TRUE(SameBits(rope, start));
}

}  // namespace
}  // namespace tarsivel
