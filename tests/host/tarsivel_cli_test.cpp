// The `tarsivel` command as a user runs it: a separate process, its files,
// its exit codes and messages.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfRgbaFile.h>
#include <OpenEXR/ImfStandardAttributes.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "host/images/exr_io.h"
#include "host/images/png_io.h"
#include "host/scenes/frame_renderer.h"
#include "host/scenes/scene_setup.h"
#include "host/tarsivel/contact_sheet.h"
#include "host/tarsivel/progress.h"
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
        return Run(TARSIVEL_CLI_PATH, args, env);
    }
    CliRun Run(const std::string& program, const std::string& args, const std::string& env = "") {
        const fs::path out = dir / "stdout.txt";
        const fs::path err = dir / "stderr.txt";
        const std::string command =
            env + " " + program + " " + args + " >" + out.string() + " 2>" + err.string();
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

// The demo scene is looked for beside the program, wherever it was built or
// copied to, never at a path compiled in.
TEST_F(CliTest, DemoFindsItsSceneBesideTheProgramOrSaysWhereItLooked) {
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    fs::copy_file(TARSIVEL_CLI_PATH, bin / "tarsivel");
    const std::string args =
        "demo --plugin " + (dir / "none.so").string() + " -o " + (dir / "out").string();
    const CliRun missing = Run((bin / "tarsivel").string(), args);
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("the demo scene is missing"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find((bin / "examples" / "demo.json").string()), std::string::npos)
        << missing.err;

    fs::create_directories(bin / "examples");
    for (const char* file : {"demo.json", "demo_background.png"}) {
        fs::copy_file(fs::path(TARSIVEL_EXAMPLES_DIR) / file, bin / "examples" / file);
    }
    // Found: the run goes on to the plug-in, which is missing.
    const CliRun found = Run((bin / "tarsivel").string(), args);
    EXPECT_EQ(found.code, 2);
    EXPECT_EQ(found.err.find("demo scene"), std::string::npos) << found.err;
    EXPECT_NE(found.err.find("none.so"), std::string::npos) << found.err;

    // The build put the scene and its background beside the real program: a
    // frame of it renders from there.
    const fs::path built = fs::path(TARSIVEL_CLI_PATH).parent_path() / "examples" / "demo.json";
    const CliRun frame = Tarsivel("render " + built.string() + " -s 0 -e 0 --downsample 4 -o " +
                                  (dir / "demo_#.png").string());
    EXPECT_EQ(frame.code, 0) << frame.err;
    EXPECT_TRUE(fs::exists(dir / "demo_0.png"));
}

TEST_F(CliTest, CudaSaysWhatIsMissingAndRendersThroughADriver) {
    const std::string scene = SmallScene(2);
    const std::string output = " -o " + (dir / "cuda_#.exr").string();
    if (dlopen("libcuda.so.1", RTLD_NOW | RTLD_NOLOAD) == nullptr &&
        dlopen("libcuda.so.1", RTLD_NOW) == nullptr) {
        const CliRun none = Tarsivel("render " + scene + " --renderer cuda" + output);
        EXPECT_EQ(none.code, 2);
        EXPECT_NE(none.err.find("no CUDA driver on this machine"), std::string::npos) << none.err;
        // The plug-in, asked all the same, declines for the same reason.
        const CliRun info = Tarsivel("info --gpu");
        EXPECT_EQ(info.code, 0);
        EXPECT_NE(info.out.find("  CUDA, device 0 (the host has none: no CUDA driver on this "
                                "machine (libcuda.so.1 cannot be loaded)): declined: no CUDA "
                                "driver on this machine (libcuda.so.1 cannot be loaded)\n"),
                  std::string::npos)
            << info.out;
    }
    const CliRun info =
        Tarsivel("info --gpu", std::string("LD_LIBRARY_PATH=") + TARSIVEL_FAKE_CUDA_DIR);
    EXPECT_NE(info.out.find("  CUDA, Fake GPU: accepted\n"), std::string::npos) << info.out;
    // On the fake driver every frame goes through device set-up, upload,
    // launch and set-down; the fake runs no kernel.
    const CliRun fake = Tarsivel("render " + scene + " --renderer cuda --depth 32" + output,
                                 std::string("LD_LIBRARY_PATH=") + TARSIVEL_FAKE_CUDA_DIR);
    EXPECT_EQ(fake.code, 0) << fake.err;
    EXPECT_TRUE(fs::exists(dir / "cuda_1.exr"));
}

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
    int edges = 0;
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 96; ++x) {
            const Imf::Rgba& p = pixels[std::size_t(y * 96 + x)];
            const float a = float(p.a);
            drawn += a > 0.5f;
            edges += a > 0.1f && a < 0.9f;
            EXPECT_NEAR(d8->ReadFloat(x, y).alpha, a, 1.0f / 255.0f + 1e-3f);
            EXPECT_NEAR(d16->ReadFloat(x, y).alpha, a, 1e-3f);
            // The file's colour is associated with its alpha; the PNG's is straight.
            const PF_PixelFloat straight = d16->ReadFloat(x, y);
            EXPECT_NEAR(float(p.r), straight.red * straight.alpha, 2e-3f) << x << "," << y;
            EXPECT_NEAR(float(p.b), straight.blue * straight.alpha, 2e-3f) << x << "," << y;
        }
    }
    EXPECT_GT(drawn, 100);
    EXPECT_GT(edges, 10);  // half-covered pixels, where straight and associated differ
    // The primaries the values are in, and the scene's 3000 / 100 frames a second.
    ASSERT_TRUE(Imf::hasChromaticities(d32.header()));
    EXPECT_EQ(Imf::chromaticities(d32.header()).white, Imath::V2f(0.3127f, 0.3290f));
    EXPECT_EQ(Imf::chromaticities(d32.header()).red, Imath::V2f(0.64f, 0.33f));
    ASSERT_TRUE(Imf::hasFramesPerSecond(d32.header()));
    EXPECT_EQ(Imf::framesPerSecond(d32.header()).n, 30);
    EXPECT_EQ(Imf::framesPerSecond(d32.header()).d, 1u);
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

// Four frames at once on each renderer; the threaded-test build runs this under
// ThreadSanitizer, whose reports make the command fail.
TEST_F(CliTest, FourJobsOnTheCpuAndOnOpenClWriteTheSameFilesAsOne) {
    const std::string scene = SmallScene(8);
    for (const std::string renderer : {"cpu", "opencl"}) {
        SCOPED_TRACE(renderer);
        const std::string render = "render " + scene + " --renderer " + renderer;
        const CliRun one = Tarsivel(render + " -j 1 -o " + (dir / (renderer + "1_#.png")).string());
        if (one.code == 2 && one.err.find("no OpenCL device") != std::string::npos) {
            GTEST_SKIP() << "no OpenCL device here";
        }
        ASSERT_EQ(one.code, 0) << one.err;
        const CliRun four =
            Tarsivel(render + " -j 4 -o " + (dir / (renderer + "4_#.png")).string());
        ASSERT_EQ(four.code, 0) << four.err;
        for (int f = 0; f < 8; ++f) {
            EXPECT_EQ(Slurp(dir / (renderer + "1_" + std::to_string(f) + ".png")),
                      Slurp(dir / (renderer + "4_" + std::to_string(f) + ".png")))
                << "frame " << f;
        }
    }
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
    // --pretty is the same document, a key a line and a line per piece.
    const CliRun pretty = Tarsivel("dump " + scene + " --frame 3 --pretty");
    ASSERT_EQ(pretty.code, 0) << pretty.err;
    EXPECT_EQ(nlohmann::json::parse(pretty.out), record);
    EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 1);
    std::istringstream lines(pretty.out);
    std::string line;
    while (std::getline(lines, line) && line != "  \"points\": [") {
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;  // four values and a comma
    EXPECT_EQ(pretty.out.find("\"showNodes\""), pretty.out.find("\n  \"showNodes\"") + 3);
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
    const CliRun progress =
        Tarsivel("render " + scene1 + " " + misbehaving + " -o " + (dir / "p.png").string(),
                 "TARSIVEL_MISBEHAVE=progress");
    EXPECT_EQ(progress.code, 3);
    EXPECT_NE(progress.err.find("PF_InteractCallbacks.progress"), std::string::npos)
        << progress.err;

    // A record that is not all numbers: render warns as dump does, naming the frame.
    const CliRun nan =
        Tarsivel("render " + scene1 + " " + misbehaving + " -o " + (dir / "n.png").string(),
                 "TARSIVEL_MISBEHAVE=nan");
    EXPECT_EQ(nan.code, 0) << nan.err;
    EXPECT_NE(nan.err.find("warning: frame 0: 1 value of the record is not finite"),
              std::string::npos)
        << nan.err;
    const CliRun dumped =
        Tarsivel("dump " + scene1 + " " + misbehaving + " --frame 0", "TARSIVEL_MISBEHAVE=nan");
    EXPECT_NE(dumped.err.find("warning: 1 value of the record is not finite; written as null"),
              std::string::npos)
        << dumped.err;
}

bool IsPng(const std::string& bytes) {
    return bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0;
}

// Bits a channel of a PNG file: the IHDR's bit depth.
int PngBits(const std::string& bytes) {
    return bytes.size() > 24 ? int(uint8_t(bytes[24])) : 0;
}

Imf::PixelType ExrAlphaType(const fs::path& path) {
    Imf::RgbaInputFile file(path.string().c_str());
    return file.header().channels().findChannel("A")->type;
}

fs::perms PermsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

// Prefix of a command that runs as a user without privileges: as root, the
// user "nobody"; otherwise the user the tests run as.
std::string Unprivileged() {
    return geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
}

// A folder that Unprivileged() may not write in (nor the user the tests run
// as, when that is not root).
void MakeReadOnlyFolder(const fs::path& folder) {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    if (geteuid() != 0) {
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    }
}

// Links, pipes and devices are written to, never replaced by a plain file.
TEST_F(CliTest, OutputsThatAreNotPlainFilesAreWrittenThrough) {
    const std::string scene = SmallScene(1);
    fs::create_directories(dir / "real");
    fs::create_symlink("real/target.png", dir / "link.png");
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "link.png").string()).code, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_TRUE(IsPng(Slurp(dir / "real/target.png")));
    std::ofstream(dir / "real/target.png") << "old";  // an existing target: replaced, link kept
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "link.png").string()).code, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_TRUE(IsPng(Slurp(dir / "real/target.png")));

    const fs::path pipe = dir / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::string piped;
    std::thread reader([&] { piped = Slurp(pipe); });
    const CliRun throughPipe = Tarsivel("render " + scene + " -o " + pipe.string());
    reader.join();
    EXPECT_EQ(throughPipe.code, 0) << throughPipe.err;
    EXPECT_TRUE(IsPng(piped));
    EXPECT_TRUE(fs::is_fifo(pipe));

    // Devices like /dev/null and /dev/full, made here (root only).
    const fs::path null = dir / "null";
    const fs::path full = dir / "full";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        GTEST_SKIP() << "devices cannot be made here";
    }
    EXPECT_EQ(Tarsivel("render " + scene + " -o " + null.string()).code, 0);
    EXPECT_TRUE(fs::is_character_file(null));
    const CliRun onFull = Tarsivel("render " + scene + " -o " + full.string());
    EXPECT_EQ(onFull.code, 2);
    EXPECT_NE(onFull.err.find("cannot write " + full.string() + ": No space left on device"),
              std::string::npos)
        << onFull.err;
    EXPECT_TRUE(fs::is_character_file(full));
}

TEST_F(CliTest, ExistingFilesKeepTheirModeAndReadOnlyOnesAreKept) {
    const std::string scene = SmallScene(1);
    const fs::path privateFrame = dir / "private.png";
    std::ofstream(privateFrame) << "old";
    fs::permissions(privateFrame, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + privateFrame.string()).code, 0);
    EXPECT_TRUE(IsPng(Slurp(privateFrame)));
    EXPECT_EQ(PermsOf(privateFrame), fs::perms::owner_read | fs::perms::owner_write);

    // Read-only for everyone, root included: refused, untouched.
    const fs::path locked = dir / "locked.png";
    std::ofstream(locked) << "keep";
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const std::string& as : {std::string(), Unprivileged()}) {
        fs::permissions(dir, fs::perms::all);
        const CliRun refused = Tarsivel("render " + scene + " -o " + locked.string(), as);
        EXPECT_EQ(refused.code, 2) << as;
        EXPECT_NE(refused.err.find(locked.string() + ": the file exists and this user may not "
                                                     "write it"),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(Slurp(locked), "keep");
        EXPECT_EQ(PermsOf(locked),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }

    // A folder the user may not write: the user's file name and the reason.
    MakeReadOnlyFolder(dir / "rodir");
    const CliRun denied =
        Tarsivel("render " + scene + " -o " + (dir / "rodir/a_####.png").string(), Unprivileged());
    EXPECT_EQ(denied.code, 2);
    // Refused before the first frame, the folder named.
    EXPECT_NE(denied.err.find("cannot write " + (dir / "rodir/a_0000.png").string() +
                              ": Permission denied: this user may not make files in the folder " +
                              (dir / "rodir").string()),
              std::string::npos)
        << denied.err;
    EXPECT_EQ(denied.err.find("frame 0"), std::string::npos) << denied.err;
    EXPECT_TRUE(fs::is_empty(dir / "rodir"));
}

// Every output is checked before the first frame, not found unwritable after
// the last: the contact sheet, the movie and frames whose folder is yet to be
// made, as a user without privileges and, where the mode says so, as root.
TEST_F(CliTest, EveryOutputIsCheckedBeforeTheFirstFrame) {
    const std::string scene = SmallScene(3);
    fs::permissions(dir, fs::perms::all);
    MakeReadOnlyFolder(dir / "rodir");
    const std::string frames = " -o " + (dir / "f_#.png").string();
    const std::string cases[] = {
        frames + " --contact-sheet " + (dir / "rodir/sheet.png").string(),
        " -o " + (dir / "rodir/movie.mov").string(),
        " -o " + (dir / "rodir/new/deeper/f_#.png").string(),
    };
    for (const std::string& outputs : cases) {
        const CliRun run = Tarsivel("render " + scene + outputs, Unprivileged());
        EXPECT_EQ(run.code, 2) << outputs;
        EXPECT_NE(run.err.find("Permission denied: this user may not make files in the folder " +
                               (dir / "rodir").string()),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("frame 0"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir / "f_0.png")) << outputs;
    }
    EXPECT_TRUE(fs::is_empty(dir / "rodir"));

    // A read-only contact sheet, refused for root too, before any frame.
    const fs::path sheet = dir / "sheet.png";
    std::ofstream(sheet) << "keep";
    fs::permissions(sheet, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const CliRun locked =
        Tarsivel("render " + scene + frames + " --contact-sheet " + sheet.string());
    EXPECT_EQ(locked.code, 2);
    EXPECT_NE(locked.err.find(sheet.string() + ": the file exists and this user may not write it"),
              std::string::npos)
        << locked.err;
    EXPECT_FALSE(fs::exists(dir / "f_0.png"));
    EXPECT_EQ(Slurp(sheet), "keep");
}

// A link to nowhere is written where it points only if that folder exists:
// no folder is made where a link points, while folders along the path the
// user named are made as before.
TEST_F(CliTest, NoFolderIsMadeWhereALinkPoints) {
    const std::string scene = SmallScene(1);
    fs::create_symlink(dir / "nowhere/deeper/target.png", dir / "dangling.png");
    const CliRun dangling = Tarsivel("render " + scene + " -o " + (dir / "dangling.png").string());
    EXPECT_EQ(dangling.code, 2);
    EXPECT_NE(dangling.err.find("cannot write " + (dir / "dangling.png").string() +
                                ": it is a symbolic link to " +
                                (dir / "nowhere/deeper/target.png").string() + ", whose folder " +
                                (dir / "nowhere/deeper").string() + " does not exist"),
              std::string::npos)
        << dangling.err;
    fs::create_directory_symlink(dir / "gone", dir / "away");
    const CliRun folder = Tarsivel("render " + scene + " -o " + (dir / "away/sub/f.png").string() +
                                   " --contact-sheet " + (dir / "sheet.png").string());
    EXPECT_EQ(folder.code, 2);
    EXPECT_NE(folder.err.find((dir / "away").string() + " is a symbolic link to a folder that "
                                                        "does not exist"),
              std::string::npos)
        << folder.err;
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_FALSE(fs::exists(dir / "gone"));
    EXPECT_FALSE(fs::exists(dir / "sheet.png"));

    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "made/here/f.png").string()).code, 0);
    EXPECT_TRUE(IsPng(Slurp(dir / "made/here/f.png")));
    fs::create_directories(dir / "nowhere/deeper");
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "dangling.png").string()).code, 0);
    EXPECT_TRUE(IsPng(Slurp(dir / "nowhere/deeper/target.png")));
}

// An output that is an input or another output, by name, through a link or
// through a linked folder, is refused before any frame, naming both.
TEST_F(CliTest, OutputsThatWouldOverwriteAnInputOrEachOtherAreRefused) {
    host::ImageWorld grey(96, 64, host::PixelDepth::k8);
    grey.Fill({1.0f, 0.5f, 0.5f, 0.5f});
    host::WritePng(grey, (dir / "bg.png").string(), 8);
    const std::string original = Slurp(dir / "bg.png");
    const std::string scene = Scene("shot.raw", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 96, "height": 64, "background": {"image": "bg.png"}},
        "time": {"frames": 3}})");
    fs::create_symlink("bg.png", dir / "bg_link.png");
    fs::create_directory_symlink(dir, dir / "alias");
    const std::string frames = " -o " + (dir / "cs_#.png").string();
    const std::string bg = (dir / "bg.png").string();
    const struct {
        std::string outputs;
        std::string message;
    } cases[] = {
        {" -s 0 -e 0 -o " + bg,
         bg + " (frame 0 of -o " + bg + ") and " + bg +
             " (the scene's background image, layer.background.image) are the same file; the "
             "render would overwrite what it reads"},
        {frames + " --contact-sheet " + (dir / "bg_link.png").string(),
         (dir / "bg_link.png").string() + " (the contact sheet, --contact-sheet) and " + bg},
        {" -s 1 -e 1 -o " + (dir / "alias/bg.png").string(), "(the scene's background image"},
        {" -s 0 -e 0 -o " + scene, scene + " (frame 0 of -o " + scene + ") and " + scene +
                                       " (the scene file) are the same file"},
        {frames + " --contact-sheet " + (dir / "cs_1.png").string(),
         (dir / "cs_1.png").string() + " (the contact sheet, --contact-sheet) and " +
             (dir / "cs_1.png").string() + " (frame 1 of -o " + (dir / "cs_#.png").string() +
             ") are the same file; one output would overwrite the other"},
        {frames + " --contact-sheet " + (dir / "alias/cs_2.png").string(),
         "(frame 2 of -o " + (dir / "cs_#.png").string() + ") are the same file"},
    };
    for (const auto& c : cases) {
        const CliRun run = Tarsivel("render " + scene + c.outputs);
        EXPECT_EQ(run.code, 2) << c.outputs;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Slurp(dir / "bg.png"), original);
    EXPECT_TRUE(fs::is_symlink(dir / "bg_link.png"));
    EXPECT_FALSE(fs::exists(dir / "cs_0.png"));

    // Devices and pipes are written through, not replaced: they may be named twice.
    const CliRun null =
        Tarsivel("render " + scene + " -o /dev/null --contact-sheet /dev/null -s 0 -e 0");
    EXPECT_EQ(null.code, 0) << null.err;
}

// An empty path (an unset variable in a script) means no default and no
// folder: refused for every command and option before anything is written.
TEST_F(CliTest, EmptyPathsAreUsageErrors) {
    const std::string scene = SmallScene(1);
    const std::string cases[] = {
        "render ''",
        "render " + scene + " -o ''",
        "render " + scene + " --contact-sheet ''",
        "render " + scene + " --plugin ''",
        "dump '' --frame 0",
        "dump " + scene + " --frame 0 --plugin ''",
        "info --plugin ''",
        "demo -o ''",
        "demo --output-folder '' --plugin " + std::string(TARSIVEL_PLUGIN_PATH),
    };
    for (const std::string& args : cases) {
        // Run from an empty folder, where a default output would land.
        fs::create_directories(dir / "cwd");
        const CliRun run = Tarsivel(args, "cd " + (dir / "cwd").string() + " &&");
        EXPECT_EQ(run.code, 2) << args;
        EXPECT_NE(run.err.find(": an empty path names no file; give a path"), std::string::npos)
            << args << ": " << run.err;
        EXPECT_TRUE(fs::is_empty(dir / "cwd")) << args;
    }
}

// Inputs that would fill memory are refused before they do, with advice that
// fits the command.
TEST_F(CliTest, OversizedInputsAreRefusedBeforeTheyFillMemory) {
    for (const std::string command : {"render /dev/zero", "dump /dev/zero --frame 0"}) {
        const CliRun run = Tarsivel(command);
        EXPECT_EQ(run.code, 2) << command;
        EXPECT_NE(run.err.find("/dev/zero: the scene file is larger than 256 MiB, the most a "
                               "scene file may hold"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("-j 1"), std::string::npos) << run.err;
    }
    // A background of another size than the layer is refused by its header.
    host::ImageWorld wide(16, 8, host::PixelDepth::k8);
    host::WritePng(wide, (dir / "wide.png").string(), 8);
    const std::string scene = Scene("wide.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 8, "height": 8, "background": {"image": "wide.png"}}})");
    const CliRun run = Tarsivel("render " + scene + " -o " + (dir / "f.png").string());
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(scene + ": layer.background.image: " + (dir / "wide.png").string() +
                           " is 16 × 8, the layer is 8 × 8"),
              std::string::npos)
        << run.err;
}

TEST_F(CliTest, SkipExistingRendersOnlyTheMissingFrames) {
    const std::string scene = SmallScene(4);
    const std::string pattern = (dir / "f_#.png").string();
    std::ofstream(dir / "f_1.png") << "farmed elsewhere";
    const CliRun skipping = Tarsivel("render " + scene + " --skip-existing -o " + pattern);
    ASSERT_EQ(skipping.code, 0) << skipping.err;
    EXPECT_EQ(Slurp(dir / "f_1.png"), "farmed elsewhere");
    for (const char* name : {"f_0.png", "f_2.png", "f_3.png"}) {
        EXPECT_TRUE(IsPng(Slurp(dir / name))) << name;
    }
    EXPECT_NE(skipping.err.find("3 frames in"), std::string::npos) << skipping.err;
    EXPECT_NE(skipping.err.find("skipped 1 frame whose file exists"), std::string::npos)
        << skipping.err;
    ASSERT_EQ(Tarsivel("render " + scene + " -s 1 -e 1 -o " + pattern).code, 0);
    EXPECT_TRUE(IsPng(Slurp(dir / "f_1.png")));  // replaced without the option
    EXPECT_NE(Tarsivel("render --help").out.find("replaced"), std::string::npos);
}

TEST_F(CliTest, TheExtensionDecidesTheFormat) {
    const std::string scene = SmallScene(1);
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "a.exr").string()).code, 0);
    EXPECT_EQ(ExrAlphaType(dir / "a.exr"), Imf::HALF);
    ASSERT_EQ(Tarsivel("render " + scene + " --depth 32 -o " + (dir / "b.EXR").string()).code, 0);
    EXPECT_EQ(ExrAlphaType(dir / "b.EXR"), Imf::FLOAT);
    const CliRun png32 = Tarsivel("render " + scene + " --depth 32 -o " + (dir / "c.png").string());
    ASSERT_EQ(png32.code, 0);
    EXPECT_EQ(PngBits(Slurp(dir / "c.png")), 16);
    EXPECT_NE(png32.err.find("32-bit frames are written as 16-bit PNG"), std::string::npos);
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "d.png").string()).code, 0);
    EXPECT_EQ(PngBits(Slurp(dir / "d.png")), 8);
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "e.raw").string()).code, 0);
    EXPECT_EQ(Slurp(dir / "e.raw").substr(0, 4), "TRAW");

    const CliRun jpg = Tarsivel("render " + scene + " -o " + (dir / "f.jpg").string());
    EXPECT_EQ(jpg.code, 2);
    EXPECT_NE(jpg.err.find("f.jpg: the extension decides the format: .png, .exr or .raw"),
              std::string::npos)
        << jpg.err;
    EXPECT_EQ(Tarsivel("render " + scene + " -o " + (dir / "g.png").string() + " --contact-sheet " +
                       (dir / "sheet.jpg").string())
                  .code,
              2);
    const CliRun twoRuns = Tarsivel("render " + scene + " -o " + (dir / "h_##_##.png").string());
    EXPECT_EQ(twoRuns.code, 2);
    EXPECT_NE(twoRuns.err.find("more than one run of #"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "f.jpg"));
    EXPECT_FALSE(fs::exists(dir / "g.png"));
}

TEST_F(CliTest, FileErrorsNameTheFileAndTheReason) {
    const CliRun folder = Tarsivel("render " + dir.string());
    EXPECT_EQ(folder.code, 2);
    EXPECT_NE(folder.err.find(dir.string() + ": is a folder, not a scene file"), std::string::npos);
    const CliRun missing = Tarsivel("render " + (dir / "nowhere.json").string());
    EXPECT_NE(missing.err.find("nowhere.json: cannot open the scene file: No such file"),
              std::string::npos);
    fs::create_directories(dir / "bg");
    for (const std::string image : {"bg", "missing.png"}) {
        const std::string scene = Scene("bg.json", R"({"format": "tarsivel-scene/1",
            "layer": {"width": 8, "height": 8, "background": {"image": ")" +
                                                       image + R"("}}})");
        const CliRun background = Tarsivel("render " + scene + " -o " + (dir / "x.png").string());
        EXPECT_EQ(background.code, 2);
        EXPECT_NE(background.err.find("layer.background.image: cannot open " +
                                      (dir / image).string() + ": "),
                  std::string::npos)
            << background.err;
    }
    EXPECT_NE(Tarsivel("render " + Scene("deep.json", std::string(200000, '[')))
                  .err.find("nested more than 64 levels"),
              std::string::npos);
}

// Memory runs out inside a frame: the frame, the estimate and what to try.
TEST_F(CliTest, OutOfMemoryNamesTheFrameAndWhatToTry) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot start under a memory limit";
#endif
    const std::string scene = Scene("huge.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 8192, "height": 8192}, "render": {"depth": 32}, "time": {"frames": 2}})");
    const CliRun run = Tarsivel("render " + scene + " -j 2 -o " + (dir / "h_#.raw").string(),
                                "ulimit -v 2500000;");
    EXPECT_NE(run.code, 0);
    EXPECT_NE(run.err.find(": out of memory (a frame needs about"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("try -j 1, --downsample 2 or a lower --depth"), std::string::npos);
    EXPECT_NE(run.err.find("failed: frame"), std::string::npos) << run.err;
}

// On a terminal a status line follows the frames in flight; elsewhere one
// line a frame, with no terminal controls in logs.
TEST_F(CliTest, StatusLineOnATerminalOnlyAndOneLineAFrameElsewhere) {
    const std::string scene = SmallScene(4);
    const std::string render =
        std::string(TARSIVEL_CLI_PATH) + " render " + scene + " -o " + (dir / "t_#.png").string();
    const std::string terminal = (dir / "terminal.txt").string();
    ASSERT_EQ(std::system(("script -qec '" + render + "' /dev/null >" + terminal).c_str()), 0);
    const std::string shown = Slurp(terminal);
    EXPECT_NE(shown.find("\r\033[K[#"), std::string::npos) << shown;
    EXPECT_NE(shown.find("] 0/4  frame 0: 0 s"), std::string::npos) << shown;
    EXPECT_NE(shown.find("] 1/4  frame 1: 0 s  about 0 s left"), std::string::npos) << shown;
    EXPECT_NE(shown.find("] 4/4"), std::string::npos) << shown;
    EXPECT_NE(shown.find("4 frames in"), std::string::npos) << shown;

    const CliRun logged = Tarsivel("render " + scene + " -o " + (dir / "l_#.png").string());
    ASSERT_EQ(logged.code, 0);
    EXPECT_EQ(logged.err.find('\r'), std::string::npos);
    EXPECT_EQ(logged.err.find('\033'), std::string::npos);
    for (int f = 0; f < 4; ++f) {
        EXPECT_NE(logged.err.find("frame " + std::to_string(f) + " (" + std::to_string(f + 1) +
                                  "/4): pre-render "),
                  std::string::npos)
            << logged.err;
    }
}

class MovieTest : public CliTest {
  protected:
    // Range, matrix, transfer and primaries, in ffprobe's order.
    static constexpr const char* kColourTags =
        "color_range,color_space,color_transfer,color_primaries";
    // 95 × 63 pixels, 24 frames a second: odd sizes for the H.264 padding.
    std::string OddScene() {
        return Scene("odd.json", R"({"format": "tarsivel-scene/1",
            "layer": {"width": 95, "height": 63},
            "time": {"fps": 24, "frames": 10},
            "masks": [{"name": "Floor", "vertices": [[10, 50], [86, 50], [86, 60], [10, 60]]}],
            "params": {"Point A": [20, 10], "Point B": [{"frame": 0, "value": [76, 10]},
                                                       {"frame": 3, "value": [60, 20]}],
                       "Rope Length": 120, "Segments": 12, "Thickness Start": 5,
                       "Thickness End": 2, "Rope Color": "#40C0FF", "Collision Mask": "Floor"}})");
    }
    // The movie decoded again by ffmpeg into raw pixels of `format`.
    std::string Decode(const fs::path& movie, const std::string& format) {
        const fs::path raw = dir / (movie.filename().string() + ".raw");
        const std::string command = "ffmpeg -v error -y -i " + movie.string() +
                                    " -f rawvideo -pix_fmt " + format + " " + raw.string();
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return Slurp(raw);
    }
    // Calls check(pixel, index) for every pixel of the frames f_0.png … of a
    // movie of `width` × `height`: index counts pixels through the movie,
    // and pixels past a frame's own size (padding) are transparent black.
    template <class Check>
    void ForEachPixel(int frames, int32_t width, int32_t height, Check check) {
        for (int f = 0; f < frames; ++f) {
            auto png = host::ReadPng((dir / ("f_" + std::to_string(f) + ".png")).string(),
                                     host::PixelDepth::k8);
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    const bool inside = x < png->Width() && y < png->Height();
                    check(inside ? png->Read8(x, y) : PF_Pixel{0, 0, 0, 0},
                          std::size_t((f * height + y) * width + x));
                }
            }
        }
    }
    // Starts a long movie render, stops it with `signal` once ffmpeg writes.
    void InterruptMovie(int signal);
    std::string Probe(const fs::path& movie, const std::string& entry) {
        const fs::path out = dir / "probe.txt";
        std::system(("ffprobe -v error -select_streams v:0 -show_entries stream=" + entry +
                     " -of csv=p=0 " + movie.string() + " >" + out.string())
                        .c_str());
        std::string text = Slurp(out);
        while (!text.empty() && (text.back() == '\n' || text.back() == ',')) {
            text.pop_back();
        }
        return text;
    }
};

TEST_F(MovieTest, ProResWithAlphaHoldsTheFramesInOrder) {
    const std::string scene = OddScene();
    ASSERT_EQ(Tarsivel("render " + scene + " -o " + (dir / "f_#.png").string()).code, 0);
    const CliRun run = Tarsivel("render " + scene + " -j 3 -o " + (dir / "rope.mov").string());
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Probe(dir / "rope.mov", "codec_name,profile,width,height,r_frame_rate,nb_frames"),
              "prores,4444,95,63,24/1,10");
    EXPECT_EQ(Probe(dir / "rope.mov", kColourTags), "tv,bt709,iec61966-2-1,bt709");
    const std::string decoded = Decode(dir / "rope.mov", "rgba64le");
    ASSERT_EQ(decoded.size(), std::size_t(10 * 95 * 63 * 8));
    double sum = 0;
    double worst = 0;
    ForEachPixel(10, 95, 63, [&](const PF_Pixel& p, std::size_t index) {
        const int expected[4] = {p.red, p.green, p.blue, p.alpha};
        for (std::size_t c = 0; c < 4; ++c) {
            const std::size_t at = index * 8 + 2 * c;
            const int v = uint8_t(decoded[at]) | uint8_t(decoded[at + 1]) << 8;
            const double error = std::abs(v / 65535.0 - expected[c] / 255.0);
            sum += error;
            worst = std::max(worst, error);
        }
    });
    EXPECT_LE(sum / (10.0 * 95 * 63 * 4), 1.0 / 255);
    EXPECT_LE(worst, 8.0 / 255);
}

// Chroma subsampling blurs the colour of thin lines, so the preview is
// measured on the demo's frames, at a quarter size (240 × 135, an odd height).
TEST_F(MovieTest, H264PreviewIsCompositedOverBlackAndPaddedToEvenSizes) {
    const std::string demo =
        std::string(TARSIVEL_EXAMPLES_DIR) + "/demo.json -s 0 -e 5 --downsample 4 -j 2 -o ";
    ASSERT_EQ(Tarsivel("render " + demo + (dir / "f_#.png").string()).code, 0);
    const CliRun run = Tarsivel("render " + demo + (dir / "demo.mp4").string());
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Probe(dir / "demo.mp4", "codec_name,width,height,r_frame_rate,nb_frames"),
              "h264,240,136,30/1,6");
    EXPECT_EQ(Probe(dir / "demo.mp4", kColourTags), "tv,bt709,iec61966-2-1,bt709");
    const std::string decoded = Decode(dir / "demo.mp4", "rgb24");
    ASSERT_EQ(decoded.size(), std::size_t(6 * 240 * 136 * 3));
    double squares = 0;
    ForEachPixel(6, 240, 136, [&](const PF_Pixel& p, std::size_t index) {
        const int expected[3] = {p.red * p.alpha / 255, p.green * p.alpha / 255,
                                 p.blue * p.alpha / 255};
        for (std::size_t c = 0; c < 3; ++c) {
            const double d = uint8_t(decoded[index * 3 + c]) - expected[c];
            squares += d * d;
        }
    });
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (6.0 * 240 * 136 * 3)));
    EXPECT_GE(psnr, 35.0);
}

TEST_F(MovieTest, AMissingOrFailingFfmpegIsNamedAndLeavesNoMovie) {
    const std::string scene = OddScene();
    fs::create_directories(dir / "empty");
    const CliRun missing = Tarsivel("render " + scene + " -o " + (dir / "a.mov").string(),
                                    "PATH=" + (dir / "empty").string());
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("needs ffmpeg, which is not on PATH"), std::string::npos)
        << missing.err;

    fs::create_directories(dir / "broken");
    std::ofstream(dir / "broken/ffmpeg") << "#!/bin/sh\necho 'Unknown encoder boom' >&2\nexit 1\n";
    fs::permissions(dir / "broken/ffmpeg", fs::perms::owner_all);
    const CliRun broken = Tarsivel("render " + scene + " -o " + (dir / "b.mp4").string(),
                                   "PATH=" + (dir / "broken").string() + ":/usr/bin:/bin");
    EXPECT_EQ(broken.code, 2);
    EXPECT_NE(broken.err.find("ffmpeg"), std::string::npos) << broken.err;
    EXPECT_NE(broken.err.find("Unknown encoder boom"), std::string::npos) << broken.err;

    const CliRun numbered = Tarsivel("render " + scene + " -o " + (dir / "c_##.mov").string());
    EXPECT_EQ(numbered.code, 2);
    EXPECT_NE(numbered.err.find("a movie is one file"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find(".mov") == std::string::npos &&
                    name.find(".mp4") == std::string::npos)
            << name;
    }
}

// ffmpeg's exit status is not trusted: a movie replaces the old one only once
// it opens with every frame at its size.
TEST_F(MovieTest, AMovieThatIsNotWholeNeverReplacesTheOldOne) {
    const std::string scene = OddScene();
    const fs::path movie = dir / "rope.mp4";
    std::ofstream(movie) << "the good movie";
    std::string ffmpeg = Run("command -v", "ffmpeg").out;
    ffmpeg.erase(ffmpeg.find_last_not_of('\n') + 1);
    ASSERT_FALSE(ffmpeg.empty());
    // A complete movie of 3 frames where 10 are rendered.
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=s=96x64:r=24 -frames:v 3 " +
                           (dir / "three.mp4").string())
                              .c_str()),
              0);
    struct StandIn {
        const char* why;
        std::string script;
        const char* said;  // what ffmpeg's last message was
    };
    const StandIn standIns[] = {
        {"it is empty", "cat >/dev/null\nexit 0\n", ""},
        // As on a full disk: the index at the end is never written, yet the exit status is 0.
        {"ffprobe cannot read it",
         "for last; do :; done\n" + ffmpeg +
             " \"$@\" || exit\ntruncate -s $(($(stat -c %s \"$last\") / 2)) \"$last\"\n"
             "echo 'Error writing trailer' >&2\nexit 0\n",
         "Error writing trailer"},
        {"it holds 3 of the 10 frames",
         "for last; do :; done\ncat >/dev/null\ncp " + (dir / "three.mp4").string() +
             " \"$last\"\n",
         ""},
    };
    fs::create_directories(dir / "stand-in");
    for (const StandIn& standIn : standIns) {
        std::ofstream(dir / "stand-in/ffmpeg") << "#!/bin/sh\n" << standIn.script;
        fs::permissions(dir / "stand-in/ffmpeg", fs::perms::owner_all);
        const CliRun run = Tarsivel("render " + scene + " -o " + movie.string(),
                                    "PATH=" + (dir / "stand-in").string() + ":/usr/bin:/bin");
        EXPECT_EQ(run.code, 2) << standIn.why;
        EXPECT_NE(run.err.find("the movie is not whole: " + std::string(standIn.why)),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("the existing " + movie.string() + " is kept"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(standIn.said), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(movie), "the good movie") << standIn.why;
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << entry.path();
        }
    }
    // Where there was no movie, none is left.
    const CliRun fresh = Tarsivel("render " + scene + " -o " + (dir / "new.mp4").string(),
                                  "PATH=" + (dir / "stand-in").string() + ":/usr/bin:/bin");
    EXPECT_EQ(fresh.code, 2);
    EXPECT_NE(fresh.err.find("no movie was written"), std::string::npos) << fresh.err;
    EXPECT_FALSE(fs::exists(dir / "new.mp4"));

    // Without ffprobe nothing could be checked, so nothing is rendered.
    fs::create_directories(dir / "ffmpeg-only");
    fs::create_symlink(ffmpeg, dir / "ffmpeg-only/ffmpeg");
    const CliRun noProbe = Tarsivel("render " + scene + " -o " + movie.string(),
                                    "PATH=" + (dir / "ffmpeg-only").string());
    EXPECT_EQ(noProbe.code, 2);
    EXPECT_NE(noProbe.err.find("needs ffprobe, which is not on PATH"), std::string::npos)
        << noProbe.err;
    EXPECT_EQ(Slurp(movie), "the good movie");
}

TEST_F(MovieTest, CrfSetsThePreviewsQualityWithinItsRange) {
    const std::string scene = OddScene();
    const std::string out = " -o " + (dir / "q.mp4").string();
    ASSERT_EQ(Tarsivel("render " + scene + " --crf 0" + out).code, 0);
    const auto lossless = fs::file_size(dir / "q.mp4");
    ASSERT_EQ(Tarsivel("render " + scene + " --crf 40" + out).code, 0);
    EXPECT_LT(fs::file_size(dir / "q.mp4") * 2, lossless);
    for (const char* bad : {"-1", "52", "high"}) {
        const CliRun run = Tarsivel("render " + scene + " --crf " + bad + out);
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.err.find("--crf"), std::string::npos) << run.err;
    }
    const CliRun frames =
        Tarsivel("render " + scene + " --crf 20 -o " + (dir / "f_#.png").string());
    EXPECT_EQ(frames.code, 2);
    EXPECT_NE(frames.err.find("--crf sets the quality of a .mp4 movie"), std::string::npos)
        << frames.err;
    EXPECT_FALSE(fs::exists(dir / "f_0.png"));
    EXPECT_NE(Tarsivel("render --help").out.find("--crf"), std::string::npos);
}

// Each way a user or a closing terminal stops a run: SIGINT, SIGTERM, SIGHUP
// and SIGQUIT.
TEST_F(MovieTest, InterruptedMovieLeavesNothing) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(signal);
        InterruptMovie(signal);
    }
}

void MovieTest::InterruptMovie(int signal) {
    const std::string scene = SmallScene(3000);
    const fs::path movie = dir / "long.mov";
    const pid_t child = fork();
    if (child == 0) {
        const std::string command = std::string("exec ") + TARSIVEL_CLI_PATH + " render " + scene +
                                    " -o " + movie.string() + " 2>" + (dir / "err.txt").string();
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until ffmpeg has written some of the movie, then stop the render.
    bool started = false;
    for (int i = 0; i < 200 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& entry : fs::directory_iterator(dir)) {
            started =
                started || (entry.path().filename().string().find(".tmp") != std::string::npos &&
                            fs::file_size(entry.path()) > 0);
        }
    }
    EXPECT_TRUE(started);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find("long"), std::string::npos) << name;
    }
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

// Plates: backgrounds that change with the frame, made here from ffmpeg's test
// source and checked against the still-background path frame by frame.
class PlateTest : public CliTest {
  protected:
    void Ffmpeg(const std::string& args) {
        const fs::path log = dir / "ffmpeg.txt";
        const std::string command = "ffmpeg -v error -y " + args + " 2>" + log.string();
        ASSERT_EQ(std::system(command.c_str()), 0) << command << "\n" << Slurp(log);
    }
    // 96 × 64, the rope composited over the background.
    std::string PlateScene(const std::string& name, const std::string& background, int frames = 5,
                           const std::string& fps = "30") {
        return Scene(name, R"({"format": "tarsivel-scene/1",
            "layer": {"width": 96, "height": 64, "background": )" +
                               background + R"(},
            "time": {"fps": )" +
                               fps + R"(, "frames": )" + std::to_string(frames) + R"(},
            "params": {"Point A": [20, 10], "Point B": [{"frame": 0, "value": [76, 10]},
                                                       {"frame": 4, "value": [60, 30]}],
                       "Rope Length": 120, "Segments": 12, "Thickness Start": 6,
                       "Rope Color": "#FF8040", "Composite On Original": true}})");
    }
    // Renders `scene`; the frames' files as written.
    std::vector<std::string> Frames(const std::string& scene, const std::string& args,
                                    const std::string& stem, int first, int last,
                                    const std::string& extension = ".png") {
        const CliRun run =
            Tarsivel("render " + scene + " " + args + " -s " + std::to_string(first) + " -e " +
                     std::to_string(last) + " -o " + (dir / (stem + "_#" + extension)).string());
        EXPECT_EQ(run.code, 0) << run.err;
        std::vector<std::string> frames;
        for (int f = first; f <= last; ++f) {
            frames.push_back(Slurp(dir / (stem + "_" + std::to_string(f) + extension)));
            EXPECT_FALSE(frames.back().empty()) << stem << " frame " << f;
        }
        return frames;
    }
    // Frame f rendered over the still image `file`, the path every plate is compared with.
    std::string StillFrame(const std::string& file, int f, const std::string& args = "",
                           const std::string& extension = ".png") {
        const std::string scene = PlateScene("still.json", R"({"image": ")" + file + R"("})");
        return Frames(scene, args, "still", f, f, extension)[0];
    }
    // p_1001.png … from ffmpeg's test source: a picture that changes every frame.
    void MakeSequence(int count, const std::string& pixelFormat = "rgba") {
        Ffmpeg("-f lavfi -i testsrc=size=96x64:rate=30 -frames:v " + std::to_string(count) +
               " -vf format=" + pixelFormat + " -start_number 1001 " +
               (dir / "p_%04d.png").string());
    }
};

TEST_F(PlateTest, ASequenceOfOneStillGivesExactlyTheStillBackgroundsFrames) {
    // Half-transparent, so that straight alpha is carried through as well.
    Ffmpeg("-f lavfi -i testsrc=size=96x64 -frames:v 1 -vf format=rgba,colorchannelmixer=aa=0.5 " +
           (dir / "still.png").string());
    auto opaque = host::ReadPng((dir / "still.png").string(), host::PixelDepth::k32);
    for (int32_t y = 0; y < opaque->Height(); ++y) {
        for (int32_t x = 0; x < opaque->Width(); ++x) {
            PF_PixelFloat p = opaque->ReadFloat(x, y);
            p.alpha = 1.0f;
            opaque->WriteFloat(x, y, p);
        }
    }
    host::WritePng(*opaque, (dir / "opaque.png").string(), 16);
    for (int n = 7; n <= 11; ++n) {
        fs::copy_file(dir / "still.png", dir / ("s_" + std::to_string(n) + ".png"));
        host::WriteExr(*opaque, (dir / ("e_" + std::to_string(n) + ".exr")).string());
    }
    const std::string still = PlateScene("still.json", R"({"image": "still.png"})");
    const std::string sequence = PlateScene("seq.json", R"({"sequence": "s_#.png", "offset": 7})");
    EXPECT_EQ(Frames(sequence, "-j 2", "seq", 0, 4), Frames(still, "-j 2", "still", 0, 4));
    EXPECT_EQ(Frames(sequence, "--depth 16 --downsample 2", "seq", 0, 4),
              Frames(still, "--depth 16 --downsample 2", "still", 0, 4));
    const std::string exr = PlateScene("exr.json", R"({"sequence": "e_#.exr", "offset": 7})");
    const std::string opaqueStill = PlateScene("opaque.json", R"({"image": "opaque.png"})");
    EXPECT_EQ(Frames(exr, "--depth 32", "exr", 0, 4, ".exr"),
              Frames(opaqueStill, "--depth 32", "still", 0, 4, ".exr"));
}

TEST_F(PlateTest, EachFrameShowsItsOwnFileAndAMissingOneIsNamedOrHeld) {
    MakeSequence(5);
    ASSERT_NE(Slurp(dir / "p_1001.png"), Slurp(dir / "p_1002.png"));
    const std::string scene =
        PlateScene("seq.json", R"({"sequence": "p_####.png", "offset": 1001})");
    const std::vector<std::string> frames = Frames(scene, "-j 3", "seq", 0, 4);
    for (int f = 0; f < 5; ++f) {
        EXPECT_EQ(frames[f], StillFrame("p_" + std::to_string(1001 + f) + ".png", f)) << f;
    }

    fs::remove(dir / "p_1003.png");
    const CliRun missing = Tarsivel("render " + scene + " -o " + (dir / "m_#.png").string());
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("frame 2: " + scene + ": layer.background.sequence: frame 2 shows " +
                               (dir / "p_1003.png").string() + ", which does not exist"),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(fs::exists(dir / "m_2.png"));

    const std::string hold =
        PlateScene("hold.json", R"({"sequence": "p_####.png", "offset": 1001, "missing": "hold"})");
    EXPECT_EQ(Frames(hold, "", "hold", 2, 3),
              (std::vector<std::string>{StillFrame("p_1002.png", 2), frames[3]}));
}

TEST_F(PlateTest, AMoviesFrameNIsFrameNOfTheSceneWhateverItsRate) {
    MakeSequence(40);
    const std::string sequence =
        PlateScene("seq.json", R"({"sequence": "p_####.png", "offset": 1001})", 40);
    const std::vector<std::string> expected = Frames(sequence, "", "seq", 0, 5);
    // Lossless, at 24 frames a second under a scene of 30.
    Ffmpeg("-framerate 24 -start_number 1001 -i " + (dir / "p_%04d.png").string() + " -c:v png " +
           (dir / "plate.mov").string());
    const std::string movie = PlateScene("movie.json", R"({"movie": "plate.mov"})", 40);
    const CliRun run =
        Tarsivel("render " + movie + " -e 5 -j 3 -o " + (dir / "mov_#.png").string());
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("warning: " + movie +
                           ": layer.background.movie: " + (dir / "plate.mov").string() +
                           " runs at 24 frames a second, the scene at 30"),
              std::string::npos)
        << run.err;
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(Slurp(dir / ("mov_" + std::to_string(f) + ".png")), expected[f]) << f;
    }
    // Starting late enough that ffmpeg is told to skip the frames before.
    EXPECT_EQ(Frames(movie, "-j 2", "late", 36, 39), Frames(sequence, "", "seq", 36, 39));

    // 16 bits a sample stay 16 bits.
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind("p_", 0) == 0) {
            fs::remove(entry.path());
        }
    }
    MakeSequence(6, "rgba64be");
    Ffmpeg("-framerate 30 -start_number 1001 -i " + (dir / "p_%04d.png").string() + " -c:v png " +
           (dir / "deep.mov").string());
    const std::string deep = PlateScene("deep.json", R"({"movie": "deep.mov"})", 6);
    const std::string deepSequence =
        PlateScene("seq.json", R"({"sequence": "p_####.png", "offset": 1001})", 6);
    const CliRun quiet =
        Tarsivel("render " + deep + " --depth 16 -o " + (dir / "deep_#.png").string());
    EXPECT_EQ(quiet.err.find("warning"), std::string::npos) << quiet.err;
    EXPECT_EQ(Frames(deep, "--depth 16", "deep", 0, 5),
              Frames(deepSequence, "--depth 16", "seq16", 0, 5));
}

TEST_F(PlateTest, ShortOrWronglySizedOrUnreadableMoviesAreRefused) {
    MakeSequence(4);
    Ffmpeg("-framerate 30 -start_number 1001 -i " + (dir / "p_%04d.png").string() + " -c:v png " +
           (dir / "short.mov").string());
    Ffmpeg("-f lavfi -i testsrc=size=90x64 -frames:v 8 -c:v png " + (dir / "narrow.mov").string());
    const auto refusal = [&](const std::string& background, const std::string& env = "") {
        const std::string scene = PlateScene("movie.json", background, 5);
        const CliRun run = Tarsivel("render " + scene + " -o " + (dir / "out_#.png").string(), env);
        EXPECT_EQ(run.code, 2) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out_0.png"));
        return run.err;
    };
    const std::string layer = "layer.background.movie: " + (dir).string() + "/";
    EXPECT_NE(refusal(R"({"movie": "short.mov"})")
                  .find(layer + "short.mov has 4 frames, the scene 5 (time.frames)"),
              std::string::npos);
    EXPECT_NE(refusal(R"({"movie": "narrow.mov"})")
                  .find(layer + "narrow.mov is 90 × 64, the layer is 96 × 64"),
              std::string::npos);
    EXPECT_NE(refusal(R"({"movie": "none.mov"})").find(layer.substr(0, 24) + "cannot open"),
              std::string::npos);
    fs::create_directories(dir / "empty");
    EXPECT_NE(refusal(R"({"movie": "short.mov"})", "PATH=" + (dir / "empty").string())
                  .find("needs ffprobe, which is not on PATH"),
              std::string::npos);
    std::ofstream(dir / "text.mov") << "not a movie";
    EXPECT_NE(refusal(R"({"movie": "text.mov"})").find("ffprobe cannot read"), std::string::npos);
}

// A file's header is compared with the layer before any pixel is decoded: a
// tiny file that claims 16384 × 16384 costs nothing.
std::string Big32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string Little32(int32_t v) {
    const auto u = uint32_t(v);
    return {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
}
std::string Box(const char* name, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return std::string(name) + '\0' + "box2i" + '\0' + Little32(16) + Little32(x0) + Little32(y0) +
           Little32(x1) + Little32(y1);
}

TEST_F(PlateTest, SizesComeFromTheHeaderBeforeAnyPixelIsDecoded) {
    const std::string png = "\x89PNG\r\n\x1a\n" + Big32(13) + "IHDR" + Big32(16384) + Big32(16384) +
                            std::string("\x08\x06\x00\x00\x00", 5) + Big32(0);
    for (const char* name : {"huge.png", "h_0.png"}) {
        std::ofstream(dir / name, std::ios::binary) << png;
    }
    const std::string exr = Little32(20000630) + Little32(2);
    std::ofstream(dir / "huge_0.exr", std::ios::binary)
        << exr << Box("dataWindow", 0, 0, 16383, 16383) << Box("displayWindow", 0, 0, 16383, 16383)
        << '\0';
    std::ofstream(dir / "wide_0.exr", std::ios::binary)
        << exr << Box("dataWindow", -5, 0, 95, 63) << Box("displayWindow", 0, 0, 95, 63) << '\0';
    Ffmpeg("-f lavfi -i testsrc=size=90x64 -frames:v 1 " + (dir / "n_0.png").string());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"image": "huge.png"})",
         "image: " + (dir / "huge.png").string() + " is 16384 × 16384, the layer is 96 × 64"},
        {R"({"sequence": "h_#.png"})",
         "sequence: " + (dir / "h_0.png").string() + " is 16384 × 16384, the layer is 96 × 64"},
        {R"({"sequence": "huge_#.exr"})",
         "sequence: " + (dir / "huge_0.exr").string() + " is 16384 × 16384, the layer is 96 × 64"},
        {R"({"sequence": "wide_#.exr"})", "its data window reaches outside its display window"},
        {R"({"sequence": "n_#.png"})",
         "sequence: " + (dir / "n_0.png").string() + " is 90 × 64, the layer is 96 × 64"}};
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer cannot start under a memory limit; the refusals
    // must come from the headers all the same.
    const std::string limit;
#else
    // Far less memory than decoding any of them would take.
    const std::string limit = "ulimit -v 1000000;";
#endif
    for (const auto& [background, message] : cases) {
        const std::string scene = PlateScene("big.json", background, 1);
        const CliRun run =
            Tarsivel("render " + scene + " -o " + (dir / "out_#.png").string(), limit);
        EXPECT_EQ(run.code, 2) << background;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
}

TEST_F(PlateTest, EachFramesPlateIsInTheMemoryEstimate) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot start under a memory limit";
#endif
    // 4096 × 4096: the float image a plate frame decodes to is 256 MiB.
    Ffmpeg("-f lavfi -i color=c=teal:size=4096x4096 -frames:v 1 " + (dir / "big_0.png").string());
    const std::string scene = Scene("big.json", R"({"format": "tarsivel-scene/1",
        "layer": {"width": 4096, "height": 4096, "background": {"sequence": "big_#.png"}}})");
    const CliRun run =
        Tarsivel("render " + scene + " -o " + (dir / "b_#.raw").string(), "ulimit -v 300000;");
    EXPECT_EQ(run.code, 2) << run.err;
    // Without the plate a frame needs 193 MiB; with the decoded image, the
    // decoder's samples and the frame's own background, 448 MiB more.
    EXPECT_NE(run.err.find("frame 0: out of memory (a frame needs about 641 MiB); try -j 1"),
              std::string::npos)
        << run.err;
}

// The text of a line of `text` that holds `key`, "" when none does.
std::string LineWith(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) {
        return "";
    }
    const std::size_t begin = text.rfind('\n', at) + 1;
    return text.substr(begin, text.find('\n', at) - begin);
}

TEST_F(CliTest, VersionNamesTheCommandAndThePluginAsInfoReadsThem) {
    const CliRun info = Tarsivel("info");
    ASSERT_EQ(info.code, 0) << info.err;
    // Run where there is no scene at all.
    const CliRun version = Tarsivel("--version", "cd " + dir.string() + " &&");
    ASSERT_EQ(version.code, 0) << version.err;
    EXPECT_EQ(version.out.rfind("tarsivel 1.", 0), 0u) << version.out;
    const std::string plugin = LineWith(version.out, "plug-in ");
    // The registration's name and API version, and global set-up's version.
    const std::string name = LineWith(info.out, "  name \"");
    ASSERT_FALSE(name.empty()) << info.out;
    EXPECT_EQ(plugin.rfind("plug-in " + name.substr(8, name.size() - 9) + " ", 0), 0u) << plugin;
    EXPECT_NE(plugin.find(LineWith(info.out, "  API version ").substr(2)), std::string::npos)
        << plugin;
    const std::string global = LineWith(info.out, "Global set-up: version ");
    const std::size_t equals = global.find(" = ");
    ASSERT_NE(equals, std::string::npos) << global;
    EXPECT_NE(plugin.find(global.substr(equals + 3, global.find(", out flags") - equals - 3)),
              std::string::npos)
        << plugin << "\n"
        << global;
    EXPECT_NE(plugin.find("1.0.0 (develop, build 1)"), std::string::npos) << plugin;

    // Without the plug-in beside it, the command still tells its own version.
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    fs::copy_file(TARSIVEL_CLI_PATH, bin / "tarsivel");
    const CliRun alone = Run((bin / "tarsivel").string(), "--version");
    EXPECT_EQ(alone.code, 2);
    EXPECT_EQ(alone.out.rfind("tarsivel 1.", 0), 0u) << alone.out;
    EXPECT_NE(alone.err.find("the version of the plug-in beside this program is unknown: cannot "
                             "load " +
                             (bin / "Tarsivel.so").string()),
              std::string::npos)
        << alone.err;
}

TEST_F(CliTest, AnUnknownOrMissingCommandListsTheCommands) {
    for (const std::string& args :
         std::vector<std::string>{"rendr " + SmallScene(), "--version-not", ""}) {
        SCOPED_TRACE(args);
        const CliRun run = Tarsivel(args);
        EXPECT_EQ(run.code, 2);
        if (args.rfind("rendr", 0) == 0) {
            EXPECT_NE(run.err.find("tarsivel: unknown command rendr; the commands are:\n"),
                      std::string::npos)
                << run.err;
        }
        if (args.empty()) {
            EXPECT_NE(run.err.find("tarsivel: give a command"), std::string::npos) << run.err;
        }
        if (args[0] != '-') {
            for (const char* command : {"render", "dump", "info", "demo"}) {
                EXPECT_NE(run.err.find(std::string("\n  ") + command + " "), std::string::npos)
                    << command << "\n"
                    << run.err;
            }
        }
    }
    EXPECT_FALSE(fs::exists("out"));
}

// Every option that has a default says what it is.
TEST_F(CliTest, HelpOfEachCommandShowsEveryDefault) {
    const std::map<std::string, std::vector<std::string>> options{
        {"render",
         {"-o,", "-s,", "-e,", "--renderer", "--depth", "--downsample", "-j,", "--contact-sheet",
          "--crf", "--skip-existing", "--plugin"}},
        {"dump", {"--downsample", "--pretty", "--plugin"}},
        {"info", {"--plugin", "--gpu"}},
        {"demo", {"-o,", "--plugin"}}};
    for (const auto& [command, names] : options) {
        const CliRun help = Tarsivel(command + " --help");
        ASSERT_EQ(help.code, 0) << command;
        for (const std::string& name : names) {
            // From the option's name to the next option's.
            const std::size_t at = help.out.find("\n  " + name);
            ASSERT_NE(at, std::string::npos) << command << " " << name << "\n" << help.out;
            std::string text = help.out.substr(at, help.out.find("\n  -", at + 1) - at);
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            EXPECT_NE(text.find("default"), std::string::npos) << command << ": " << text;
        }
    }
    const std::string render = Tarsivel("render --help").out;
    EXPECT_NE(render.find("Default: out/<scene>_####.png, <scene> being the scene file's name"),
              std::string::npos)
        << render;
    EXPECT_NE(render.find("(default 1)"), std::string::npos);
    EXPECT_NE(render.find("18 (default)"), std::string::npos);
    const std::string demo = Tarsivel("demo --help").out;
    EXPECT_NE(demo.find("(default out/demo)"), std::string::npos);
    EXPECT_NE(demo.find("contact_sheet.png and, where ffmpeg is found, the movie demo.mp4"),
              std::string::npos);
}

// A '#' in a name the program makes (the scene's, the demo's folder) is part
// of the name, not the frame number.
TEST_F(CliTest, AHashInTheScenesNameIsPartOfTheDefaultOutputName) {
    const std::string small = Slurp(SmallScene(3));
    for (const std::string stem : {"take#2", "a##b#"}) {
        Scene(stem + ".json", small);
        const CliRun run = Tarsivel("render '" + stem + ".json'", "cd " + dir.string() + " &&");
        ASSERT_EQ(run.code, 0) << run.err;
        for (int f = 0; f < 3; ++f) {
            const fs::path frame = dir / "out" / (stem + "_000" + std::to_string(f) + ".png");
            EXPECT_TRUE(IsPng(Slurp(frame))) << frame;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 6);
    // The demo's folder too: the run gets past the names to the missing plug-in.
    const CliRun demo = Tarsivel("demo --plugin " + (dir / "none.so").string() + " -o '" +
                                 (dir / "o#").string() + "'");
    EXPECT_EQ(demo.code, 2);
    EXPECT_EQ(demo.err.find("run of #"), std::string::npos) << demo.err;
    EXPECT_NE(demo.err.find("none.so"), std::string::npos) << demo.err;
}

TEST_F(CliTest, SkipExistingSaysOnceHowManyAndCountsOnlyTheFramesToRender) {
    const std::string scene = SmallScene(6);
    const std::string pattern = (dir / "f_#.png").string();
    for (const char* name : {"f_0.png", "f_1.png", "f_4.png"}) {
        std::ofstream(dir / name) << "farmed elsewhere";
    }
    const CliRun logged = Tarsivel("render " + scene + " --skip-existing -o " + pattern);
    ASSERT_EQ(logged.code, 0) << logged.err;
    EXPECT_EQ(std::count(logged.err.begin(), logged.err.end(), '\n'), 3 + 2) << logged.err;
    EXPECT_NE(logged.err.find("tarsivel: skipped 3 frames whose files exist\n"), std::string::npos)
        << logged.err;
    EXPECT_NE(logged.err.find("frame 2 (1/3)"), std::string::npos) << logged.err;
    EXPECT_NE(logged.err.find("frame 5 (3/3)"), std::string::npos) << logged.err;
    EXPECT_EQ(logged.err.find("/6"), std::string::npos) << logged.err;

    for (const char* name : {"f_2.png", "f_3.png", "f_5.png"}) {
        fs::remove(dir / name);
    }
    const std::string terminal = (dir / "terminal.txt").string();
    ASSERT_EQ(std::system(("script -qec '" + std::string(TARSIVEL_CLI_PATH) + " render " + scene +
                           " --skip-existing -o " + pattern + "' /dev/null >" + terminal)
                              .c_str()),
              0);
    const std::string shown = Slurp(terminal);
    EXPECT_NE(shown.find("] 0/3  frame 2"), std::string::npos) << shown;
    EXPECT_NE(shown.find("] 3/3"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("/6"), std::string::npos) << shown;
    EXPECT_NE(shown.find("skipped 3 frames whose files exist"), std::string::npos) << shown;
}

// The frame number drawn in a cell's top-left corner, read back with the
// sheet's own glyphs: `digits` of them, then the label's dark edge.
std::string ReadLabel(const std::function<PF_Pixel(int32_t, int32_t)>& pixel,
                      const cli::ContactSheet::Cell& cell, int32_t scale, std::size_t digits) {
    std::string text;
    const auto ink = [&](int32_t gx, int32_t gy) {
        return pixel(cell.left + (gx + 1) * scale + scale / 2,
                     cell.top + (gy + 1) * scale + scale / 2)
                   .red > 128;
    };
    for (std::size_t d = 0; d < digits; ++d) {
        cli::DigitGlyph glyph{};
        for (int gy = 0; gy < 5; ++gy) {
            for (int gx = 0; gx < 3; ++gx) {
                glyph[std::size_t(gy)] |= uint8_t(ink(int32_t(d) * 4 + gx, gy) << (2 - gx));
            }
        }
        char read = '?';
        for (int digit = 0; digit < 10; ++digit) {
            read = cli::GlyphOf(digit) == glyph ? char('0' + digit) : read;
        }
        text += read;
    }
    // The box ends a pixel (of the label's size) after the last digit.
    const int32_t edge = cell.left + int32_t(digits * 4 + 1) * scale;
    text += pixel(edge - 1, cell.top).red == 26 ? "|" : "(no box)";
    return text;
}

TEST(ContactSheetTest, EachCellIsLabelledWithItsFrameNumberOverAnyPicture) {
    const std::vector<int> frames{0, 7, 12, 305, 4096};
    cli::ContactSheet sheet(frames, 480, 270);  // cells of 240 × 135: labels twice the size
    EXPECT_EQ(sheet.LabelScale(), 2);
    // Under the labels: white, black and transparent frames.
    for (const float level : {1.0f, 0.0f}) {
        host::ImageWorld frame(480, 270, host::PixelDepth::k16);
        frame.Fill({1.0f, level, level, level});
        sheet.Place(level > 0 ? 1 : 3, frame);
    }
    host::ImageWorld clear(480, 270, host::PixelDepth::k32);
    clear.Fill({0.0f, 0.0f, 0.0f, 0.0f});
    sheet.Place(4, clear);
    const auto pixel = [&](int32_t x, int32_t y) { return sheet.Image().Read8(x, y); };
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string number = std::to_string(frames[i]);
        EXPECT_EQ(ReadLabel(pixel, sheet.CellAt(int(i)), 2, number.size()), number + "|") << i;
    }
    // The picture goes on beside the label.
    const cli::ContactSheet::Cell white = sheet.CellAt(1);
    EXPECT_EQ(sheet.Image().Read8(white.left + 40, white.top + 2).red, 255);
    EXPECT_EQ(sheet.Image().Read8(white.left + 2, white.top + 40).red, 255);
    // A label wider than a tiny cell is cut off at the cell's edge.
    cli::ContactSheet tiny({123456}, 8, 8);
    EXPECT_EQ(tiny.LabelScale(), 1);
    EXPECT_EQ(tiny.Image().Width(), 8 + 2 * 4);
}

TEST_F(CliTest, ContactSheetCellsCarryTheirFrameNumbers) {
    const CliRun run =
        Tarsivel("render " + SmallScene(30) + " -j 2 -o " + (dir / "f_#.png").string() +
                 " --contact-sheet " + (dir / "sheet.png").string());
    ASSERT_EQ(run.code, 0) << run.err;
    auto png = host::ReadPng((dir / "sheet.png").string(), host::PixelDepth::k8);
    // Twelve frames evenly spread over 0 … 29.
    const std::vector<int> frames{0, 3, 5, 8, 11, 13, 16, 18, 21, 24, 26, 29};
    const cli::ContactSheet layout(frames, 96, 64);
    ASSERT_EQ(png->Width(), layout.Image().Width());
    ASSERT_EQ(png->Height(), layout.Image().Height());
    const auto pixel = [&](int32_t x, int32_t y) { return png->Read8(x, y); };
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string number = std::to_string(frames[i]);
        EXPECT_EQ(ReadLabel(pixel, layout.CellAt(int(i)), layout.LabelScale(), number.size()),
                  number + "|")
            << "cell " << i;
    }
}

using Clock = std::chrono::steady_clock;
constexpr Clock::time_point kStart{};

Clock::time_point At(double seconds) {
    return kStart +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

TEST(TimeLeftTest, FollowsThePaceOfFinishedFramesAndCountsDown) {
    cli::TimeLeftEstimate one(kStart);
    EXPECT_LT(one.SecondsLeft(300, kStart), 0);  // nothing known before a frame
    for (int f = 1; f <= 30; ++f) {
        one.FrameDone(At(f), 1);
    }
    EXPECT_NEAR(one.SecondsLeft(270, At(30)), 270, 1e-6);
    EXPECT_NEAR(one.SecondsLeft(270, At(30.4)), 269.6, 1e-6);  // between frames
    EXPECT_EQ(one.SecondsLeft(1, At(40)), 0);                  // late, not negative
    EXPECT_EQ(one.SecondsLeft(0, At(30)), 0);
    // Frames become three times as slow: within a window's frames the
    // estimate is the new pace's alone.
    for (int f = 1; f <= 10; ++f) {
        one.FrameDone(At(30 + 3 * f), 1);
    }
    EXPECT_NEAR(one.SecondsLeft(100, At(60)), 300, 1e-6);
}

// Four frames at a time, each taking 4 s and finishing together: the estimate
// keeps to the 1 frame a second they make together all through the render,
// however many were in flight at the moment.
TEST(TimeLeftTest, FramesFinishingInBurstsGiveASteadyEstimate) {
    for (const bool staggered : {false, true}) {
        SCOPED_TRACE(staggered ? "staggered" : "in bursts");
        cli::TimeLeftEstimate estimate(kStart);
        const int total = 300;
        for (int done = 1; done <= total; ++done) {
            // Bursts: frames 1-4 at 4 s, 5-8 at 8 s, …; staggered: one a second from 4 s.
            const double at = staggered ? 3.0 + done : 4.0 * ((done + 3) / 4);
            estimate.FrameDone(At(at), 4);
            const double truth = staggered ? total - done : 4.0 * ((total + 3) / 4) - at;
            // Before a whole round is done nothing better than the pace since the start is known.
            if (done >= (staggered ? 5 : 4) && done < total) {
                EXPECT_NEAR(estimate.SecondsLeft(total - done, At(at)), truth,
                            staggered ? 1.0 : 4.0)
                    << done;
            }
        }
    }
}

// The case the estimate once got wrong: 30 of 300 frames done by four jobs.
TEST(TimeLeftTest, ProgressCountsTheFramesToRenderAndIgnoresHowManyAreInFlight) {
    double seconds = 0;
    cli::Progress progress(
        300, [&seconds] { return At(seconds); }, false);
    std::ostringstream lines;
    std::streambuf* const saved = std::cerr.rdbuf(lines.rdbuf());
    int started = 0;
    for (int f = 0; f < 4; ++f) {
        progress.FrameStarted(started++);
    }
    for (int done = 0; done < 28; ++done) {
        seconds = 4.0 * (done / 4 + 1);
        progress.FrameDone(done, 0.1, 3.9, "f.png");
        progress.FrameStarted(started++);
    }
    seconds = 32;
    progress.FrameDone(28, 0.1, 3.9, "f.png");
    progress.FrameDone(29, 0.1, 3.9, "f.png");
    const std::string two = progress.Status();
    progress.FrameStarted(started++);
    progress.FrameStarted(started++);
    progress.FrameSkipped(started++);  // rendered meanwhile by another machine
    std::cerr.rdbuf(saved);
    // 270 frames at 1 frame a second, however many are in flight.
    EXPECT_NE(two.find("] 30/300  frame 30 (+1 more): 4 s  about 4 min 30 s left"),
              std::string::npos)
        << two;
    EXPECT_NE(progress.Status().find("] 30/299  frame 30 (+3 more): 4 s  about 4 min 29 s left"),
              std::string::npos)
        << progress.Status();
    EXPECT_NE(lines.str().find("frame 29 (30/300): pre-render 0.100 s, render 3.900 s -> f.png\n"),
              std::string::npos)
        << lines.str();
    EXPECT_EQ(progress.Skipped(), 1);
    EXPECT_EQ(progress.Summary().rfind("30 frames in 32.000 s; pre-render median 0.100 s", 0), 0u)
        << progress.Summary();
}

}  // namespace
}  // namespace tarsivel
