// The host's strictness: what it counts, what it reports, what it can refuse.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/protocol/effect_instance.h"
#include "host_test_support.h"
#include "hostapi/pf_suites.h"

namespace tarsivel::host {
namespace {

using testing::Declare;
using testing::Definition;

class AccountsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(Declare(instance, Definition(PF_Param_CHECKBOX, "Box", 1)).err, PF_Err_NONE);
        ASSERT_EQ(Declare(instance, Definition(PF_Param_ANGLE, "Angle", 2)).err, PF_Err_NONE);
    }
    EffectInstance instance{nullptr};
};

TEST_F(AccountsTest, ReportsSuitesAndParametersThatWereNotGivenBack) {
    const CommandResult result = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        const void* suite = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFANSISuite, 1, &suite);
        PF_ParamDef def{};
        return PF_CHECKOUT_PARAM(in_data, 1, 0, 1, 30, &def);
    });
    EXPECT_EQ(result.err, PF_Err_NONE);
    ASSERT_EQ(result.imbalances.size(), 2u) << result.BalanceReport();
    EXPECT_NE(result.BalanceReport().find("PF ANSI Suite"), std::string::npos);
    EXPECT_NE(result.BalanceReport().find("parameter 1"), std::string::npos);
}

TEST_F(AccountsTest, ReportsReleasesAndCheckinsOfWhatWasNeverHeld) {
    const CommandResult result = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        PF_ParamDef def{};
        const SPErr released = in_data->pica_basicP->ReleaseSuite(kPFANSISuite, 1);
        const PF_Err checkedIn = PF_CHECKIN_PARAM(in_data, &def);
        return released != 0 && checkedIn != PF_Err_NONE ? PF_Err_NONE : PF_Err_INVALID_INDEX;
    });
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(result.imbalances.size(), 2u) << result.BalanceReport();
}

TEST_F(AccountsTest, BalancedCommandCountsEveryAcquisitionAndCheckout) {
    const CommandResult result = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        for (int i = 0; i < 3; ++i) {
            const void* suite = nullptr;
            in_data->pica_basicP->AcquireSuite(kPFANSISuite, 1, &suite);
            in_data->pica_basicP->ReleaseSuite(kPFANSISuite, 1);
        }
        PF_ParamDef def{};
        PF_CHECKOUT_PARAM(in_data, 2, 0, 1, 30, &def);
        PF_CHECKIN_PARAM(in_data, &def);
        return PF_Err_NONE;
    });
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFANSISuite, 1), 3);
    EXPECT_EQ(result.accounts.ParamCheckouts(), 1);
    EXPECT_EQ(result.accounts.CheckoutOrder(), std::vector<PF_ParamIndex>{2});
}

TEST_F(AccountsTest, FailedCheckoutLeavesNothingOutstandingAndTargetsOneCommand) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutParam, 2, PF_Err_OUT_OF_MEMORY);
    auto checkoutThree = [](PF_InData* in_data, PF_OutData*) {
        PF_Err last = PF_Err_NONE;
        for (int i = 0; i < 3; ++i) {
            PF_ParamDef def{};
            const PF_Err err = PF_CHECKOUT_PARAM(in_data, 1, 0, 1, 30, &def);
            if (err == PF_Err_NONE) {
                PF_CHECKIN_PARAM(in_data, &def);
            } else {
                last = err;
            }
        }
        return last;
    };
    const CommandResult failing = instance.RunHandler(checkoutThree, settings);
    EXPECT_EQ(failing.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(failing.accounts.ParamCheckouts(), 2);
    EXPECT_TRUE(failing.Balanced()) << failing.BalanceReport();
    const CommandResult next = instance.RunHandler(checkoutThree);
    EXPECT_EQ(next.err, PF_Err_NONE);
    EXPECT_EQ(next.accounts.ParamCheckouts(), 3);
}

TEST_F(AccountsTest, FailureTargetsNarrowWhichCallsCount) {
    CommandSettings settings;
    settings.failures.FailNth(HostCall::CheckoutParam, 1, 42, "2");
    const CommandResult result = instance.RunHandler(
        [](PF_InData* in_data, PF_OutData*) {
            PF_ParamDef box{}, angle{};
            const PF_Err first = PF_CHECKOUT_PARAM(in_data, 1, 0, 1, 30, &box);
            PF_CHECKIN_PARAM(in_data, &box);
            const PF_Err second = PF_CHECKOUT_PARAM(in_data, 2, 0, 1, 30, &angle);
            return first == PF_Err_NONE ? second : PF_Err_INTERNAL_STRUCT_DAMAGED;
        },
        settings);
    EXPECT_EQ(result.err, 42);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(AccountsTest, CommandsOnSeveralThreadsKeepTheirOwnAccounts) {
    std::atomic<int> unbalanced{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const CommandResult result =
                    instance.RunHandler([&](PF_InData* in_data, PF_OutData*) {
                        PF_ParamDef def{};
                        PF_CHECKOUT_PARAM(in_data, 1 + (t % 2), round, 1, 30, &def);
                        const void* suite = nullptr;
                        in_data->pica_basicP->AcquireSuite(kPFANSISuite, 1, &suite);
                        in_data->pica_basicP->ReleaseSuite(kPFANSISuite, 1);
                        PF_CHECKIN_PARAM(in_data, &def);
                        return PF_Err_NONE;
                    });
                if (!result.Balanced() || result.accounts.ParamCheckouts() != 1) {
                    ++unbalanced;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(unbalanced.load(), 0);
}

TEST_F(AccountsTest, InDataCarriesTheCommandsTimeAndResolution) {
    CommandSettings settings;
    settings.currentTime = 99;
    settings.localTimeStep = 0;
    settings.timeScale = 2997;
    settings.downsampleX = {1, 2};
    settings.outputOriginX = -5;
    const CommandResult result = instance.RunHandler(
        [](PF_InData* in_data, PF_OutData*) {
            const bool ok = in_data->current_time == 99 && in_data->local_time_step == 0 &&
                            in_data->time_scale == 2997u && in_data->downsample_x.den == 2u &&
                            in_data->output_origin_x == -5 && in_data->width == 1920 &&
                            in_data->effect_ref != nullptr;
            return ok ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
        },
        settings);
    EXPECT_EQ(result.err, PF_Err_NONE);
}

}  // namespace
}  // namespace tarsivel::host
