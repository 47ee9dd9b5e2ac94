// An image file whose header gives another size than the one required,
// refused once the header is read, before any pixel is decoded or any memory
// is set aside for them. It keeps the file's size for callers that word the
// refusal their own way.
#ifndef TARSIVEL_HOST_IMAGES_IMAGE_SIZE_ERROR_H
#define TARSIVEL_HOST_IMAGES_IMAGE_SIZE_ERROR_H

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarsivel::host {

class ImageSizeError : public std::runtime_error {
  public:
    ImageSizeError(const std::string& path, int64_t width, int64_t height, int64_t requiredWidth,
                   int64_t requiredHeight)
        : std::runtime_error(path + " is " + std::to_string(width) + " × " +
                             std::to_string(height) + " pixels, not " +
                             std::to_string(requiredWidth) + " × " +
                             std::to_string(requiredHeight)),
          width_(width),
          height_(height) {}

    // The file's size, as its header gives it.
    int64_t Width() const { return width_; }
    int64_t Height() const { return height_; }

  private:
    int64_t width_;
    int64_t height_;
};

}  // namespace tarsivel::host

#endif
