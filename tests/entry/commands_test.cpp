// About, global set-up and the dispatcher, through the loaded library.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "entry/command_dispatch.h"
#include "entry/effect_info.h"
#include "host/protocol/effect_instance.h"
#include "hostapi/pf_suites.h"
#include "support/loaded_plugin.h"
#include "support/world_record.h"

namespace tarsivel {
namespace {

using host::CommandResult;
using host::CommandSettings;

class CommandsTest : public testing::LoadedPluginFixture {};

TEST_F(CommandsTest, AboutWritesTheNameVersionAndDescriptionWithCarriageReturns) {
    const CommandResult result = Run(PF_Cmd_ABOUT);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_STREQ(result.out.return_msg, "Tarsivel - v1.0\r\rSimulate physically-correct ropes.");
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();
    EXPECT_EQ(result.accounts.SuiteAcquisitions(kPFANSISuite, 1), 1);
}

TEST_F(CommandsTest, AboutWithoutTheAnsiSuiteIs516AndWritesNothing) {
    instance->Suites().Withdraw(kPFANSISuite, 1);
    const CommandResult result = Run(PF_Cmd_ABOUT);
    EXPECT_EQ(result.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(result.out.return_msg, "");
}

TEST_F(CommandsTest, GlobalSetupDeclaresVersionAndFlagsAndLeavesGlobalDataAlone) {
    int marker = 0;
    PF_Handle given = reinterpret_cast<PF_Handle>(&marker);
    instance->SetGlobalData(given);
    const CommandResult result = Run(PF_Cmd_GLOBAL_SETUP);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(result.out.my_version, 0x00080001u);
    EXPECT_EQ(result.out.out_flags, 0x02000404);
    EXPECT_EQ(result.out.out_flags2, 0x0A001400);
    EXPECT_EQ(result.out.global_data, given);
    EXPECT_EQ(result.accounts.TotalSuiteAcquisitions(), 0);
    EXPECT_EQ(instance->PixelFormatClears(), 0);
}

TEST_F(CommandsTest, GlobalSetupOnThePrMrHostDeclaresOnePixelFormatAndNoGpu) {
    CommandSettings prmr;
    prmr.applId = kApplIdPrMr;
    const CommandResult result = Run(PF_Cmd_GLOBAL_SETUP, prmr);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(result.out.out_flags2, 0x08001400);
    EXPECT_EQ(instance->PixelFormatClears(), 1);
    EXPECT_EQ(instance->SupportedPixelFormats(),
              std::vector<PrPixelFormat>{PrPixelFormat(0x61795556)});
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();

    instance->Suites().Withdraw(kPFPixelFormatSuite, 1);
    const CommandResult missing = Run(PF_Cmd_GLOBAL_SETUP, prmr);
    EXPECT_EQ(missing.err, A_Err_MISSING_SUITE);
    EXPECT_TRUE(missing.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(missing.out.return_msg, "Not able to acquire AEFX Suite.");
}

TEST_F(CommandsTest, CommandsTheEffectDoesNotHandleReturnZeroAndTouchNothing) {
    host::EffectMainFunc entry = library->EntryPoint();
    std::vector<uint8_t> pixels(64, 0xAB);
    PF_EffectWorld output = WorldRecord(4, 4, 16, pixels.data());
    for (PF_Cmd cmd : {PF_Cmd(PF_Cmd_RENDER), PF_Cmd(PF_Cmd_GLOBAL_SETDOWN),
                       PF_Cmd(PF_Cmd_SEQUENCE_SETUP), PF_Cmd(34), PF_Cmd(1000), PF_Cmd(-1)}) {
        EXPECT_EQ(entry(cmd, nullptr, nullptr, nullptr, &output, nullptr), PF_Err_NONE) << cmd;
    }
    EXPECT_EQ(pixels, std::vector<uint8_t>(64, 0xAB));
}

TEST_F(CommandsTest, MissingRecordsAre516) {
    host::EffectMainFunc entry = library->EntryPoint();
    PF_OutData out{};
    EXPECT_EQ(entry(PF_Cmd_ABOUT, nullptr, &out, nullptr, nullptr, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    const CommandResult noExtra = Run(PF_Cmd_SMART_PRE_RENDER);
    EXPECT_EQ(noExtra.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(noExtra.accounts.ParamCheckouts(), 0);
    EXPECT_EQ(Run(PF_Cmd_GPU_DEVICE_SETUP).err, PF_Err_BAD_CALLBACK_PARAM);
}

// An allocation failure anywhere below a handler reaches the host as a code.
// Raised here from the host's own callback, in-process, since it has to cross
// the handler's frames.
PF_Err ThrowingAddParam(PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) {
    throw std::bad_alloc();
}
PF_Err ThrowingOther(PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) {
    throw 3.5;
}

TEST(DispatchInProcessTest, ExceptionsOtherThanCodesBecomeCodes) {
    host::EffectInstance instance(nullptr);
    using AddParam = PF_Err (*)(PF_ProgPtr, PF_ParamIndex, PF_ParamDef*);
    const std::pair<AddParam, PF_Err> cases[] = {{ThrowingAddParam, PF_Err_OUT_OF_MEMORY},
                                                 {ThrowingOther, PF_Err_INTERNAL_STRUCT_DAMAGED}};
    for (auto [callback, expected] : cases) {
        const CommandResult result = instance.RunHandler([&](PF_InData* in, PF_OutData* out) {
            in->inter.add_param = callback;
            return DispatchCommand(PF_Cmd_PARAMS_SETUP, in, out, nullptr, nullptr, nullptr);
        });
        EXPECT_EQ(result.err, expected);
    }
}

}  // namespace
}  // namespace tarsivel
