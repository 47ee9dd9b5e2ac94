// The `tarsivel` command as a user runs it: a separate process, its files,
// its exit codes and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <OpenEXR/ImfRgbaFile.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "host/frame_renderer.h"
#include "host/png_io.h"
#include "host/scene_setup.h"
#include "physics/rope_render_data.h"
#include "support/loaded_plugin.h"

namespace tarsivel {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tarsivel_cli_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    CliRun Tarsivel(const std::string& args, const std::string& env = "") {
        const fs::path out = dir / "stdout.txt";
        const fs::path err = dir / "stderr.txt";
        const std::string command =
            env + " " + TARSIVEL_CLI_PATH + " " + args + " >" + out.string() + " 2>" + err.string();
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    }

    std::string Scene(const std::string& name, const std::string& body) {
        const fs::path path = dir / name;
        std::ofstream(path) << body;
        return path.string();
    }

    std::string SmallScene(int frames = 4) {
        return Scene("small.json", R"({"format": "tarsivel-scene/1",
            "layer": {"width": 96, "height": 64},
            "time": {"fps": 30, "frames": )" +
                                       std::to_string(frames) + R"(},
            "masks": [{"name": "Floor", "vertices": [[10, 50], [86, 50], [86, 60], [10, 60]]}],
            "params": {"Point A": [20, 10], "Point B": [{"frame": 0, "value": [76, 10]},
                                                       {"frame": 3, "value": [60, 20]}],
                       "Rope Length": 120, "Segments": 12, "Thickness Start": 5,
                       "Thickness End": 2, "Rope Color": "#40C0FF", "Collision Mask": "Floor"}})");
    }

    fs::path dir;
};

TEST_F(CliTest, RendersEveryDepthToTheSameRope) {
    const std::string scene = SmallScene();
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "d8_##.png").string()).code, 0);
    ASSERT_EQ(Tarsivel("render " + scene + " --depth 16 -o " + (dir / "d16_##.png").string()).code,
              0);
    const CliRun exr =
        Tarsivel("render " + scene + " --depth 32 -e 3 -s 3 -o " + (dir / "d32_##.exr").string());
    ASSERT_EQ(exr.code, 0) << exr.err;
    auto d8 = host::ReadPng((dir / "d8_03.png").string(), host::PixelDepth::k32);
    auto d16 = host::ReadPng((dir / "d16_03.png").string(), host::PixelDepth::k32);
    Imf::RgbaInputFile d32((dir / "d32_03.exr").string().c_str());
    const Imath::Box2i box = d32.dataWindow();
    ASSERT_EQ(box.max.x + 1, 96);
    std::vector<Imf::Rgba> pixels(96 * 64);
    d32.setFrameBuffer(pixels.data(), 1, 96);
    d32.readPixels(box.min.y, box.max.y);
    int drawn = 0;
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 96; ++x) {
            const float a = float(pixels[std::size_t(y * 96 + x)].a);
            drawn += a > 0.5f;
            EXPECT_NEAR(d8->ReadFloat(x, y).alpha, a, 1.0f / 255.0f + 1e-3f);
            EXPECT_NEAR(d16->ReadFloat(x, y).alpha, a, 1e-3f);
        }
    }
    EXPECT_GT(drawn, 100);
}

// A known-good frame, looked at once: the rope resting on its floor mask, with
// node markers, composited over the layer's colour.
TEST_F(CliTest, FrameMatchesTheKnownGoodOne) {
    const std::string scene = Scene("golden.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 96, "height": 64, "background": "#203040"},
        "time": {"fps": 30, "frames": 4},
        "masks": [{"name": "Floor", "vertices": [[10, 50], [86, 50], [86, 60], [10, 60]]}],
        "params": {"Point A": [20, 10], "Point B": [{"frame": 0, "value": [76, 10]},
                                                   {"frame": 3, "value": [60, 20]}],
                   "Rope Length": 120, "Segments": 12, "Thickness Start": 5,
                   "Thickness End": 2, "Rope Color": "#40C0FF", "Collision Mask": "Floor",
                   "Composite On Original": true, "Display Segment Nodes": true}})");
    ASSERT_EQ(Tarsivel("render " + scene + " -s 3 -e 3 -o " + (dir / "f.png").string()).code, 0);
    auto frame = host::ReadPng((dir / "f.png").string(), host::PixelDepth::k8);
    auto golden = host::ReadPng(std::string(TARSIVEL_GOLDEN_DIR) + "/cli_small_0003.png",
                                host::PixelDepth::k8);
    ASSERT_EQ(frame->Width(), golden->Width());
    int differing = 0;
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 96; ++x) {
            const PF_Pixel a = frame->Read8(x, y);
            const PF_Pixel b = golden->Read8(x, y);
            differing += std::memcmp(&a, &b, sizeof a) != 0;
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(CliTest, OpenClFramesMatchTheCpu) {
    const std::string scene = SmallScene();
    const CliRun gpu = Tarsivel("render " + scene + " --renderer opencl -s 2 -e 2 -o " +
                                (dir / "gpu.png").string());
    if (gpu.code == 2 && gpu.err.find("no OpenCL device") != std::string::npos) {
        GTEST_SKIP() << "no OpenCL device here";
    }
    ASSERT_EQ(gpu.code, 0) << gpu.err;
    ASSERT_EQ(Tarsivel("render " + scene + " -s 2 -e 2 -o " + (dir / "cpu.png").string()).code, 0);
    auto a = host::ReadPng((dir / "gpu.png").string(), host::PixelDepth::k8);
    auto b = host::ReadPng((dir / "cpu.png").string(), host::PixelDepth::k8);
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 96; ++x) {
            EXPECT_NEAR(a->Read8(x, y).alpha, b->Read8(x, y).alpha, 2);
            EXPECT_NEAR(a->Read8(x, y).blue, b->Read8(x, y).blue, 2);
        }
    }
}

TEST_F(CliTest, TwoJobsWriteTheSameFilesAsOne) {
    const std::string scene = SmallScene(6);
    ASSERT_EQ(Tarsivel("render " + scene + " -j 1 -o " + (dir / "one_#.png").string()).code, 0);
    const CliRun two = Tarsivel("render " + scene + " -j 2 -o " + (dir / "two_#.png").string() +
                                " --contact-sheet " + (dir / "sheet.png").string());
    ASSERT_EQ(two.code, 0) << two.err;
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(Slurp(dir / ("one_" + std::to_string(f) + ".png")),
                  Slurp(dir / ("two_" + std::to_string(f) + ".png")))
            << "frame " << f;
    }
    EXPECT_TRUE(fs::exists(dir / "sheet.png"));
    EXPECT_NE(two.err.find("6 frames in"), std::string::npos);
}

TEST_F(CliTest, InterruptedRunLeavesNoPartialFile) {
    const std::string scene = SmallScene(3000);
    const std::string command = std::string(TARSIVEL_CLI_PATH) + " render " + scene + " -o " +
                                (dir / "f_####.png").string() + " 2>/dev/null";
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Let it write some frames, then stop it in the middle of its work.
    for (int i = 0; i < 200 && !fs::exists(dir / "f_0020.png"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        if (name.rfind("f_", 0) == 0) {
            ++frames;
            EXPECT_NO_THROW(host::ReadPng(entry.path().string(), host::PixelDepth::k8)) << name;
        }
    }
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 3000);
}

TEST_F(CliTest, DumpMatchesTheRecordOfTheHostDrivenDirectly) {
    const std::string scene = SmallScene();
    const CliRun dump = Tarsivel("dump " + scene + " --frame 3");
    ASSERT_EQ(dump.code, 0) << dump.err;
    const nlohmann::json record = nlohmann::json::parse(dump.out);
    EXPECT_EQ(record["format"], "tarsivel-record/1");
    EXPECT_EQ(record["current_time"], 300);
    EXPECT_EQ(record.begin().key(), "colorA");  // (the library sorts keys; order is checked below)
    EXPECT_LT(dump.out.find("\"points\""), dump.out.find("\"segThickness\""));
    EXPECT_LT(dump.out.find("\"thicknessEnd\""), dump.out.find("\"colorA\""));

    // The same scene set up by hand on a host instance, without the scene code.
    auto library = testing::LoadBuiltPlugin();
    host::EffectInstance instance(library->EntryPoint(), 96, 64);
    ASSERT_EQ(instance.Run(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    instance.Masks().Add(false, {host::CornerVertex(10, 50), host::CornerVertex(86, 50),
                                 host::CornerVertex(86, 60), host::CornerVertex(10, 60)});
    host::ParamStore& p = instance.Params();
    p.SetValue(p.IndexOf("Point A"), host::ParamValue::Point(20, 10));
    p.SetKeyframes(p.IndexOf("Point B"),
                   {{0, host::ParamValue::Point(76, 10)}, {300, host::ParamValue::Point(60, 20)}});
    p.SetValue(p.IndexOf("Rope Length"), host::ParamValue::Scalar(120));
    p.SetValue(p.IndexOf("Segments"), host::ParamValue::Scalar(12));
    p.SetValue(p.IndexOf("Thickness Start"), host::ParamValue::Scalar(5));
    p.SetValue(p.IndexOf("Thickness End"), host::ParamValue::Scalar(2));
    p.SetValue(p.IndexOf("Rope Color"), host::ParamValue::Color(255, 0x40, 0xC0, 0xFF));
    p.SetValue(p.IndexOf("Collision Mask"), host::ParamValue::Scalar(101));
    host::CommandSettings settings;
    settings.currentTime = 300;
    settings.timeStep = 100;
    settings.localTimeStep = 100;
    settings.timeScale = 3000;
    host::PreRenderSession session(instance, settings);
    ASSERT_EQ(session.Run(instance, settings).err, PF_Err_NONE);
    const auto& direct = *static_cast<const RopeRenderData*>(session.Record());
    const std::vector<float> points = record["points"].get<std::vector<float>>();
    ASSERT_EQ(points.size(), direct.points.size());
    EXPECT_EQ(std::memcmp(points.data(), direct.points.data(), points.size() * sizeof(float)), 0);
    EXPECT_EQ(record["nodeThickness"].get<std::vector<float>>(), direct.nodeThickness);
    EXPECT_EQ(record["colorG"].get<float>(), direct.colorG);
}

TEST_F(CliTest, DumpNeverPaintsTheBackgroundThatRenderNeeds) {
    // The image is missing: only a command that draws over the layer may notice.
    const std::string scene = Scene("no_image.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 32, "height": 24, "background": {"image": "missing.png"}},
        "time": {"fps": 30, "frames": 2}})");
    const CliRun dump = Tarsivel("dump " + scene + " --frame 1");
    EXPECT_EQ(dump.code, 0) << dump.err;
    const CliRun render = Tarsivel("render " + scene + " -o " + (dir / "f_#.png").string());
    EXPECT_EQ(render.code, 2);
    EXPECT_NE(render.err.find("missing.png"), std::string::npos) << render.err;
    EXPECT_FALSE(fs::exists(dir / "f_0.png"));
}

TEST_F(CliTest, InfoListsFortyParameters) {
    const CliRun info = Tarsivel("info");
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Parameters (40):"), std::string::npos);
    EXPECT_NE(info.out.find("\"Tear Threshold %\""), std::string::npos);
    EXPECT_NE(info.out.find("'eGL2' length 4: 0x0A001400"), std::string::npos);
}

TEST_F(CliTest, ErrorsSayWhatIsWrongWithTheRightExitCode) {
    const std::string bad = Scene("bad.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 8, "height": 8}, "params": {"Segments": "many"}})");
    const CliRun scene = Tarsivel("render " + bad);
    EXPECT_EQ(scene.code, 2);
    EXPECT_NE(scene.err.find("params.\"Segments\": expected an integer"), std::string::npos);
    EXPECT_EQ(Tarsivel("render").code, 2);
    EXPECT_EQ(Tarsivel("render " + SmallScene() + " -s 3 -e 1").code, 2);
    EXPECT_EQ(Tarsivel("render " + SmallScene() + " -o " + (dir / "x.png").string()).code, 2);
    EXPECT_EQ(Tarsivel("render " + SmallScene() + " --renderer cuda").code, 2);
    EXPECT_EQ(Tarsivel("info --plugin /nonexistent/plugin.so").code, 2);
    EXPECT_EQ(Tarsivel("render --help").code, 0);

    const std::string misbehaving = std::string("--plugin ") + TARSIVEL_MISBEHAVING_PLUGIN;
    const std::string scene1 = Scene("one.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 8, "height": 8}})");
    const CliRun error =
        Tarsivel("render " + scene1 + " " + misbehaving + " -o " + (dir / "e.png").string(),
                 "TARSIVEL_MISBEHAVE=error");
    EXPECT_EQ(error.code, 1);
    EXPECT_NE(error.err.find("error 4: the rope is tangled"), std::string::npos) << error.err;
    const CliRun leak =
        Tarsivel("render " + scene1 + " " + misbehaving + " -o " + (dir / "l.png").string(),
                 "TARSIVEL_MISBEHAVE=leak");
    EXPECT_EQ(leak.code, 3);
    EXPECT_NE(leak.err.find("PF ANSI Suite"), std::string::npos) << leak.err;
    EXPECT_FALSE(fs::exists(dir / "l.png"));
}

TEST_F(CliTest, DemoSceneRendersAtReducedSize) {
    const CliRun demo = Tarsivel(
        std::string("render ") + TARSIVEL_EXAMPLES_DIR + "/demo.json -s 0 -e 2 --downsample 4 -o " +
        (dir / "demo_##.png").string() + " --contact-sheet " + (dir / "sheet.png").string());
    ASSERT_EQ(demo.code, 0) << demo.err;
    auto frame = host::ReadPng((dir / "demo_02.png").string(), host::PixelDepth::k8);
    EXPECT_EQ(frame->Width(), 240);
    EXPECT_EQ(frame->Height(), 135);
    EXPECT_TRUE(fs::exists(dir / "sheet.png"));
}

}  // namespace
}  // namespace tarsivel
