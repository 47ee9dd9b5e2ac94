// The Windows host under Wine loads Tarsivel.aex from beside itself, registers
// it, reads its PiPL through the resource API and runs global set-up; what it
// prints must agree field by field, and with the Linux build.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>

#include "host/images/png_io.h"
#include "windows/wine_process.h"

namespace tarsivel::testing {
namespace {

struct PiplLine {
    std::string vendor;
    std::string key;
    int length;
    std::string value;
};

struct Info {
    std::string plugin;
    std::map<std::string, std::string> registration;
    std::string piplHeader;
    std::vector<PiplLine> pipl;
    std::string version, outFlags, outFlags2;
};

// The text after `prefix` when `line` starts with it.
std::optional<std::string> After(const std::string& line, const std::string& prefix) {
    if (line.rfind(prefix, 0) != 0) {
        return std::nullopt;
    }
    return line.substr(prefix.size());
}

// "  8BIM 'kind' length 4: 'eFKT'"
std::optional<PiplLine> ParsePiplLine(const std::string& line) {
    if (line.size() < 24 || line.compare(0, 2, "  ") != 0 || line.compare(6, 2, " '") != 0 ||
        line.compare(12, 9, "' length ") != 0) {
        return std::nullopt;
    }
    const std::size_t colon = line.find(": ", 21);
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    return PiplLine{line.substr(2, 4), line.substr(8, 4), std::stoi(line.substr(21, colon - 21)),
                    line.substr(colon + 2)};
}

std::string HexAfter(const std::string& line, const std::string& label) {
    const std::size_t at = line.find(label);
    return at == std::string::npos ? std::string() : line.substr(at + label.size(), 10);
}

Info ParseInfo(const std::string& text) {
    Info info;
    std::istringstream lines(text);
    std::string line;
    const char* fields[] = {"name", "match name", "category", "entry point", "kind", "API version"};
    while (std::getline(lines, line)) {
        if (auto plugin = After(line, "Plug-in: ")) {
            info.plugin = *plugin;
        } else if (line.rfind("PiPL", 0) == 0) {
            info.piplHeader = line;
        } else if (auto property = ParsePiplLine(line)) {
            info.pipl.push_back(*property);
        } else if (line.rfind("Global set-up: ", 0) == 0) {
            info.version = HexAfter(line, "version ");
            info.outFlags = HexAfter(line, "out flags ");
            info.outFlags2 = HexAfter(line, "out flags 2 ");
        } else {
            for (const char* field : fields) {
                if (auto value = After(line, "  " + std::string(field) + " ")) {
                    info.registration[field] = *value;
                }
            }
        }
    }
    return info;
}

std::string WithoutPluginLine(const std::string& text) {
    return text.substr(text.find('\n') + 1);
}

class WindowsInfo : public ::testing::Test {
  protected:
    // One folder per test: CTest runs them side by side, and each run's output files live here.
    std::filesystem::path scratch = std::filesystem::path(TARSIVEL_SCRATCH_DIR) / "info" /
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(WindowsInfo, RegistrationAndPiplAgreeWithGlobalSetUp) {
    const ProcessRun run = RunWindowsTarsivel("info", scratch);
    ASSERT_EQ(run.code, 0) << run.err;
    const Info info = ParseInfo(run.out);

    // Found beside the program by default, through the Windows loader.
    EXPECT_NE(info.plugin.find("Tarsivel.aex"), std::string::npos) << info.plugin;

    EXPECT_EQ(info.registration.at("name"), "\"Tarsivel\"");
    EXPECT_EQ(info.registration.at("match name"), "\"ADBE Tarsivel\"");
    EXPECT_EQ(info.registration.at("category"), "\"Quellmark\"");
    EXPECT_EQ(info.registration.at("entry point"), "\"EffectMain\"");
    EXPECT_EQ(info.registration.at("kind"), "'eFKT'");
    EXPECT_EQ(info.registration.at("API version"), "13.27");

    EXPECT_EQ(info.piplHeader, "PiPL version 1, 12 properties");
    const std::vector<PiplLine> expected = {
        {"8BIM", "kind", 4, "'eFKT'"},
        {"8BIM", "name", 12, "\"Tarsivel\""},
        {"8BIM", "catg", 12, "\"Quellmark\""},
        {"8BIM", "8664", 12, "\"EffectMain\""},
        {"8BIM", "ePVR", 4, "2.0"},
        {"8BIM", "eSVR", 4, "13.27"},
        {"8BIM", "eVER", 4, info.version},
        {"8BIM", "eINF", 2, "0x00000000"},
        {"8BIM", "eGLO", 4, info.outFlags},
        {"8BIM", "eGL2", 4, info.outFlags2},
        {"8BIM", "eMNA", 20, "\"ADBE SDK_Tarsivel\""},
        {"8BIM", "aeFL", 4, "0x00000000"},
    };
    ASSERT_EQ(info.pipl.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(info.pipl[i].vendor, expected[i].vendor);
        EXPECT_EQ(info.pipl[i].key, expected[i].key);
        EXPECT_EQ(info.pipl[i].length, expected[i].length);
        EXPECT_EQ(info.pipl[i].value, expected[i].value);
    }
    // What global set-up reports to an ordinary host.
    EXPECT_EQ(info.version, "0x00080001");
    EXPECT_EQ(info.outFlags, "0x02000404");
    EXPECT_EQ(info.outFlags2, "0x0A001400");
}

TEST_F(WindowsInfo, PrintsWhatTheLinuxBuildPrints) {
    const ProcessRun windows = RunWindowsTarsivel("info", scratch / "windows");
    const ProcessRun linuxRun = RunLinuxTarsivel("info", scratch / "linux");
    ASSERT_EQ(windows.code, 0) << windows.err;
    ASSERT_EQ(linuxRun.code, 0) << linuxRun.err;
    // Everything but the plug-in's path: registration, PiPL, flags, parameters.
    EXPECT_EQ(WithoutPluginLine(windows.out), WithoutPluginLine(linuxRun.out));
}

// Wine has no nvcuda.dll: the command says so, and the plug-in, offered a CUDA
// device all the same, declines it for the same reason.
TEST_F(WindowsInfo, TheAexDeclinesCudaDevicesWithoutTheDriver) {
    const ProcessRun info = RunWindowsTarsivel("info --gpu", scratch / "gpu");
    ASSERT_EQ(info.code, 0) << info.err;
    const std::string missing = "no CUDA driver on this machine (nvcuda.dll cannot be loaded)";
    EXPECT_NE(info.out.find("  CUDA, device 0 (the host has none: " + missing +
                            "): declined: " + missing + "\n"),
              std::string::npos)
        << info.out;
    // (OpenCL frames of the .aex are compared with Linux's in WindowsMatchesLinux.)

    const std::string scene = Quoted(
        WindowsPath(std::filesystem::path(TARSIVEL_WINDOWS_SCENES_DIR) / "windy_nodes.json"));
    const ProcessRun render =
        RunWindowsTarsivel("render " + scene + " -s 0 -e 0 --renderer cuda -o " +
                               Quoted(WindowsPath(scratch / "cuda_#.raw")),
                           scratch / "gpu");
    EXPECT_EQ(render.code, 2);
    EXPECT_NE(render.err.find(missing), std::string::npos) << render.err;
}

TEST_F(WindowsInfo, MissingPluginIsAUsageError) {
    const ProcessRun run = RunWindowsTarsivel(
        "info --plugin " + Quoted(WindowsPath(scratch / "absent" / "Tarsivel.aex")), scratch);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("cannot load"), std::string::npos) << run.err;
}

// The Windows build writes PNG and raw frames, and says so for any other extension.
TEST_F(WindowsInfo, OutputsOtherThanPngAndRawAreRefusedByTheirExtension) {
    const std::string scene = Quoted(
        WindowsPath(std::filesystem::path(TARSIVEL_WINDOWS_SCENES_DIR) / "windy_nodes.json"));
    for (const char* name : {"frame.exr", "movie.mov", "movie.mp4", "frame.jpg"}) {
        const ProcessRun run = RunWindowsTarsivel(
            "render " + scene + " -s 0 -e 0 -o " + Quoted(WindowsPath(scratch / name)), scratch);
        EXPECT_EQ(run.code, 2) << name;
        EXPECT_NE(run.err.find("this build writes .png and .raw frames"), std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(scratch / name));
    }
    const ProcessRun twoRuns = RunWindowsTarsivel(
        "render " + scene + " -o " + Quoted(WindowsPath(scratch / "f_##_##.raw")), scratch);
    EXPECT_EQ(twoRuns.code, 2);
    EXPECT_NE(twoRuns.err.find("more than one run of #"), std::string::npos) << twoRuns.err;
}

// The demo reads its PNG background and writes PNG frames and the contact
// sheet; without an ffmpeg it makes no movie and says so.
TEST_F(WindowsInfo, TheDemoRendersItsPngFramesAndContactSheet) {
    const std::filesystem::path out = scratch / "demo";
    const ProcessRun run = RunWindowsTarsivel("demo -o " + Quoted(WindowsPath(out)), scratch);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("no movie"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out / "demo.mp4"));
    const auto sheet = host::ReadPng((out / "contact_sheet.png").string(), host::PixelDepth::k8);
    EXPECT_GT(sheet->Width(), 0);
    for (const char* frame : {"demo_0000.png", "demo_0089.png"}) {
        const auto image = host::ReadPng((out / frame).string(), host::PixelDepth::k8);
        EXPECT_EQ(image->Width(), 960) << frame;
        EXPECT_EQ(image->Height(), 540) << frame;
    }
}

}  // namespace
}  // namespace tarsivel::testing
