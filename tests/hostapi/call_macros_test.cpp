// The published call macros reach the interaction callbacks through in_data,
// each with the effect reference and its arguments in order.
#include <gtest/gtest.h>

#include "hostapi/pf_api.h"

namespace {

struct Seen {
    const char* slot = nullptr;
    PF_ProgPtr ref = nullptr;
    A_long args[4] = {};
    PF_ParamDef* def = nullptr;
};
Seen seen;

PF_Err Checkout(PF_ProgPtr ref, PF_ParamIndex index, A_long time, A_long step, A_u_long scale,
                PF_ParamDef* def) {
    seen = Seen{"checkout_param", ref, {index, time, step, A_long(scale)}, def};
    return 1;
}
PF_Err Checkin(PF_ProgPtr ref, PF_ParamDef* def) {
    seen = Seen{"checkin_param", ref, {}, def};
    return 2;
}
PF_Err Add(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    seen = Seen{"add_param", ref, {index}, def};
    return 3;
}

TEST(CallMacros, CallTheirSlotWithTheEffectReference) {
    PF_InData in{};
    in.inter.checkout_param = Checkout;
    in.inter.checkin_param = Checkin;
    in.inter.add_param = Add;
    in.effect_ref = reinterpret_cast<PF_ProgPtr>(&in);
    PF_ParamDef def{};

    EXPECT_EQ(PF_CHECKOUT_PARAM(&in, 7, 300, 10, 30u, &def), 1);
    EXPECT_STREQ(seen.slot, "checkout_param");
    EXPECT_EQ(seen.ref, in.effect_ref);
    EXPECT_EQ(seen.args[0], 7);
    EXPECT_EQ(seen.args[1], 300);
    EXPECT_EQ(seen.args[2], 10);
    EXPECT_EQ(seen.args[3], 30);
    EXPECT_EQ(seen.def, &def);

    EXPECT_EQ(PF_CHECKIN_PARAM(&in, &def), 2);
    EXPECT_STREQ(seen.slot, "checkin_param");
    EXPECT_EQ(seen.def, &def);

    EXPECT_EQ(PF_ADD_PARAM(&in, -1, &def), 3);
    EXPECT_STREQ(seen.slot, "add_param");
    EXPECT_EQ(seen.ref, in.effect_ref);
    EXPECT_EQ(seen.args[0], -1);
}

}  // namespace
