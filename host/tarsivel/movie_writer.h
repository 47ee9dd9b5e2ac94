// Movies through ffmpeg, the way compositors take a rendered rope: frames are
// piped in frame order, as raw pixels, to one ffmpeg process found on PATH,
// which writes a temporary file that is put in place only once ffprobe, from
// the same package, finds it whole: ffmpeg can exit 0 with an unfinished file
// (a full disk while it writes the index), so its exit status is not enough.
// - .mov: ProRes 4444 with alpha (10-bit), the scene's frame rate.
// - .mp4: H.264 for previews, composited over black, odd sizes padded with
//   black to even ones, at a chosen constant rate factor.
// Both are tagged as what they hold: BT.709 primaries and matrix, the sRGB
// transfer curve (the layer's values are written as they are) and limited
// range (the YUV conversion is made to it).
#ifndef TARSIVEL_HOST_TARSIVEL_MOVIE_WRITER_H
#define TARSIVEL_HOST_TARSIVEL_MOVIE_WRITER_H

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/protocol/image_world.h"
#include "host/scenes/child_process.h"
#include "host/tarsivel/output_files.h"
#include "host/tarsivel/output_format.h"

namespace tarsivel::cli {

// H.264's constant rate factor: lower is better and larger.
constexpr int kDefaultCrf = 18;
constexpr int kMaxCrf = 51;

struct MovieSettings {
    OutputFormat format;  // kMov or kMp4
    int32_t width;
    int32_t height;
    uint32_t timeScale;  // frames per second: timeScale / timeStep
    int32_t timeStep;
    int first;              // the first frame piped
    int window;             // how far ahead of the next frame to pipe a frame may be rendered
    int crf = kDefaultCrf;  // .mp4: H.264's constant rate factor, 0 (lossless) … 51
};

// Whether movies can be written here: ffmpeg and ffprobe are on PATH (never
// in the Windows build, which pipes to no program). Empty when they can; else
// what is missing, for a user.
std::string WhyNoMovies();

// Every failure is an ExitError naming ffmpeg or the file.
class MovieWriter {
  public:
    // Starts ffmpeg; throws when it is not on PATH or cannot start.
    MovieWriter(const std::string& path, const MovieSettings& settings);
    // Unless finished: stops ffmpeg; no movie and no temporary file remain.
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Waits until `frame` is near enough to the next frame to pipe (memory
    // stays bounded when frames are rendered at once); false once abandoned.
    bool WaitForTurn(int frame);
    // Takes the frame's pixels; pipes it and every waiting successor once its
    // turn comes. Thread-safe.
    void Add(int frame, const host::ImageWorld& image);
    // A frame will never come: stops every wait.
    void Abandon();
    // Ends the input, waits for ffmpeg, checks that the movie is whole (it
    // opens, has every frame at the right size) and puts it in place; else
    // the file it would replace stays and the temporary one is removed.
    void Finish();

  private:
    void PipeLocked(int frame, const std::vector<uint8_t>& bytes);
    [[noreturn]] void FailLocked(const std::string& what);
    // Ends ffmpeg's input and waits for it, first killing it when `kill`; its wait status.
    int StopFfmpeg(bool kill);
    // Throws unless ffprobe finds the temporary file whole.
    void CheckWhole(int frames);

    std::string path_;
    std::string ffprobe_;
    MovieSettings settings_;
    PendingOutput output_;
    int log_ = -1;        // ffmpeg's messages
    host::Child ffmpeg_;  // its input piped from here
    std::mutex mutex_;
    std::condition_variable turn_;
    int next_;
    bool abandoned_ = false;
    std::map<int, std::vector<uint8_t>> waiting_;
};

}  // namespace tarsivel::cli

#endif
