// The contact sheet: one picture of a whole animation, evenly spaced frames
// in a grid, each cell labelled with its frame number in its top-left corner.
#ifndef TARSIVEL_HOST_TARSIVEL_CONTACT_SHEET_H
#define TARSIVEL_HOST_TARSIVEL_CONTACT_SHEET_H

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/protocol/image_world.h"

namespace tarsivel::cli {

// Which of `first` … `last` go on a sheet of at most `cells` frames.
std::vector<int> SheetFrames(int first, int last, int cells);

// The digits of the labels, 3 × 5 pixels: a row a byte, its bit 2 the left.
using DigitGlyph = std::array<uint8_t, 5>;
const DigitGlyph& GlyphOf(int digit);

class ContactSheet {
  public:
    // A grid of a cell for each of `frames` (their frame numbers, which the
    // labels show), each frame shrunk to fit `cellWidth` pixels across.
    ContactSheet(std::vector<int> frames, int32_t frameWidth, int32_t frameHeight,
                 int32_t cellWidth = 240);

    // Places a frame (any depth) into cell `index`, over a checkerboard so
    // transparency shows. Safe to call from several threads for different cells.
    void Place(int index, const host::ImageWorld& frame);
    const host::ImageWorld& Image() const { return *sheet_; }

    // Where cell `index` lies on the sheet.
    struct Cell {
        int32_t left;
        int32_t top;
        int32_t width;
        int32_t height;
    };
    Cell CellAt(int index) const;
    // The label's pixel size: glyph pixels are this many sheet pixels across.
    int32_t LabelScale() const { return labelScale_; }

    // The label's colours: the glyphs, over a dark box that keeps them
    // readable on any frame.
    static constexpr float kInk = 1.0f;
    static constexpr float kBox = 0.1f;

  private:
    static float Checker(int32_t x, int32_t y) { return ((x / 8 + y / 8) % 2) ? 0.8f : 0.6f; }
    void Label(int index);

    std::vector<int> frames_;
    int columns_;
    int32_t cellWidth_;
    int32_t cellHeight_;
    double scale_;
    int32_t labelScale_;
    std::unique_ptr<host::ImageWorld> sheet_;
};

}  // namespace tarsivel::cli

#endif
