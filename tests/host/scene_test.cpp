// Reading scenes and giving them to an instance: every error names its key.
#include "host/scenes/scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/scenes/plate.h"
#include "host/scenes/scene_setup.h"
#include "host_test_support.h"

namespace tarsivel::host {
namespace {

using nlohmann::json;
using testing::Declare;
using testing::Definition;

Scene Parse(const std::string& text) {
    return ParseScene(json::parse(text), "scene.json");
}

std::string ErrorOf(const std::string& text) {
    try {
        Parse(text);
    } catch (const SceneError& e) {
        return e.what();
    }
    return "no error";
}

const char* kMinimal = R"({"format": "tarsivel-scene/1", "layer": {"width": 64, "height": 32}})";

TEST(SceneTest, DefaultsOfAMinimalScene) {
    const Scene scene = Parse(kMinimal);
    EXPECT_EQ(scene.width, 64);
    EXPECT_EQ(scene.timeScale, 3000u);
    EXPECT_EQ(scene.timeStep, 100);
    EXPECT_EQ(scene.localTimeStep, 100);
    EXPECT_EQ(scene.frames, 1);
    EXPECT_EQ(scene.depth, 8);
    EXPECT_EQ(scene.renderer, "cpu");
    EXPECT_EQ(scene.background.kind, SceneBackground::Kind::Transparent);
    EXPECT_EQ(scene.name, "scene");
}

TEST(SceneTest, TimingFromFpsOrAnExplicitPair) {
    Scene ntsc = Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                           "time": {"fps": 29.97, "frames": 10}})");
    EXPECT_EQ(ntsc.timeScale, 2997u);
    EXPECT_TRUE(ntsc.warnings.empty());
    Scene odd = Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "time": {"fps": 23.976}})");
    EXPECT_EQ(odd.timeScale, 2398u);
    EXPECT_EQ(odd.warnings.size(), 1u);
    Scene pair = Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                           "time": {"time_scale": 2997, "time_step": 100, "local_time_step": 0}})");
    EXPECT_EQ(pair.timeStep, 100);
    EXPECT_EQ(pair.localTimeStep, 0);
    EXPECT_EQ(pair.FrameTime(3), 300);
}

TEST(SceneTest, ErrorsNameTheFileAndTheKey) {
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "params": {"Segments": [{"frame": 0}]}})"),
              "scene.json: params.\"Segments\"[0]: a keyframe needs a \"value\"");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 0, "height": 8}})"),
              "scene.json: layer.width: expected an integer from 1 to 16384");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8,
                          "colour": 1}})"),
              "scene.json: layer.colour: unknown key");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/2", "layer": {"width": 8, "height": 8}})"),
              "scene.json: format: expected \"tarsivel-scene/1\"");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "time": {"time_scale": 30}})"),
              "scene.json: time: \"time_scale\" and \"time_step\" go together: give both or "
              "neither");
    EXPECT_NE(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "time": {"frames": 30000000}})")
                  .find("signed 32-bit"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "params": {"Gravity": [{"frame": 5, "value": 1},
                                                 {"frame": 5, "value": 2}]}})")
                  .find("params.\"Gravity\"[1].frame: keyframe frames must strictly increase"),
              std::string::npos);
}

std::string TextErrorOf(const std::string& text) {
    try {
        ReadSceneText(text, "scene.json");
    } catch (const SceneError& e) {
        return e.what();
    }
    return "no error";
}

std::string Nested(int depth, const std::string& open, const std::string& inner,
                   const std::string& close) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += open;
    }
    text += inner;
    for (int i = 0; i < depth; ++i) {
        text += close;
    }
    return text;
}

// Deep input ran the reader out of stack; now it is refused before it is built.
TEST(SceneTextTest, DeepNestingIsRefusedWhereverItIs) {
    const std::string head =
        R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8}, "params": )";
    std::string path = "scene.json: params.\"Gravity\"";
    for (int level = 2; level < kMaxSceneNesting; ++level) {
        path += "[0]";
    }
    EXPECT_EQ(TextErrorOf(head + R"({"Gravity": )" + Nested(150000, "[", "1", "]") + "}}"),
              path + ": nested more than 64 levels deep; a scene needs only a few");
    EXPECT_NE(TextErrorOf(head + R"({"Gravity": [{"frame": 0, "value": )" +
                          Nested(100000, R"({"a": )", "1", "}") + "}]}}")
                  .find("nested more than 64 levels"),
              std::string::npos);
    EXPECT_NE(TextErrorOf(R"({"format": "tarsivel-scene/1", "masks": )" +
                          Nested(200000, "[", "", "]") + "}")
                  .find("scene.json: masks[0][0]"),
              std::string::npos);
    // As deep as allowed: the reader's own checks take over.
    EXPECT_EQ(
        TextErrorOf(head + R"({"Gravity": )" + Nested(kMaxSceneNesting - 2, "[", "1", "]") + "}}"),
        "no error");
    EXPECT_NE(
        TextErrorOf(head + R"({"Gravity": )" + Nested(kMaxSceneNesting - 1, "[", "1", "]") + "}}"),
        "no error");
}

TEST(SceneTextTest, JsonFaultsNameTheKey) {
    EXPECT_EQ(TextErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                              "params": {"Gravity": 1e400}})"),
              "scene.json: params.\"Gravity\": not valid JSON: number overflow parsing '1e400'");
    EXPECT_EQ(TextErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                              "masks": [{"vertices": [[0, 0], [1, -1e999]]}]})"),
              "scene.json: masks[0].vertices[1][1]: not valid JSON: number overflow parsing "
              "'-1e999'");
    EXPECT_EQ(TextErrorOf(R"({"format": "tarsivel-scene/1",
                              "layer": {"width": 8, "height": 8, "width": 16}})"),
              "scene.json: layer.width: the key appears twice in its object; give it once");
    EXPECT_EQ(TextErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                              "params": {"Gravity": 1, "Gravity": 2}})"),
              "scene.json: params.\"Gravity\": the key appears twice in its object; give it once");
    // The same key in different objects is not a duplicate.
    EXPECT_EQ(TextErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                              "masks": [{"name": "a", "vertices": [[0, 0]]},
                                        {"name": "b", "vertices": [[0, 0]]}]})"),
              "no error");
    EXPECT_NE(TextErrorOf(R"({"format": "tarsivel-scene/1", "layer": {)").find("not valid JSON"),
              std::string::npos);
}

// The parser stops at a NUL byte, so what follows one was never looked at.
TEST(SceneTextTest, NothingButWhiteSpaceMayFollowTheDocument) {
    const std::string scene = kMinimal;
    EXPECT_EQ(TextErrorOf(scene + " \n\t\r\n"), "no error");
    EXPECT_EQ(TextErrorOf(scene + "\n" + std::string(1, '\0') + "garbage"),
              "scene.json: not valid JSON: a NUL byte follows the document at line 2, column 1; "
              "a scene file holds one JSON document and nothing after it but white space");
    EXPECT_NE(TextErrorOf(scene + std::string(1, '\0')).find("NUL byte follows"),
              std::string::npos);
    EXPECT_NE(TextErrorOf(scene + " {}").find("not valid JSON"), std::string::npos);
    // Inside the document a NUL is a parse error of its own.
    const std::string cut = R"({"format": "tarsivel-scene/1", )";
    EXPECT_NE(TextErrorOf(cut + std::string(1, '\0') + R"("layer": {"width": 8, "height": 8}})")
                  .find("not valid JSON"),
              std::string::npos);
}

// Files are read with a limit: an endless device or a huge file is refused
// without filling memory, the limit stated.
TEST(SceneTest, ScenesLargerThanTheLimitAreRefusedUnread) {
    const std::string limit =
        "the scene file is larger than 256 MiB, the most a scene file "
        "may hold";
    std::string zero;
    try {
        ReadScene("/dev/zero");
    } catch (const SceneError& e) {
        zero = e.what();
    }
    EXPECT_EQ(zero.rfind("/dev/zero: " + limit, 0), 0u) << zero;

    const std::string sparse = ::testing::TempDir() + "sparse_scene.json";
    {
        std::ofstream out(sparse, std::ios::binary);
        out << kMinimal;
    }
    std::filesystem::resize_file(sparse, kMaxSceneFileBytes + 1);  // sparse: no disk used
    std::string huge;
    try {
        ReadScene(sparse);
    } catch (const SceneError& e) {
        huge = e.what();
    }
    EXPECT_NE(huge.find(limit), std::string::npos) << huge;
    std::filesystem::resize_file(sparse, std::string(kMinimal).size());
    EXPECT_EQ(ReadScene(sparse).width, 64);
    std::filesystem::remove(sparse);
}

TEST(SceneTest, RangesAreSaidInTheUsersUnits) {
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "time": {"fps": 0}})"),
              "scene.json: time.fps: expected a number from 0.005 to 21474836.47");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "masks": [{"vertices": [{"pos": [0, 0], "in": [1e308, 0],
                                                   "out": [0, 0]}]}]})"),
              "scene.json: masks[0].vertices[0].in: expected x and y from -32768 to 32767.99 "
              "pixels");
    EXPECT_EQ(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "masks": [{"vertices": [[-32768, 32767.99]]}]})"),
              "no error");
    const Scene both = Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                                 "time": {"fps": 24, "time_scale": 2997, "time_step": 100}})");
    EXPECT_EQ(both.timeScale, 2997u);
    ASSERT_EQ(both.warnings.size(), 1u);
    EXPECT_NE(both.warnings[0].find("time.fps: ignored"), std::string::npos);
}

TEST(SceneTest, MasksNeedUniqueNamesOtherThanNone) {
    EXPECT_NE(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "masks": [{"name": "a", "vertices": [[0, 0]]},
                                    {"name": "a", "vertices": [[1, 1]]}]})")
                  .find("masks[1].name: mask names must be unique"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                          "masks": [{"name": "none", "vertices": [[0, 0]]}]})")
                  .find("masks[0].name"),
              std::string::npos);
    const Scene scene = Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
        "masks": [{"vertices": [[1, 2], {"pos": [3, 4], "in": [2, 4], "out": [4, 4]}]},
                  {"closed": false, "keyframes": [{"frame": 0, "vertices": [[0, 0]]},
                                                  {"frame": 2, "vertices": [[5, 5]]}]}]})");
    ASSERT_EQ(scene.masks.size(), 2u);
    EXPECT_EQ(scene.masks[0].name, "Mask 1");
    EXPECT_EQ(scene.masks[0].keys[0].vertices[1].inX, 2.0);
    EXPECT_FALSE(scene.masks[1].closed);
    EXPECT_EQ(scene.masks[1].keys.size(), 2u);
}

class ApplySceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PF_ParamDef slider = Definition(PF_Param_SLIDER, "Segments", 1);
        slider.u.sd.valid_min = 2;
        slider.u.sd.valid_max = 1024;
        PF_ParamDef fs = Definition(PF_Param_FLOAT_SLIDER, "Gravity", 2);
        fs.u.fs_d.valid_min = -1000;
        fs.u.fs_d.valid_max = 1000;
        for (const PF_ParamDef& def : {slider, fs, Definition(PF_Param_POINT, "Point B", 3),
                                       Definition(PF_Param_COLOR, "Rope Color", 4),
                                       Definition(PF_Param_PATH, "Collision Mask", 5),
                                       Definition(PF_Param_CHECKBOX, "Tearing", 6),
                                       Definition(PF_Param_GROUP_START, "Physics", 7)}) {
            ASSERT_EQ(Declare(instance, def).err, PF_Err_NONE);
        }
    }
    std::string Apply(const std::string& params, const std::string& masks = "[]") {
        const Scene scene =
            Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8},
                      "masks": )" +
                  masks + R"(, "params": )" + params + "}");
        warnings.clear();
        try {
            ApplyScene(scene, instance, warnings);
        } catch (const SceneError& e) {
            return e.what();
        }
        return "";
    }
    EffectInstance instance{nullptr, 8, 8};
    std::vector<std::string> warnings;
};

TEST_F(ApplySceneTest, ValuesOfEveryKindAndTheirKeyframes) {
    ASSERT_EQ(Apply(R"({"Segments": 40, "Point B": [{"frame": 0, "value": [1, 2]},
                        {"frame": 2, "value": [3, 6]}], "Rope Color": "#FF800040",
                        "Tearing": true})"),
              "");
    EXPECT_EQ(instance.Params().ValueAt(1, 0, 3000).c[0], 40.0);
    EXPECT_EQ(instance.Params().ValueAt(3, 100, 3000), ParamValue::Point(2, 4));
    EXPECT_EQ(instance.Params().ValueAt(4, 0, 3000), ParamValue::Color(0x40, 255, 128, 0));
    EXPECT_EQ(instance.Params().ValueAt(6, 0, 3000).c[0], 1.0);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(ApplySceneTest, OutOfRangeValuesAreClampedWithOneWarning) {
    ASSERT_EQ(Apply(R"({"Gravity": [{"frame": 0, "value": 5000}, {"frame": 1, "value": -5000}]})"),
              "");
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_EQ(instance.Params().ValueAt(2, 0, 3000).c[0], 1000.0);
}

TEST_F(ApplySceneTest, MaskChoiceByNameIndexOrNone) {
    const std::string masks = R"([{"name": "Ledge", "vertices": [[0, 0]]},
                                  {"name": "Wall", "vertices": [[1, 1]]}])";
    ASSERT_EQ(Apply(R"({"Collision Mask": "Wall"})", masks), "");
    EXPECT_EQ(instance.Params().ValueAt(5, 0, 3000).c[0], 102.0);
    ASSERT_EQ(instance.Masks().IdAt(1), std::optional<PF_PathID>(102));
    ASSERT_EQ(Apply(R"({"Collision Mask": [{"frame": 0, "value": 7}, {"frame": 1, "value": 7},
                                           {"frame": 2, "value": 2}]})",
                    masks),
              "");
    EXPECT_EQ(instance.Params().ValueAt(5, 0, 3000).c[0], 107.0);  // a deleted mask
    EXPECT_EQ(warnings, std::vector<std::string>{
                            "scene.json: params.\"Collision Mask\": Collision Mask 7: the scene "
                            "has 2 masks; the rope collides with nothing"});
    ASSERT_EQ(Apply(R"({"Collision Mask": "none"})"), "");
    EXPECT_EQ(instance.Params().ValueAt(5, 0, 3000).c[0], 0.0);
    EXPECT_NE(Apply(R"({"Collision Mask": "Rock"})").find("no mask is named \"Rock\""),
              std::string::npos);
}

TEST_F(ApplySceneTest, IntegralNumbersAreIntegersEverywhere) {
    ASSERT_EQ(Apply(R"({"Segments": 4.0, "Collision Mask": 1.0})", R"([{"vertices": [[0, 0]]}])"),
              "");
    EXPECT_EQ(instance.Params().ValueAt(1, 0, 3000).c[0], 4.0);
    EXPECT_EQ(instance.Params().ValueAt(5, 0, 3000).c[0], 101.0);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(
        Parse(R"({"format": "tarsivel-scene/1", "layer": {"width": 8.0, "height": 8}})").width, 8);
}

TEST_F(ApplySceneTest, WrongValuesNameTheParameter) {
    EXPECT_EQ(Apply(R"({"Segments": 2.5})"),
              "scene.json: params.\"Segments\": expected an integer");
    EXPECT_EQ(Apply(R"({"Point B": [1]})"), "scene.json: params.\"Point B\": expected [x, y]");
    EXPECT_EQ(Apply(R"({"Rope Color": "red"})"),
              "scene.json: params.\"Rope Color\": expected \"#RRGGBB\" or \"#RRGGBBAA\"");
    EXPECT_EQ(Apply(R"({"Tearing": 1})"), "scene.json: params.\"Tearing\": expected true or false");
    EXPECT_EQ(Apply(R"({"Friction": 1})"),
              "scene.json: params.\"Friction\": the effect has no such parameter");
    EXPECT_NE(Apply(R"({"Physics": 1})").find("takes no value"), std::string::npos);
    EXPECT_EQ(Apply(R"({"Point B": [100000, 0]})"),
              "scene.json: params.\"Point B\": expected x and y from -32768 to 32767.99 pixels");
    EXPECT_EQ(Apply(R"({"Point B": [0, -1e308]})"),
              "scene.json: params.\"Point B\": expected x and y from -32768 to 32767.99 pixels");
}

// Backgrounds that change with the frame: the keys each kind takes, and the
// file each frame of a sequence shows.
std::string WithBackground(const std::string& background) {
    return R"({"format": "tarsivel-scene/1", "layer": {"width": 8, "height": 8, "background": )" +
           background + R"(}, "time": {"frames": 6}})";
}

TEST(ScenePlateTest, SequencesAndMoviesAreReadWithTheirKeys) {
    const Scene sequence =
        ParseScene(json::parse(WithBackground(
                       R"({"sequence": "plates/p_####.EXR", "offset": 1001, "missing": "hold"})")),
                   "/scenes/a.json");
    EXPECT_EQ(sequence.background.kind, SceneBackground::Kind::Sequence);
    EXPECT_EQ(sequence.background.platePath, "/scenes/plates/p_####.EXR");
    EXPECT_EQ(sequence.background.fileOffset, 1001);
    EXPECT_TRUE(sequence.background.holdMissing);
    const Scene plain = Parse(WithBackground(R"({"sequence": "p_#.png", "missing": "error"})"));
    EXPECT_EQ(plain.background.fileOffset, 0);
    EXPECT_FALSE(plain.background.holdMissing);
    const Scene movie =
        ParseScene(json::parse(WithBackground(R"({"movie": "take 3.mov"})")), "/s/a.json");
    EXPECT_EQ(movie.background.kind, SceneBackground::Kind::Movie);
    EXPECT_EQ(movie.background.platePath, "/s/take 3.mov");
}

TEST(ScenePlateTest, WrongPlateKeysAreNamed) {
    const std::string key = "scene.json: layer.background";
    EXPECT_EQ(ErrorOf(WithBackground(R"({"image": "a.png", "movie": "a.mov"})")),
              key + ": give one of \"image\", \"sequence\" or \"movie\"");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"offset": 3})")),
              key + ": give one of \"image\", \"sequence\" or \"movie\"");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"movie": "a.mov", "offset": 3})")),
              key + ".offset: only a \"sequence\" takes this key");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"image": "a.png", "missing": "hold"})")),
              key + ".missing: only a \"sequence\" takes this key");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"sequence": "p_#.png", "missing": "skip"})")),
              key + ".missing: expected \"error\" or \"hold\"");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"sequence": "p_#.png", "offset": -1})")),
              key + ".offset: expected an integer from 0 to 2147483647");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"sequence": "p_#_#.png"})")),
              key + ".sequence: more than one run of #; give the file number one run");
    EXPECT_NE(ErrorOf(WithBackground(R"({"sequence": "p.png"})")).find("a run of #"),
              std::string::npos);
    EXPECT_EQ(ErrorOf(WithBackground(R"({"sequence": "p_##.jpg"})")),
              key + ".sequence: expected .png or .exr files");
    EXPECT_EQ(ErrorOf(WithBackground(R"({"movie": 3})")), key + ".movie: expected a string");
}

class SequenceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tarsivel_plate_#" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        for (const char* name :
             {"p_0098.png", "p_0100.png", "p_0101.png", "p_0103.png", "p_10000.png"}) {
            std::ofstream(dir / name) << "";
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    Scene Sequence(bool hold, int64_t offset) {
        Scene scene = Parse(WithBackground(R"({"sequence": "p_####.png"})"));
        scene.background.platePath = (dir / "p_####.png").string();
        scene.background.fileOffset = offset;
        scene.background.holdMissing = hold;
        return scene;
    }
    std::string Error(const Scene& scene, int32_t frame) {
        try {
            return SequenceFile(scene, frame);
        } catch (const SceneError& e) {
            return e.what();
        }
    }
    std::filesystem::path dir;
};

// The scene's folder has a # of its own, which is not the file number.
TEST_F(SequenceFileTest, FramesShowTheirNumberPlusTheOffsetOrHoldTheLastThatExists) {
    const Scene exact = Sequence(false, 100);
    EXPECT_EQ(SequenceFile(exact, 0), (dir / "p_0100.png").string());
    EXPECT_EQ(SequenceFile(exact, 3), (dir / "p_0103.png").string());
    // Wider numbers than the run are written in full.
    EXPECT_EQ(SequenceFile(Sequence(false, 9900), 100), (dir / "p_10000.png").string());
    EXPECT_EQ(Error(exact, 2), "scene.json: layer.background.sequence: frame 2 shows " +
                                   (dir / "p_0102.png").string() +
                                   ", which does not exist; add it, or give \"missing\": \"hold\" "
                                   "to show the nearest earlier frame's file instead");

    const Scene hold = Sequence(true, 100);
    EXPECT_EQ(SequenceFile(hold, 2), (dir / "p_0101.png").string());
    EXPECT_EQ(SequenceFile(hold, 5), (dir / "p_0103.png").string());
    // Only the scene's own frames are held: file 98 comes before frame 0.
    const Scene early = Sequence(true, 99);
    EXPECT_NE(Error(early, 0).find("no earlier frame has a file to hold"), std::string::npos);
    EXPECT_EQ(SequenceFile(early, 3), (dir / "p_0101.png").string());
}

}  // namespace
}  // namespace tarsivel::host
