// The files a layer's background comes from: a still image, the frames of an
// image sequence (PNG or EXR), or a movie decoded through ffmpeg frame for
// frame. Every image is read at the layer's full size as 32-bit float, and
// its size is checked against the layer's from the file's header before any
// pixel is decoded, so a header that claims a huge image costs nothing.
#ifndef TARSIVEL_HOST_SCENES_PLATE_H
#define TARSIVEL_HOST_SCENES_PLATE_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/protocol/image_world.h"
#include "host/scenes/child_process.h"
#include "host/scenes/scene.h"

namespace tarsivel::host {

// A PNG (8 or 16 bits) or EXR file of exactly the layer's size, 32-bit float,
// straight alpha (EXR's premultiplied colour is divided by alpha). Throws
// SceneError naming the scene, `scene.background.Key()` and the file.
std::unique_ptr<ImageWorld> ReadLayerImage(const Scene& scene, const std::string& path);

// The file that frame `frame` of a sequence background shows: file number
// frame + offset, or with "hold" the nearest earlier frame's that exists.
// Throws SceneError naming the file when there is none.
std::string SequenceFile(const Scene& scene, int32_t frame);

// A movie background: frame n of the scene is the movie's frame n, whatever
// the movie's rate. One ffmpeg process decodes the movie in order; frames
// asked for out of order (several frames rendered at once) wait, decoded, in
// a small store, and a frame before those decoded starts the decoder again.
class MoviePlate {
  public:
    // Probes the movie with ffprobe: its size must be the layer's and it must
    // have the scene's frames; a rate other than the scene's is told to
    // `warn`. Throws SceneError.
    MoviePlate(const Scene& scene, const std::function<void(const std::string&)>& warn);
    ~MoviePlate();
    MoviePlate(const MoviePlate&) = delete;
    MoviePlate& operator=(const MoviePlate&) = delete;

    // The movie's frame `frame`, 32-bit float at the layer's size. Thread-safe.
    // Throws SceneError.
    std::unique_ptr<ImageWorld> Frame(int32_t frame);

  private:
    std::vector<uint8_t> DecodedLocked(int32_t frame);
    void StartLocked(int32_t from);
    void StopLocked();
    [[noreturn]] void FailLocked(const std::string& problem);

    const Scene& scene_;
    bool wide_ = false;  // more than 8 bits a sample: decoded as rgba64le, else rgba
    std::size_t frameBytes_;
    std::size_t keep_;  // frames held decoded ahead at most
    std::mutex mutex_;
    Child decoder_;     // ffmpeg, its output piped here
    int log_ = -1;      // ffmpeg's messages
    int32_t next_ = 0;  // the frame the pipe gives next
    std::map<int32_t, std::vector<uint8_t>> ahead_;
};

// For the memory estimate: what a plate frame holds while its frame renders
// (the decoded layer-size image, the decoder's buffer and the frame's own
// background at the output size), and what all frames share (a movie's frames
// held decoded ahead). Both 0 for still backgrounds.
uint64_t PlateBytesPerFrame(const Scene& scene, int depth, bool gpu);
uint64_t PlateSharedBytes(const Scene& scene);

}  // namespace tarsivel::host

#endif
