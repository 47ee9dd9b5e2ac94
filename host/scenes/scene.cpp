#include "host/scenes/scene.h"

#include "host/protocol/param_store.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <vector>

namespace tarsivel::host {
namespace {

using nlohmann::json;

// A value of the document with the key path that leads to it, for messages.
class Node {
  public:
    Node(const json& value, std::string path, const std::string& file)
        : value_(value), path_(std::move(path)), file_(file) {}

    [[noreturn]] void Fail(const std::string& problem) const {
        throw SceneError(file_ + ": " + (path_.empty() ? "" : path_ + ": ") + problem);
    }

    const json& Value() const { return value_; }
    const std::string& Path() const { return path_; }

    // Checks that this is an object with no key outside `allowed`.
    void RequireObject(std::initializer_list<const char*> allowed) const {
        if (!value_.is_object()) {
            Fail("expected an object");
        }
        for (const auto& [key, unused] : value_.items()) {
            bool known = false;
            for (const char* name : allowed) {
                known = known || key == name;
            }
            if (!known) {
                Child(key).Fail("unknown key");
            }
        }
    }

    bool Has(const char* key) const { return value_.contains(key); }
    Node Child(const std::string& key) const {
        static const json kNull;
        const std::string path = path_.empty() ? key : path_ + "." + key;
        return Node(value_.contains(key) ? value_.at(key) : kNull, path, file_);
    }
    Node Element(std::size_t i) const {
        return Node(value_.at(i), path_ + "[" + std::to_string(i) + "]", file_);
    }

    int64_t Integer(int64_t lo, int64_t hi) const {
        if (!value_.is_number_integer() && !IsWholeFloat()) {
            Fail("expected an integer");
        }
        const double v = value_.get<double>();
        if (v < double(lo) || v > double(hi)) {
            Fail("expected an integer from " + std::to_string(lo) + " to " + std::to_string(hi));
        }
        return value_.is_number_integer() ? value_.get<int64_t>() : int64_t(v);
    }
    double Number() const {
        if (!value_.is_number() || !std::isfinite(value_.get<double>())) {
            Fail("expected a number");
        }
        return value_.get<double>();
    }
    bool Bool() const {
        if (!value_.is_boolean()) {
            Fail("expected true or false");
        }
        return value_.get<bool>();
    }
    std::string String() const {
        if (!value_.is_string()) {
            Fail("expected a string");
        }
        return value_.get<std::string>();
    }
    std::size_t ArraySize() const {
        if (!value_.is_array()) {
            Fail("expected an array");
        }
        return value_.size();
    }

  private:
    bool IsWholeFloat() const {
        return value_.is_number_float() && std::floor(value_.get<double>()) == value_.get<double>();
    }
    const json& value_;
    std::string path_;
    const std::string& file_;
};

bool ParseHexColor(const std::string& text, uint8_t rgba[4]) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') {
        return false;
    }
    rgba[3] = 255;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const std::string pair = text.substr(i + 1, 2);
        if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return false;
        }
        rgba[i / 2] = uint8_t(std::stoul(pair, nullptr, 16));
    }
    return true;
}

bool EndsWithNoCase(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    for (std::size_t i = 0; i < ending.size(); ++i) {
        const char c = text[text.size() - ending.size() + i];
        if (std::tolower(static_cast<unsigned char>(c)) != ending[i]) {
            return false;
        }
    }
    return true;
}

// A sequence's file names: one run of # (the file number) and a PNG or EXR extension.
void CheckSequencePattern(const Node& node, const std::string& pattern) {
    const std::size_t first = pattern.find('#');
    const std::size_t end =
        first == std::string::npos ? first : pattern.find_first_not_of('#', first);
    if (first == std::string::npos) {
        node.Fail(
            "expected a file name with a run of # for the file number, such as "
            "\"plate_####.png\"; a still image is {\"image\": ...}");
    }
    if (end != std::string::npos && pattern.find('#', end) != std::string::npos) {
        node.Fail("more than one run of #; give the file number one run");
    }
    if (!EndsWithNoCase(pattern, ".png") && !EndsWithNoCase(pattern, ".exr")) {
        node.Fail("expected .png or .exr files");
    }
}

// {"image": ...}, {"sequence": ..., "offset": ..., "missing": ...} or {"movie": ...}.
void ReadBackgroundFiles(const Node& background, Scene& scene) {
    background.RequireObject({"image", "sequence", "offset", "missing", "movie"});
    const int given = int(background.Has("image")) + int(background.Has("sequence")) +
                      int(background.Has("movie"));
    if (given != 1) {
        background.Fail("give one of \"image\", \"sequence\" or \"movie\"");
    }
    const std::filesystem::path folder = std::filesystem::path(scene.path).parent_path();
    SceneBackground& bg = scene.background;
    if (background.Has("image")) {
        bg.kind = SceneBackground::Kind::Image;
        bg.imagePath = (folder / background.Child("image").String()).string();
    } else if (background.Has("movie")) {
        bg.kind = SceneBackground::Kind::Movie;
        bg.platePath = (folder / background.Child("movie").String()).string();
    } else {
        const Node sequence = background.Child("sequence");
        const std::string pattern = sequence.String();
        CheckSequencePattern(sequence, pattern);
        bg.kind = SceneBackground::Kind::Sequence;
        bg.platePath = (folder / pattern).string();
    }
    for (const char* key : {"offset", "missing"}) {
        if (background.Has(key) && bg.kind != SceneBackground::Kind::Sequence) {
            background.Child(key).Fail("only a \"sequence\" takes this key");
        }
    }
    if (background.Has("offset")) {
        bg.fileOffset = background.Child("offset").Integer(0, INT32_MAX);
    }
    if (background.Has("missing")) {
        const std::string missing = background.Child("missing").String();
        if (missing != "error" && missing != "hold") {
            background.Child("missing").Fail("expected \"error\" or \"hold\"");
        }
        bg.holdMissing = missing == "hold";
    }
}

void ReadLayer(const Node& layer, Scene& scene) {
    layer.RequireObject({"width", "height", "background"});
    scene.width = int32_t(layer.Child("width").Integer(1, 16384));
    scene.height = int32_t(layer.Child("height").Integer(1, 16384));
    if (!layer.Has("background")) {
        return;
    }
    const Node background = layer.Child("background");
    if (background.Value().is_object()) {
        ReadBackgroundFiles(background, scene);
        return;
    }
    const std::string text = background.String();
    if (text == "transparent") {
        return;
    }
    if (!ParseHexColor(text, scene.background.rgba)) {
        background.Fail(
            "expected \"transparent\", \"#RRGGBB\", \"#RRGGBBAA\", {\"image\": ...}, "
            "{\"sequence\": ...} or {\"movie\": ...}");
    }
    scene.background.kind = SceneBackground::Kind::Colour;
}

void ReadTime(const Node& time, Scene& scene) {
    time.RequireObject({"fps", "time_scale", "time_step", "local_time_step", "frames"});
    const bool scale = time.Has("time_scale");
    if (scale != time.Has("time_step")) {
        time.Fail("\"time_scale\" and \"time_step\" go together: give both or neither");
    }
    if (scale) {
        scene.timeScale = uint32_t(time.Child("time_scale").Integer(1, INT32_MAX));
        scene.timeStep = int32_t(time.Child("time_step").Integer(1, INT32_MAX));
        if (time.Has("fps")) {
            scene.warnings.push_back(scene.path +
                                     ": time.fps: ignored; \"time_scale\" and \"time_step\" set "
                                     "the frame rate");
        }
    } else {
        const double fps = time.Has("fps") ? time.Child("fps").Number() : 30.0;
        // The time scale is fps × 100, a whole number from 1 to 2^31 - 1.
        const double scaled = std::round(fps * 100.0);
        if (scaled < 1 || scaled > double(INT32_MAX)) {
            time.Child("fps").Fail("expected a number from 0.005 to 21474836.47");
        }
        if (scaled != fps * 100.0) {
            scene.warnings.push_back(scene.path +
                                     ": time.fps: " + time.Child("fps").Value().dump() +
                                     " × 100 is not whole; the time scale is rounded to " +
                                     std::to_string(int64_t(scaled)));
        }
        scene.timeScale = uint32_t(scaled);
        scene.timeStep = 100;
    }
    scene.localTimeStep = time.Has("local_time_step")
                              ? int32_t(time.Child("local_time_step").Integer(0, INT32_MAX))
                              : scene.timeStep;
    scene.frames = time.Has("frames") ? int32_t(time.Child("frames").Integer(1, INT32_MAX)) : 1;
    if (int64_t(scene.frames) * scene.timeStep > INT32_MAX) {
        time.Fail("frames × time_step does not fit a signed 32-bit host time");
    }
}

void ReadRender(const Node& render, Scene& scene) {
    render.RequireObject({"depth", "downsample", "renderer"});
    if (render.Has("depth")) {
        const int64_t depth = render.Child("depth").Integer(8, 32);
        if (depth != 8 && depth != 16 && depth != 32) {
            render.Child("depth").Fail("expected 8, 16 or 32");
        }
        scene.depth = int(depth);
    }
    if (render.Has("downsample")) {
        scene.downsample = int32_t(render.Child("downsample").Integer(1, 16384));
    }
    if (render.Has("renderer")) {
        scene.renderer = render.Child("renderer").String();
        if (scene.renderer != "cpu" && scene.renderer != "opencl" && scene.renderer != "cuda") {
            render.Child("renderer").Fail("expected \"cpu\", \"opencl\" or \"cuda\"");
        }
    }
}

double ReadFrame(const Node& frame, const Scene& scene) {
    const double f = frame.Number();
    if (std::abs(std::round(f * scene.timeStep)) > double(INT32_MAX)) {
        frame.Fail("the keyframe's host time does not fit a signed 32-bit number");
    }
    return f;
}

void RequireIncreasing(const Node& list, const std::vector<double>& frames) {
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i] <= frames[i - 1]) {
            list.Element(i).Child("frame").Fail("keyframe frames must strictly increase");
        }
    }
}

void ReadParams(const Node& params, Scene& scene) {
    if (!params.Value().is_object()) {
        params.Fail("expected an object");
    }
    for (const auto& [name, value] : params.Value().items()) {
        SceneParam param;
        param.name = name;
        param.key = "params.\"" + name + "\"";
        const Node node(value, param.key, scene.path);
        if (value.is_array() && !value.empty() && value.front().is_object()) {
            param.animated = true;
            std::vector<double> frames;
            for (std::size_t i = 0; i < node.ArraySize(); ++i) {
                const Node key = node.Element(i);
                key.RequireObject({"frame", "value", "hold"});
                if (!key.Has("value")) {
                    key.Fail("a keyframe needs a \"value\"");
                }
                SceneKeyframe k{ReadFrame(key.Child("frame"), scene), key.Value().at("value"),
                                key.Has("hold") && key.Child("hold").Bool()};
                frames.push_back(k.frame);
                param.keys.push_back(std::move(k));
            }
            RequireIncreasing(node, frames);
        } else if (value.is_array() && value.empty()) {
            node.Fail("expected a value or at least one keyframe");
        } else {
            param.keys.push_back(SceneKeyframe{0, value, false});
        }
        scene.params.push_back(std::move(param));
    }
}

std::array<double, 2> ReadXY(const Node& node) {
    if (node.ArraySize() != 2) {
        node.Fail("expected [x, y]");
    }
    const std::array<double, 2> xy{node.Element(0).Number(), node.Element(1).Number()};
    // Mask vertices reach the effect the way points do, so they share the points' range.
    PF_Fixed unused = 0;
    if (!ToFixed(xy[0], unused) || !ToFixed(xy[1], unused)) {
        node.Fail(kCoordinateRangeProblem);
    }
    return xy;
}

MaskVertex ReadVertex(const Node& node) {
    if (node.Value().is_array()) {
        const auto [x, y] = ReadXY(node);
        return CornerVertex(x, y);
    }
    node.RequireObject({"pos", "in", "out"});
    const auto pos = ReadXY(node.Child("pos"));
    const auto in = ReadXY(node.Child("in"));
    const auto out = ReadXY(node.Child("out"));
    return {pos[0], pos[1], in[0], in[1], out[0], out[1]};
}

std::vector<MaskVertex> ReadVertices(const Node& node) {
    std::vector<MaskVertex> vertices;
    const std::size_t n = node.ArraySize();
    if (n == 0) {
        node.Fail("a mask needs at least one vertex");
    }
    for (std::size_t i = 0; i < n; ++i) {
        vertices.push_back(ReadVertex(node.Element(i)));
    }
    return vertices;
}

void ReadMasks(const Node& masks, Scene& scene) {
    for (std::size_t i = 0; i < masks.ArraySize(); ++i) {
        const Node m = masks.Element(i);
        m.RequireObject({"name", "closed", "vertices", "keyframes"});
        SceneMask mask;
        mask.name = m.Has("name") ? m.Child("name").String() : "Mask " + std::to_string(i + 1);
        if (mask.name == "none") {
            m.Child("name").Fail("\"none\" is not a mask name");
        }
        for (const SceneMask& other : scene.masks) {
            if (other.name == mask.name) {
                m.Child("name").Fail("mask names must be unique: \"" + mask.name + "\"");
            }
        }
        mask.closed = !m.Has("closed") || m.Child("closed").Bool();
        if (m.Has("vertices") == m.Has("keyframes")) {
            m.Fail("give either \"vertices\" or \"keyframes\"");
        }
        if (m.Has("vertices")) {
            mask.keys.push_back({0, ReadVertices(m.Child("vertices"))});
        } else {
            const Node keys = m.Child("keyframes");
            std::vector<double> frames;
            if (keys.ArraySize() == 0) {
                keys.Fail("expected at least one keyframe");
            }
            for (std::size_t k = 0; k < keys.ArraySize(); ++k) {
                const Node key = keys.Element(k);
                key.RequireObject({"frame", "vertices"});
                mask.keys.push_back(
                    {ReadFrame(key.Child("frame"), scene), ReadVertices(key.Child("vertices"))});
                frames.push_back(mask.keys.back().frame);
            }
            RequireIncreasing(keys, frames);
        }
        scene.masks.push_back(std::move(mask));
    }
}

// Follows the parser through the document: refuses duplicate keys and
// nesting deeper than any scene needs (the reader copies and prints values
// recursively, so a hostile depth would exhaust the stack), and knows the key
// being read when the parser itself fails.
class ParseTracker {
  public:
    explicit ParseTracker(const std::string& file) : file_(file) {}

    bool Follow(int depth, json::parse_event_t event, const json& parsed) {
        using Event = json::parse_event_t;
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                if (depth >= kMaxSceneNesting) {
                    throw SceneError(file_ + ": " + Where() + "nested more than " +
                                     std::to_string(kMaxSceneNesting) +
                                     " levels deep; a scene needs only a few");
                }
                levels_.push_back(Level{event == Event::array_start, {}, 0, {}});
                break;
            case Event::key: {
                Level& level = levels_.back();
                level.key = parsed.get<std::string>();
                if (!level.keys.insert(level.key).second) {
                    throw SceneError(file_ + ": " + Where() +
                                     "the key appears twice in its object; give it once");
                }
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels_.pop_back();
                NextElement();
                break;
            case Event::value:
                NextElement();
                break;
        }
        return true;
    }

    // "key.path: " of the value being read, or "" at the top.
    std::string Where() const {
        std::string path;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
            const Level& level = levels_[i];
            if (level.array) {
                path += "[" + std::to_string(level.index) + "]";
            } else if (!level.key.empty()) {
                // Parameter names are quoted, as the reader's messages quote them.
                const bool quoted = i == 1 && !levels_[0].array && levels_[0].key == "params";
                path += (path.empty() ? "" : ".") + (quoted ? "\"" + level.key + "\"" : level.key);
            }
        }
        return path.empty() ? "" : path + ": ";
    }

  private:
    struct Level {
        bool array;
        std::string key;
        std::size_t index;
        std::set<std::string> keys;
    };
    void NextElement() {
        if (!levels_.empty() && levels_.back().array) {
            ++levels_.back().index;
        }
    }
    const std::string& file_;
    std::vector<Level> levels_;
};

// The library's messages start with a tag such as "[json.exception.parse_error.101] ".
std::string WithoutTag(const std::string& message) {
    const std::size_t end = message.find("] ");
    return message.rfind("[json.exception.", 0) == 0 && end != std::string::npos
               ? message.substr(end + 2)
               : message;
}

// The parser takes a NUL byte for the end of the text, so a document followed
// by one and anything at all would pass; JSON allows only white space there.
// A NUL inside the document ends it early, which the parser refuses, so any
// NUL left in a parsed text lies after the document.
void RequireNothingAfterTheDocument(const std::string& text, const std::string& path) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string::npos) {
        return;
    }
    const std::size_t line = std::size_t(std::count(text.begin(), text.begin() + long(nul), '\n'));
    const std::size_t lineStart = text.rfind('\n', nul);
    const std::size_t column = lineStart == std::string::npos ? nul + 1 : nul - lineStart;
    throw SceneError(path + ": not valid JSON: a NUL byte follows the document at line " +
                     std::to_string(line + 1) + ", column " + std::to_string(column) +
                     "; a scene file holds one JSON document and nothing after it but white "
                     "space");
}

// The whole file, refused beyond kMaxSceneFileBytes without reading further.
std::string ReadSceneBytes(const std::string& path) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::string tooLarge = path + ": the scene file is larger than " +
                                 std::to_string(kMaxSceneFileBytes / kMiB) +
                                 " MiB, the most a scene file may hold; a scene is a few kB of "
                                 "JSON: name the scene file";
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) > kMaxSceneFileBytes && !error) {
        throw SceneError(tooLarge);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw SceneError(path + ": cannot open the scene file: " + std::strerror(errno));
    }
    // Devices and pipes have no size to look at: read up to the limit, then
    // look for one byte more.
    std::string text;
    std::vector<char> chunk(std::size_t{1} << 16);
    while (in && text.size() < kMaxSceneFileBytes) {
        in.read(chunk.data(),
                std::streamsize(std::min(chunk.size(), kMaxSceneFileBytes - text.size())));
        text.append(chunk.data(), std::size_t(in.gcount()));
    }
    if (in.bad()) {
        throw SceneError(path + ": cannot read the scene file: " + std::strerror(errno));
    }
    if (in && in.peek() != std::char_traits<char>::eof()) {
        throw SceneError(tooLarge);
    }
    return text;
}

}  // namespace

std::string SceneBackground::Key() const {
    switch (kind) {
        case Kind::Image:
            return "layer.background.image";
        case Kind::Sequence:
            return "layer.background.sequence";
        case Kind::Movie:
            return "layer.background.movie";
        case Kind::Transparent:
        case Kind::Colour:
            break;
    }
    return "layer.background";
}

int32_t Scene::KeyTime(double frame) const {
    return int32_t(std::round(frame * timeStep));
}

Scene ParseScene(const nlohmann::json& document, const std::string& path) {
    Scene scene;
    scene.path = path;
    scene.name = std::filesystem::path(path).stem().string();
    const Node root(document, "", scene.path);
    // "$schema" lets editors find the format's JSON Schema; the reader ignores it.
    root.RequireObject({"$schema", "format", "layer", "time", "render", "params", "masks"});
    if (root.Has("$schema")) {
        root.Child("$schema").String();
    }
    if (root.Child("format").String() != "tarsivel-scene/1") {
        root.Child("format").Fail("expected \"tarsivel-scene/1\"");
    }
    if (!root.Has("layer")) {
        root.Fail("a scene needs a \"layer\"");
    }
    ReadLayer(root.Child("layer"), scene);
    if (root.Has("time")) {
        ReadTime(root.Child("time"), scene);
    } else {
        scene.localTimeStep = scene.timeStep;
    }
    if (root.Has("render")) {
        ReadRender(root.Child("render"), scene);
    }
    // Masks first: "Collision Mask" may name one.
    if (root.Has("masks")) {
        ReadMasks(root.Child("masks"), scene);
    }
    if (root.Has("params")) {
        ReadParams(root.Child("params"), scene);
    }
    return scene;
}

Scene ReadSceneText(const std::string& text, const std::string& path) {
    ParseTracker tracker(path);
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(
            text, [&tracker](int depth, json::parse_event_t event, json& parsed) {
                return tracker.Follow(depth, event, parsed);
            });
    } catch (const nlohmann::json::exception& e) {
        // Parse errors and numbers beyond a double (1e400) alike.
        throw SceneError(path + ": " + tracker.Where() + "not valid JSON: " + WithoutTag(e.what()));
    }
    RequireNothingAfterTheDocument(text, path);
    return ParseScene(document, path);
}

Scene ReadScene(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw SceneError(path + ": is a folder, not a scene file");
    }
    return ReadSceneText(ReadSceneBytes(path), path);
}

}  // namespace tarsivel::host
