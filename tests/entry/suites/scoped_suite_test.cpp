#include "entry/suites/scoped_suite.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "host/protocol/effect_instance.h"
#include "hostapi/pf_suites.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;
using host::EffectInstance;
using host::HostCall;

constexpr const char* kMessage = "Not able to acquire AEFX Suite.";

// Runs `body` as a command handler, turning thrown codes into the result the
// way the dispatcher does.
template <class Body>
CommandResult RunCatching(EffectInstance& instance, Body body, CommandSettings settings = {}) {
    return instance.RunHandler(
        [&](PF_InData* in_data, PF_OutData* out_data) -> PF_Err {
            try {
                return body(in_data, out_data);
            } catch (PF_Err err) {
                return err;
            }
        },
        settings);
}

class ScopedSuiteTest : public ::testing::Test {
  protected:
    EffectInstance instance{nullptr};
};

TEST_F(ScopedSuiteTest, HoldsTheSuiteForTheBlockAndReleasesItOnce) {
    const CommandResult result = RunCatching(instance, [](PF_InData* in_data, PF_OutData*) {
        ScopedSuite<PF_ANSICallbacksSuite1> ansi(in_data, kPFANSISuite, kPFANSISuiteVersion1);
        char buffer[32];
        ansi->sprintf(buffer, "%d", 7);
        return buffer[0] == '7' ? PF_Err_NONE : PF_Err_INTERNAL_STRUCT_DAMAGED;
    });
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFANSISuite, 1), 1);
    EXPECT_EQ(result.accounts.SuiteReleases(kPFANSISuite, 1), 1);
}

TEST_F(ScopedSuiteTest, MissingSuiteAsksTheHostToShowTheMessageAndThrows13) {
    instance.Suites().Withdraw(kPFPixelFormatSuite, 1);
    const CommandResult result = RunCatching(instance, [](PF_InData* in_data, PF_OutData* out) {
        ScopedSuite<PF_PixelFormatSuite1> suite(in_data, kPFPixelFormatSuite, 1, out);
        return PF_Err_NONE;
    });
    EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
    EXPECT_TRUE(result.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(result.out.return_msg, kMessage);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(ScopedSuiteTest, MissingSuiteWithoutOutDataThrowsAndWritesNothing) {
    CommandSettings settings;
    settings.failures.FailAlways(HostCall::AcquireSuite, 99, kPFANSISuite);
    const CommandResult result = RunCatching(
        instance,
        [](PF_InData* in_data, PF_OutData*) {
            ScopedSuite<PF_ANSICallbacksSuite1> suite(in_data, kPFANSISuite, 1);
            return PF_Err_NONE;
        },
        settings);
    EXPECT_EQ(result.err, A_Err_MISSING_SUITE);
    EXPECT_EQ(result.out.out_flags, 0);
    EXPECT_STREQ(result.out.return_msg, "");
}

TEST_F(ScopedSuiteTest, BrokenHostsAreTreatedAsMissingSuitesWithoutBeingDereferenced) {
    // A host that says yes but hands out nothing: the suite is given back.
    instance.Suites().Register("PF Null Suite", 1, nullptr);
    CommandResult nullSuite = RunCatching(instance, [](PF_InData* in_data, PF_OutData* out) {
        ScopedSuite<PF_ANSICallbacksSuite1> suite(in_data, "PF Null Suite", 1, out);
        return PF_Err_NONE;
    });
    EXPECT_EQ(nullSuite.err, A_Err_MISSING_SUITE);
    EXPECT_STREQ(nullSuite.out.return_msg, kMessage);
    EXPECT_TRUE(nullSuite.Balanced()) << nullSuite.BalanceReport();

    // No basic suite, and no utility callbacks to write the message with.
    CommandResult noBasic = RunCatching(instance, [](PF_InData* in_data, PF_OutData* out) {
        in_data->pica_basicP = nullptr;
        in_data->utils = nullptr;
        ScopedSuite<PF_ANSICallbacksSuite1> suite(in_data, kPFANSISuite, 1, out);
        return PF_Err_NONE;
    });
    EXPECT_EQ(noBasic.err, A_Err_MISSING_SUITE);
    EXPECT_TRUE(noBasic.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(noBasic.out.return_msg, "");
}

TEST_F(ScopedSuiteTest, ReleasesOnEveryPathOutOfTheBlock) {
    const CommandResult result = RunCatching(instance, [](PF_InData* in_data, PF_OutData* out) {
        ScopedSuite<PF_ANSICallbacksSuite1> first(in_data, kPFANSISuite, 1, out);
        ScopedSuite<PF_PixelFormatSuite1> second(in_data, kPFPixelFormatSuite, 1, out);
        throw PF_Err(PF_Err_OUT_OF_MEMORY);
        return PF_Err_NONE;
    });
    EXPECT_EQ(result.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.SuiteReleases(kPFPixelFormatSuite, 1), 1);
}

TEST_F(ScopedSuiteTest, SuiteSetAcquiresLazilyOnceAndReleasesEverything) {
    int acquiredBeforeUse = -1;
    const CommandResult result = RunCatching(instance, [&](PF_InData* in_data, PF_OutData*) {
        HostSuiteSet suites(in_data->pica_basicP);
        acquiredBeforeUse = host::CommandContext::Current()->Accounts().TotalSuiteAcquisitions();
        suites.Get<PF_ANSICallbacksSuite1>(kPFANSISuite, 1);
        suites.Get<PF_ANSICallbacksSuite1>(kPFANSISuite, 1);
        suites.Get<PF_PixelFormatSuite1>(kPFPixelFormatSuite, 1);
        return PF_Err_NONE;
    });
    EXPECT_EQ(acquiredBeforeUse, 0);
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFANSISuite, 1), 1);
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFPixelFormatSuite, 1), 1);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
}

TEST_F(ScopedSuiteTest, SuiteSetFailuresAre516WithoutAMessage) {
    instance.Suites().Withdraw(kPFANSISuite, 1);
    const CommandResult missing = RunCatching(instance, [](PF_InData* in_data, PF_OutData*) {
        HostSuiteSet suites(in_data->pica_basicP);
        suites.Get<PF_PixelFormatSuite1>(kPFPixelFormatSuite, 1);
        suites.Get<PF_ANSICallbacksSuite1>(kPFANSISuite, 1);
        return PF_Err_NONE;
    });
    EXPECT_EQ(missing.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(missing.out.out_flags, 0);
    EXPECT_STREQ(missing.out.return_msg, "");
    EXPECT_TRUE(missing.Balanced()) << missing.BalanceReport();

    const CommandResult noBasic = RunCatching(instance, [](PF_InData*, PF_OutData*) {
        HostSuiteSet suites(nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(noBasic.err, PF_Err_BAD_CALLBACK_PARAM);

    instance.Suites().Register("PF Null Suite", 1, nullptr);
    const CommandResult nullSuite = RunCatching(instance, [](PF_InData* in_data, PF_OutData*) {
        HostSuiteSet suites(in_data->pica_basicP);
        suites.Get<PF_ANSICallbacksSuite1>("PF Null Suite", 1);
        return PF_Err_NONE;
    });
    EXPECT_EQ(nullSuite.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(nullSuite.Balanced()) << nullSuite.BalanceReport();
}

}  // namespace
}  // namespace tarsivel
