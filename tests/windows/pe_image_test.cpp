// The built Windows binaries read as files, without Wine: what they export,
// which DLLs they need, and the PiPL resource the host finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "host/protocol/elf_file.h"
#include "host/protocol/pipl.h"
#include "tests/support/embedded_fatbin_check.h"
#include "windows/pe_image.h"

namespace tarsivel::testing {
namespace {

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kFileDll = 0x2000;
constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnInitialisedData = 0x00000040;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr uint32_t kScnWrite = 0x80000000;
constexpr uint32_t kLanguageUsEnglish = 1033;

PeImage Open(const char* path) {
    std::string error;
    auto image = PeImage::Open(path, error);
    if (!image) {
        throw std::runtime_error(error);
    }
    return *image;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Windows' own DLLs and the OpenCL ICD loader; the C runtime msvcrt.dll is
// part of Windows and cannot be linked statically.
bool AllowedImport(const std::string& dll) {
    static const std::set<std::string> allowed = {
        "kernel32.dll", "msvcrt.dll",  "opencl.dll", "user32.dll", "advapi32.dll",
        "ntdll.dll",    "shell32.dll", "ole32.dll",  "ws2_32.dll", "bcrypt.dll"};
    return allowed.count(Lower(dll)) != 0 || Lower(dll).rfind("api-ms-win-", 0) == 0;
}

void ExpectOnlySystemImports(const PeImage& image, const char* what) {
    const std::vector<std::string> dlls = image.ImportedDlls();
    EXPECT_FALSE(dlls.empty()) << what;
    for (const std::string& dll : dlls) {
        EXPECT_TRUE(AllowedImport(dll)) << what << " imports " << dll;
        for (const char* runtime :
             {"libgcc_s_seh-1.dll", "libstdc++-6.dll", "libwinpthread-1.dll"}) {
            EXPECT_NE(Lower(dll), runtime) << what << " needs the mingw runtime DLL " << dll;
        }
    }
}

TEST(WindowsPlugin, IsAnX64DllExportingExactlyTheThreeSymbols) {
    const PeImage aex = Open(TARSIVEL_WINDOWS_PLUGIN_PATH);
    EXPECT_EQ(aex.Machine(), kMachineAmd64);
    EXPECT_NE(aex.Characteristics() & kFileDll, 0);
    std::vector<std::string> names;
    for (const PeExport& e : aex.Exports()) {
        names.push_back(e.name);
        const PeSection* section = aex.SectionOf(e.rva);
        ASSERT_NE(section, nullptr) << e.name;
        if (e.name == "NvOptimusEnablementCuda") {
            // The driver reads it as initialised, writable data holding 1.
            EXPECT_EQ(section->characteristics & (kScnInitialisedData | kScnWrite),
                      kScnInitialisedData | kScnWrite)
                << section->name;
            EXPECT_EQ(section->characteristics & kScnExecute, 0u) << section->name;
            EXPECT_EQ(aex.BytesAt(e.rva, 4), (std::vector<uint8_t>{1, 0, 0, 0}));
        } else {
            EXPECT_NE(section->characteristics & kScnCode, 0u) << e.name << " in " << section->name;
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"EffectMain", "NvOptimusEnablementCuda",
                                               "PluginDataEntryFunction"}));
}

TEST(WindowsPlugin, ImportsOnlyWindowsDllsAndOpenCL) {
    const PeImage aex = Open(TARSIVEL_WINDOWS_PLUGIN_PATH);
    ExpectOnlySystemImports(aex, "Tarsivel.aex");
    const std::vector<std::string> dlls = aex.ImportedDlls();
    EXPECT_TRUE(std::any_of(dlls.begin(), dlls.end(), [](const std::string& d) {
        return Lower(d) == "opencl.dll";
    })) << "OpenCL is bound to the system's OpenCL.dll";
    ExpectOnlySystemImports(Open(TARSIVEL_WINDOWS_CLI_PATH), "tarsivel.exe");
}

TEST(WindowsPlugin, EmbedsTheCudaFatbinOfTheLinuxBuildAndLoadsTheDriverOnlyAtRunTime) {
    for (const char* binary : {TARSIVEL_WINDOWS_PLUGIN_PATH, TARSIVEL_WINDOWS_CLI_PATH}) {
        for (const std::string& dll : Open(binary).ImportedDlls()) {
            EXPECT_NE(Lower(dll), "nvcuda.dll") << binary;
        }
    }
    if (std::string(TARSIVEL_CUDA_FATBIN_PATH).empty()) {
        GTEST_SKIP() << "built without CUDA device code";
    }
    ExpectEmbeddedRopeKernelFatbin(TARSIVEL_WINDOWS_PLUGIN_PATH, TARSIVEL_CUDA_FATBIN_PATH,
                                   TARSIVEL_CUDA_MACHINE_ARCHITECTURES);
}

TEST(WindowsPlugin, CarriesThePiplOfTheLinuxBuildAsResource16000InUsEnglish) {
    const PeImage aex = Open(TARSIVEL_WINDOWS_PLUGIN_PATH);
    const auto resources = aex.Resource("PIPL", 16000);
    ASSERT_EQ(resources.size(), 1u) << "one language of PIPL 16000";
    EXPECT_EQ(resources[0].first, kLanguageUsEnglish);
    const std::vector<uint8_t>& bytes = resources[0].second;

    // Both platforms' bytes come from the one description of the PiPL.
    std::string error;
    auto elf = host::ElfFile::Open(TARSIVEL_PLUGIN_PATH, error);
    ASSERT_TRUE(elf) << error;
    const auto linuxPipl = elf->Section(".pipl");
    ASSERT_TRUE(linuxPipl);
    EXPECT_EQ(bytes, *linuxPipl);

    auto pipl = host::DecodePipl(bytes, error);
    ASSERT_TRUE(pipl) << error;
    EXPECT_EQ(pipl->version, 1);
    ASSERT_EQ(pipl->properties.size(), 12u);
    const auto* entry = pipl->Find("8664");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(host::ZeroTerminatedString(*entry), "EffectMain");
    EXPECT_EQ(host::PascalString(*pipl->Find("eMNA")), "ADBE SDK_Tarsivel");
    EXPECT_EQ(host::U32(*pipl->Find("eGL2")), 0x0A001400u);
}

TEST(PeImage, RejectsFilesThatAreNoWindowsImage) {
    std::string error;
    EXPECT_FALSE(PeImage::Open(TARSIVEL_PLUGIN_PATH, error)) << "an ELF library";
    EXPECT_NE(error.find("MZ"), std::string::npos) << error;
    EXPECT_FALSE(PeImage::Open("/nonexistent/Tarsivel.aex", error));
}

// Cut short anywhere, the image is an error, never a read past the bytes.
TEST(PeImage, TruncatedImageIsAnErrorNotACrash) {
    std::ifstream in(TARSIVEL_WINDOWS_PLUGIN_PATH, std::ios::binary);
    const std::vector<char> whole((std::istreambuf_iterator<char>(in)), {});
    const std::string path = ::testing::TempDir() + "truncated.aex";
    for (std::size_t keep :
         {std::size_t{0x3C}, std::size_t{0x100}, whole.size() / 2, whole.size() - 1}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(whole.data(), std::streamsize(keep));
        std::string error;
        const auto image = PeImage::Open(path, error);
        if (image) {
            try {
                image->Exports();
                image->ImportedDlls();
                image->Resource("PIPL", 16000);
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos);
            }
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tarsivel::testing
