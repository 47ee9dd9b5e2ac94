// One picture of a whole animation: evenly spaced frames in a grid.
#ifndef TARSIVEL_HOST_TARSIVEL_CONTACT_SHEET_H
#define TARSIVEL_HOST_TARSIVEL_CONTACT_SHEET_H

#include <memory>
#include <vector>

#include "host/protocol/image_world.h"

namespace tarsivel::cli {

// Which of `first` … `last` go on a sheet of at most `cells` frames.
std::vector<int> SheetFrames(int first, int last, int cells);

class ContactSheet {
  public:
    // A grid of `count` cells, each frame shrunk to fit `cellWidth` pixels across.
    ContactSheet(int count, int32_t frameWidth, int32_t frameHeight, int32_t cellWidth = 240);

    // Places a frame (any depth) into cell `index`, over a checkerboard so
    // transparency shows. Safe to call from several threads for different cells.
    void Place(int index, const host::ImageWorld& frame);
    const host::ImageWorld& Image() const { return *sheet_; }

  private:
    int columns_;
    int32_t cellWidth_;
    int32_t cellHeight_;
    double scale_;
    std::unique_ptr<host::ImageWorld> sheet_;
};

}  // namespace tarsivel::cli

#endif
