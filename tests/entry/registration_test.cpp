// How the host learns of the effect: the registration call, the PiPL the
// library carries, and the symbols it exports.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/protocol/pipl.h"
#include "support/loaded_plugin.h"

namespace tarsivel {
namespace {

using host::FourCC;
using host::Pipl;
using host::PiplProperty;

class RegistrationTest : public testing::LoadedPluginFixture {
  protected:
    Pipl DecodedPipl() {
        std::string error;
        const std::vector<uint8_t> bytes = library->PiplBytes(error);
        EXPECT_FALSE(bytes.empty()) << error;
        auto pipl = host::DecodePipl(bytes, error);
        EXPECT_TRUE(pipl.has_value()) << error;
        return pipl.value_or(Pipl{});
    }
};

TEST_F(RegistrationTest, OneCallbackWithTheNineArgumentsInOrder) {
    const host::Registration& r = library->Registered();
    EXPECT_EQ(r.calls, 1);
    EXPECT_TRUE(r.dataPassedThrough);
    EXPECT_EQ(r.name, "Tarsivel");
    EXPECT_EQ(r.matchName, "ADBE Tarsivel");
    EXPECT_EQ(r.category, "Quellmark");
    EXPECT_EQ(r.entryPointName, "EffectMain");
    EXPECT_EQ(r.kind, 0x65464B54);
    EXPECT_EQ(r.apiVersionMajor, 13);
    EXPECT_EQ(r.apiVersionMinor, 27);
    EXPECT_EQ(r.reservedInfo, 8);
}

TEST_F(RegistrationTest, TheCallbacksErrorIsPassedThrough) {
    EXPECT_EQ(library->Register(PF_Err_OUT_OF_MEMORY), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(library->Registered().calls, 1);
}

TEST_F(RegistrationTest, ExportsExactlyTheThreeEntrySymbols) {
    std::string error;
    std::vector<std::string> symbols = library->ExportedSymbols(error);
    std::sort(symbols.begin(), symbols.end());
    EXPECT_EQ(symbols, (std::vector<std::string>{"EffectMain", "NvOptimusEnablementCuda",
                                                 "PluginDataEntryFunction"}))
        << error;
}

TEST_F(RegistrationTest, PiplHoldsTheTwelvePropertiesByteForByte) {
    const Pipl pipl = DecodedPipl();
    EXPECT_EQ(pipl.version, 1);
    EXPECT_EQ(pipl.reserved, 0u);
    const char* keys[] = {"kind", "name", "catg", "8664", "ePVR", "eSVR",
                          "eVER", "eINF", "eGLO", "eGL2", "eMNA", "aeFL"};
    const uint32_t lengths[] = {4, 12, 12, 12, 4, 4, 4, 2, 4, 4, 20, 4};
    ASSERT_EQ(pipl.properties.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const PiplProperty& p = pipl.properties[i];
        EXPECT_EQ(host::FourCCText(p.key), keys[i]);
        EXPECT_EQ(p.vendor, FourCC("8BIM"));
        EXPECT_EQ(p.id, 0u);
        EXPECT_EQ(p.length, lengths[i]) << keys[i];
    }
    EXPECT_EQ(host::U32(*pipl.Find("kind")), FourCC("eFKT"));
    EXPECT_EQ(host::PascalString(*pipl.Find("name")), "Tarsivel");
    EXPECT_EQ(host::PascalString(*pipl.Find("catg")), "Quellmark");
    EXPECT_EQ(host::ZeroTerminatedString(*pipl.Find("8664")), "EffectMain");
    EXPECT_EQ(host::U16(*pipl.Find("ePVR"), 0), 2);
    EXPECT_EQ(host::U16(*pipl.Find("ePVR"), 1), 0);
    EXPECT_EQ(host::U16(*pipl.Find("eSVR"), 0), 13);
    EXPECT_EQ(host::U16(*pipl.Find("eSVR"), 1), 27);
    EXPECT_EQ(host::U16(*pipl.Find("eINF"), 0), 0);
    EXPECT_EQ(host::PascalString(*pipl.Find("eMNA")), "ADBE SDK_Tarsivel");
    EXPECT_EQ(host::U32(*pipl.Find("aeFL")), 0u);
}

TEST_F(RegistrationTest, PiplRawBytesShowReversedCodesAndPaddedStrings) {
    std::string error;
    const std::vector<uint8_t> bytes = library->PiplBytes(error);
    ASSERT_GE(bytes.size(), 42u);
    // Header: version 1, reserved 0, 12 properties; then "MIB8" "dnik" ... "TKFe".
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 30);
    const std::vector<uint8_t> expected{1,   0,   0,   0,   0,   0,   12,  0,   0,   0,
                                        'M', 'I', 'B', '8', 'd', 'n', 'i', 'k', 0,   0,
                                        0,   0,   4,   0,   0,   0,   'T', 'K', 'F', 'e'};
    EXPECT_EQ(head, expected);
    // "Tarsivel" as a Pascal string: a length byte, no terminator needed.
    EXPECT_EQ(bytes[46], 8);
    EXPECT_EQ(bytes.size(), 290u);
}

TEST_F(RegistrationTest, PiplAgreesWithWhatGlobalSetupReports) {
    const Pipl pipl = DecodedPipl();
    const host::CommandResult result = Run(PF_Cmd_GLOBAL_SETUP);
    EXPECT_EQ(host::U32(*pipl.Find("eVER")), result.out.my_version);
    EXPECT_EQ(host::U32(*pipl.Find("eGLO")), uint32_t(result.out.out_flags));
    EXPECT_EQ(host::U32(*pipl.Find("eGL2")), uint32_t(result.out.out_flags2));
}

}  // namespace
}  // namespace tarsivel
