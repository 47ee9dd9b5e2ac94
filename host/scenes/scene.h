// A scene file: the layer, its timing, how to render it, parameter values and
// keyframes by display name, and the layer's masks. Reading checks the shape
// of everything and rejects unknown keys; what the values mean for the
// effect's declared parameters is checked when the scene is applied.
#ifndef TARSIVEL_HOST_SCENES_SCENE_H
#define TARSIVEL_HOST_SCENES_SCENE_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/protocol/mask_store.h"

namespace tarsivel::host {

// A scene that cannot be used; the message names the file and the key.
class SceneError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the layer holds under the rope: nothing, a colour, a still image, or a
// plate (footage) that changes with the frame: an image sequence or a movie.
struct SceneBackground {
    enum class Kind { Transparent, Colour, Image, Sequence, Movie } kind = Kind::Transparent;
    uint8_t rgba[4] = {0, 0, 0, 0};
    std::string imagePath;  // Image: resolved against the scene's folder
    // Sequence: a path with one run of # for the file number, zero-padded to
    // the run's width; Movie: the movie file. Resolved against the scene's folder.
    std::string platePath;
    int64_t fileOffset = 0;    // Sequence: frame f shows file number f + fileOffset
    bool holdMissing = false;  // Sequence: a missing file shows the nearest earlier frame's
    std::string Key() const;   // for messages: layer.background.sequence, …
};

struct SceneKeyframe {
    double frame = 0;
    nlohmann::json value;
    bool hold = false;
};

struct SceneParam {
    std::string name;
    std::string key;  // for messages: params."Name"
    bool animated = false;
    std::vector<SceneKeyframe> keys;  // one key at frame 0 when static
};

struct SceneMaskKey {
    double frame = 0;
    std::vector<MaskVertex> vertices;
};

struct SceneMask {
    std::string name;
    bool closed = true;
    std::vector<SceneMaskKey> keys;
};

struct Scene {
    std::string path;
    std::string name;  // the file's stem
    int32_t width = 0;
    int32_t height = 0;
    SceneBackground background;
    uint32_t timeScale = 3000;
    int32_t timeStep = 100;
    int32_t localTimeStep = 100;
    int32_t frames = 1;
    int depth = 8;
    int32_t downsample = 1;
    std::string renderer = "cpu";
    std::vector<SceneParam> params;
    std::vector<SceneMask> masks;
    std::vector<std::string> warnings;

    int32_t OutputWidth() const { return (width + downsample - 1) / downsample; }
    int32_t OutputHeight() const { return (height + downsample - 1) / downsample; }
    // Host time of frame f (fits 32 bits: checked when the scene is read).
    int32_t FrameTime(int32_t frame) const { return frame * timeStep; }
    // Host time of a keyframe at a (possibly fractional) frame, rounded to nearest.
    int32_t KeyTime(double frame) const;
};

// What is wrong with a point or mask vertex the host cannot hold (16.16 fixed
// point, in layer pixels).
inline constexpr const char* kCoordinateRangeProblem =
    "expected x and y from -32768 to 32767.99 pixels";

// The deepest nesting of arrays and objects a scene file may have.
constexpr int kMaxSceneNesting = 64;

// The largest scene file read (a scene is a few kB; this keeps a device such
// as /dev/zero or a mistaken multi-gigabyte file from filling memory).
constexpr std::size_t kMaxSceneFileBytes = std::size_t{256} << 20;

// Throws SceneError. Besides the scene's own rules, the file may hold at most
// kMaxSceneFileBytes, its text may nest at most kMaxSceneNesting levels, may
// not repeat a key in an object and may hold nothing but white space after
// the document.
Scene ReadScene(const std::string& path);
Scene ReadSceneText(const std::string& text, const std::string& path);
Scene ParseScene(const nlohmann::json& document, const std::string& path);

}  // namespace tarsivel::host

#endif
