// The same scenes through the Linux build and, under Wine, the Windows build:
// records first, then frames on the CPU at every depth, as PNG files at 8 and
// 16 bits, and through OpenCL.
// Frames whose records agree must agree (bit for bit on the CPU, within
// 2e-3 a channel through OpenCL, where the device compiles the kernel with
// fast math). The C runtimes' sin and cos may differ in the last bit, so from
// the first frame whose records differ on, the differences are reported in
// <scratch>/<scene>/comparison.txt and on stdout, not failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/images/png_io.h"
#include "host/images/raw_frame.h"
#include "host/scenes/scene.h"
#include "windows/wine_process.h"

namespace tarsivel::testing {
namespace {

namespace fs = std::filesystem;

constexpr float kOpenClTolerance = 2e-3f;

struct FrameDifference {
    int channels = 0;        // channels that differ at all
    float largest = 0;       // as 0..1 floats
    int32_t x = -1, y = -1;  // the first pixel that differs
};

FrameDifference Compare(const host::ImageWorld& a, const host::ImageWorld& b) {
    FrameDifference d;
    const auto rowBytes = std::size_t(a.Width() * host::BytesPerPixel(a.Depth()));
    for (int32_t y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.Row(y), b.Row(y), rowBytes) == 0) {
            continue;
        }
        for (int32_t x = 0; x < a.Width(); ++x) {
            const PF_PixelFloat p = a.ReadFloat(x, y);
            const PF_PixelFloat q = b.ReadFloat(x, y);
            for (auto [u, v] : {std::pair{p.alpha, q.alpha}, std::pair{p.red, q.red},
                                std::pair{p.green, q.green}, std::pair{p.blue, q.blue}}) {
                if (std::memcmp(&u, &v, sizeof u) != 0) {
                    ++d.channels;
                    d.largest = std::max(d.largest, std::fabs(u - v));
                    if (d.x < 0) {
                        d.x = x;
                        d.y = y;
                    }
                }
            }
        }
    }
    return d;
}

// How two records differ: per list, the largest difference and where.
std::string DescribeRecordDifference(const std::string& linuxJson, const std::string& windowsJson) {
    const auto a = nlohmann::json::parse(linuxJson);
    const auto b = nlohmann::json::parse(windowsJson);
    std::ostringstream text;
    for (const char* key : {"points", "segThickness", "nodePoints", "nodeThickness"}) {
        const auto& u = a.at(key);
        const auto& v = b.at(key);
        if (u.size() != v.size()) {
            text << " " << key << " has " << u.size() << " values on Linux, " << v.size()
                 << " on Windows;";
            continue;
        }
        double largest = 0;
        std::size_t where = 0;
        // Non-finite values are written as null; they count as an infinite difference.
        auto number = [](const nlohmann::json& j) {
            return j.is_number() ? j.get<double>() : std::nan("");
        };
        for (std::size_t i = 0; i < u.size(); ++i) {
            const double delta = std::isnan(number(u[i])) != std::isnan(number(v[i]))
                                     ? HUGE_VAL
                                     : std::fabs(number(u[i]) - number(v[i]));
            if (delta > largest) {
                largest = delta;
                where = i;
            }
        }
        if (largest > 0) {
            text << " " << key << " up to " << largest << " px (value " << where << ");";
        }
    }
    return text.str();
}

class WindowsMatchesLinux : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        scenePath = fs::path(TARSIVEL_WINDOWS_SCENES_DIR) / (std::string(GetParam()) + ".json");
        frames = host::ReadScene(scenePath.string()).frames;
        scratch = fs::path(TARSIVEL_SCRATCH_DIR) / GetParam();
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        report.open(scratch / "comparison.txt");
    }

    void Report(const std::string& line) {
        report << line << "\n";
        report.flush();
        std::cout << "[ report   ] " << GetParam() << ": " << line << "\n";
    }

    // The first frame whose records differ; `frames` when none does.
    int CompareRecords() {
        for (int f = 0; f < frames; ++f) {
            const std::string args = "dump --frame " + std::to_string(f) + " ";
            const ProcessRun l = RunLinuxTarsivel(args + Quoted(scenePath.string()), scratch / "l");
            const ProcessRun w =
                RunWindowsTarsivel(args + Quoted(WindowsPath(scenePath)), scratch / "w");
            EXPECT_EQ(l.code, 0) << l.err;
            EXPECT_EQ(w.code, 0) << w.err;
            if (l.code != 0 || w.code != 0) {
                return -1;
            }
            if (l.out != w.out) {
                Report("records first differ at frame " + std::to_string(f) + ":" +
                       DescribeRecordDifference(l.out, w.out));
                return f;
            }
        }
        Report("records identical for all " + std::to_string(frames) + " frames");
        return frames;
    }

    // Renders every frame with both builds; false when the Linux build has
    // no such device (then the Windows build is not asked either).
    bool Render(const std::string& label, const std::string& options,
                const std::string& extension = ".raw") {
        const std::string linuxPattern =
            (scratch / ("linux_" + label + "_##" + extension)).string();
        const std::string windowsPattern =
            WindowsPath(scratch / ("windows_" + label + "_##" + extension));
        const ProcessRun l = RunLinuxTarsivel(
            "render " + Quoted(scenePath.string()) + " " + options + " -o " + Quoted(linuxPattern),
            scratch / "l");
        if (l.code == 2 && l.err.find("no OpenCL device") != std::string::npos) {
            return false;
        }
        EXPECT_EQ(l.code, 0) << l.err;
        const ProcessRun w = RunWindowsTarsivel("render " + Quoted(WindowsPath(scenePath)) + " " +
                                                    options + " -o " + Quoted(windowsPattern),
                                                scratch / "w");
        EXPECT_EQ(w.code, 0) << w.err;
        return l.code == 0 && w.code == 0;
    }

    // PNG frames are compared as the Linux build decodes them, at 16 bits a
    // channel, so that the files of both builds are read by one reader.
    void CompareFrames(const std::string& label, int firstRecordDifference, float tolerance,
                       const std::string& extension = ".raw") {
        const auto read = [&](const std::string& build, const char* number) {
            const std::string path =
                (scratch / (build + "_" + label + "_" + number + extension)).string();
            return extension == ".png" ? host::ReadPng(path, host::PixelDepth::k16)
                                       : host::ReadRawFrame(path);
        };
        for (int f = 0; f < frames; ++f) {
            char number[16];
            std::snprintf(number, sizeof number, "%02d", f);
            const auto a = read("linux", number);
            const auto b = read("windows", number);
            ASSERT_EQ(a->Width(), b->Width());
            ASSERT_EQ(a->Height(), b->Height());
            ASSERT_EQ(a->Depth(), b->Depth());
            const FrameDifference d = Compare(*a, *b);
            const std::string where = "frame " + std::to_string(f) + " " + label + ": " +
                                      std::to_string(d.channels) + " channels differ, by up to " +
                                      std::to_string(d.largest) + ", first at (" +
                                      std::to_string(d.x) + ", " + std::to_string(d.y) + ")";
            if (f >= firstRecordDifference) {
                if (d.channels > 0) {
                    Report(where);
                }
            } else if (tolerance == 0) {
                EXPECT_EQ(d.channels, 0) << where;
            } else {
                EXPECT_LE(d.largest, tolerance) << where;
            }
        }
    }

    fs::path scenePath;
    fs::path scratch;
    int frames = 0;
    std::ofstream report;
};

TEST_P(WindowsMatchesLinux, RecordsThenCpuAndOpenClFrames) {
    const int firstRecordDifference = CompareRecords();
    ASSERT_GE(firstRecordDifference, 0);
    for (int depth : {8, 16, 32}) {
        const std::string label = "cpu" + std::to_string(depth);
        SCOPED_TRACE(label);
        ASSERT_TRUE(Render(label, "--depth " + std::to_string(depth)));
        CompareFrames(label, firstRecordDifference, 0);
    }
    // The same frames as PNG files, which each build writes with its own codec.
    for (int depth : {8, 16}) {
        const std::string label = "png" + std::to_string(depth);
        SCOPED_TRACE(label);
        ASSERT_TRUE(Render(label, "--depth " + std::to_string(depth), ".png"));
        CompareFrames(label, firstRecordDifference, 0, ".png");
    }
    SCOPED_TRACE("opencl");
    if (!Render("opencl", "--renderer opencl --depth 32")) {
        ASSERT_FALSE(HasFailure());
        GTEST_SKIP() << "no OpenCL device on this machine";
    }
    CompareFrames("opencl", firstRecordDifference, kOpenClTolerance);
}

// A swinging rope in wind and turbulence with node markers over a colour;
// a rope that tears and whose pieces fall onto a mask.
INSTANTIATE_TEST_SUITE_P(Scenes, WindowsMatchesLinux,
                         ::testing::Values("windy_nodes", "torn_ledge"));

}  // namespace
}  // namespace tarsivel::testing
