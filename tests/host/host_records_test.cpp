// What the host hands over with every command and what it holds the effect
// to: every field of PF_InData filled, every slot of its tables a function,
// and an effect that calls an undocumented slot, changes PF_InData or writes
// a PF_OutData field it may not write reported as a breach.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/protocol/effect_instance.h"
#include "hostapi/pf_api.h"

namespace tarsivel::host {
namespace {

// An entry point whose parameter set-up reports 40 parameters and which does
// nothing else.
PF_Err FortyParams(PF_Cmd cmd, PF_InData*, PF_OutData* out_data, PF_ParamDef**, PF_LayerDef*,
                   void*) {
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        out_data->num_params = 40;
    }
    return PF_Err_NONE;
}

bool Reports(const CommandResult& result, const std::string& text) {
    return result.BalanceReport().find(text) != std::string::npos;
}

TEST(HostRecords, InDataCarriesEveryFieldAsDocumented) {
    EffectInstance instance(FortyParams, 400, 300);
    CommandSettings settings;
    settings.downsampleX = {1, 2};
    settings.downsampleY = {1, 3};
    settings.totalTime = 900;
    PF_InData seen{};
    const auto look = [&](PF_InData* in_data, PF_OutData*) {
        seen = *in_data;
        return PF_Err_NONE;
    };
    instance.RunHandler(look, settings);
    EXPECT_EQ(seen.num_params, 0);
    ASSERT_EQ(instance.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    const CommandResult result = instance.RunHandler(look, settings);
    EXPECT_TRUE(result.Balanced()) << result.BalanceReport();

    EXPECT_EQ(seen.num_params, 40);
    EXPECT_EQ(seen.version.major, 13);
    EXPECT_EQ(seen.version.minor, 28);
    EXPECT_EQ(seen.quality, PF_Quality_HI);
    EXPECT_EQ(seen.field, PF_Field_FRAME);
    EXPECT_EQ(seen.total_time, 900);
    EXPECT_EQ(seen.width, 400);
    EXPECT_EQ(seen.height, 300);
    EXPECT_EQ(seen.extent_hint.right, 200);
    EXPECT_EQ(seen.extent_hint.bottom, 100);
    EXPECT_EQ(seen.pixel_aspect_ratio.num, 1);
    EXPECT_EQ(seen.pixel_aspect_ratio.den, 1u);
    EXPECT_NE(seen.pica_basicP, nullptr);
    EXPECT_EQ(seen.global_data, nullptr);
    EXPECT_EQ(seen.sequence_data, nullptr);
}

TEST(HostRecords, EverySlotIsAFunctionAndOnlyReservedOnesAreNull) {
    EffectInstance instance(nullptr);
    instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        const PF_InteractCallbacks& inter = in_data->inter;
        EXPECT_NE(inter.abort, nullptr);
        EXPECT_NE(inter.get_audio_data, nullptr);
        for (void* reserved : inter.reserved_str) {
            EXPECT_EQ(reserved, nullptr);
        }
        for (void* reserved : inter.reserved) {
            EXPECT_EQ(reserved, nullptr);
        }
        const PF_UtilCallbacks& utils = *in_data->utils;
        EXPECT_NE(utils.begin_sampling, nullptr);
        EXPECT_NE(utils.ansi.acos, nullptr);
        EXPECT_NE(utils.colorCB.Saturation, nullptr);
        EXPECT_NE(utils.get_pixel_data16, nullptr);
        EXPECT_EQ(utils.get_batch_func_is_deprecated, nullptr);
        const SPBasicSuite& basic = *in_data->pica_basicP;
        EXPECT_NE(basic.IsEqual, nullptr);
        EXPECT_NE(basic.ReallocateBlock, nullptr);
        EXPECT_EQ(basic.Undefined, nullptr);

        const void* suite = nullptr;
        EXPECT_EQ(basic.AcquireSuite(kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1, &suite), 0);
        const auto* gpu = static_cast<const PF_GPUDeviceSuite1*>(suite);
        EXPECT_NE(gpu->GetGPUWorldDeviceIndex, nullptr);
        EXPECT_NE(gpu->CreateGPUWorld, nullptr);
        basic.ReleaseSuite(kPFGPUDeviceSuite, kPFGPUDeviceSuiteVersion1);
        return PF_Err_NONE;
    });
}

TEST(HostRecords, AnUndocumentedSlotIsABreachThatNamesIt) {
    EffectInstance instance(nullptr);
    const CommandResult progress = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        return in_data->inter.progress(in_data->effect_ref, 1, 2);
    });
    EXPECT_EQ(progress.err, PF_Err_INVALID_CALLBACK);
    EXPECT_TRUE(Reports(progress, "PF_InteractCallbacks.progress")) << progress.BalanceReport();

    const CommandResult sine = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        EXPECT_TRUE(std::isnan(in_data->utils->ansi.sin(1.0)));
        return PF_Err_NONE;
    });
    EXPECT_TRUE(Reports(sine, "PF_UtilCallbacks.ansi.sin")) << sine.BalanceReport();

    const CommandResult newWorld = instance.RunHandler([](PF_InData* in_data, PF_OutData*) {
        const void* suite = nullptr;
        in_data->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite);
        PF_EffectWorld world{};
        const PF_Err err = static_cast<const PF_WorldSuite2*>(suite)->PF_NewWorld(
            in_data->effect_ref, 4, 4, true, PF_PixelFormat_ARGB32, &world);
        in_data->pica_basicP->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
        return err;
    });
    EXPECT_EQ(newWorld.err, PF_Err_INVALID_CALLBACK);
    EXPECT_TRUE(Reports(newWorld, "PF_WorldSuite2.PF_NewWorld")) << newWorld.BalanceReport();
    ASSERT_EQ(newWorld.imbalances.size(), 1u) << newWorld.BalanceReport();
}

TEST(HostRecords, TheEffectWritesOnlyItsOwnFieldsOfTheRecords) {
    EffectInstance instance(nullptr);
    const CommandResult allowed = instance.RunHandler([](PF_InData*, PF_OutData* out_data) {
        out_data->my_version = 1;
        out_data->out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        out_data->out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER;
        out_data->num_params = 3;
        std::strcpy(out_data->return_msg, "a message");
        return PF_Err_NONE;
    });
    EXPECT_TRUE(allowed.Balanced()) << allowed.BalanceReport();

    const CommandResult forbidden = instance.RunHandler([](PF_InData* in_data, PF_OutData* out) {
        in_data->current_time += 1;
        in_data->inter.add_param = nullptr;
        out->name[0] = 'x';
        out->global_data = reinterpret_cast<PF_Handle>(out);
        return PF_Err_NONE;
    });
    EXPECT_EQ(forbidden.imbalances.size(), 4u) << forbidden.BalanceReport();
    for (const char* field : {"PF_InData.current_time", "PF_InData.inter", "PF_OutData.name",
                              "PF_OutData.global_data"}) {
        EXPECT_TRUE(Reports(forbidden, field)) << field;
    }

    // A write just past either record lands in the host's guard bytes.
    const CommandResult past = instance.RunHandler([](PF_InData* in_data, PF_OutData* out) {
        reinterpret_cast<unsigned char*>(in_data)[sizeof(PF_InData)] = 0;
        reinterpret_cast<unsigned char*>(out)[sizeof(PF_OutData) + 3] = 0;
        return PF_Err_NONE;
    });
    EXPECT_TRUE(Reports(past, "past the end of PF_InData")) << past.BalanceReport();
    EXPECT_TRUE(Reports(past, "past the end of PF_OutData")) << past.BalanceReport();
}

}  // namespace
}  // namespace tarsivel::host
