#include "host/tarsivel/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace tarsivel::cli {
namespace {

constexpr int32_t kSheetGap = 4;
// Glyphs are 3 × 5 pixels with a pixel between them and around them.
constexpr int32_t kGlyphWidth = 3;
constexpr int32_t kGlyphHeight = 5;

constexpr std::array<DigitGlyph, 10> kDigits{{
    {0b111, 0b101, 0b101, 0b101, 0b111},  // 0
    {0b010, 0b110, 0b010, 0b010, 0b111},  // 1
    {0b111, 0b001, 0b111, 0b100, 0b111},  // 2
    {0b111, 0b001, 0b111, 0b001, 0b111},  // 3
    {0b101, 0b101, 0b111, 0b001, 0b001},  // 4
    {0b111, 0b100, 0b111, 0b001, 0b111},  // 5
    {0b111, 0b100, 0b111, 0b101, 0b111},  // 6
    {0b111, 0b001, 0b001, 0b001, 0b001},  // 7
    {0b111, 0b101, 0b111, 0b101, 0b111},  // 8
    {0b111, 0b101, 0b111, 0b001, 0b111},  // 9
}};

}  // namespace

const DigitGlyph& GlyphOf(int digit) {
    return kDigits.at(std::size_t(digit));
}

std::vector<int> SheetFrames(int first, int last, int cells) {
    const int count = std::min(cells, last - first + 1);
    std::vector<int> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(
            count == 1 ? first
                       : first + int(std::lround(double(i) * (last - first) / double(count - 1))));
    }
    return frames;
}

ContactSheet::ContactSheet(std::vector<int> frames, int32_t frameWidth, int32_t frameHeight,
                           int32_t cellWidth)
    : frames_(std::move(frames)) {
    const int count = int(frames_.size());
    columns_ = std::max(1, std::min(count, 4));
    const int rows = std::max(1, (count + columns_ - 1) / columns_);
    cellWidth_ = std::min(cellWidth, frameWidth);
    scale_ = double(frameWidth) / double(cellWidth_);
    cellHeight_ = std::max<int32_t>(1, int32_t(std::lround(frameHeight / scale_)));
    // Small beside the picture: about a tenth of the cell's height.
    labelScale_ = std::max<int32_t>(1, cellHeight_ / 64);
    sheet_ = std::make_unique<host::ImageWorld>(columns_ * (cellWidth_ + kSheetGap) + kSheetGap,
                                                rows * (cellHeight_ + kSheetGap) + kSheetGap,
                                                host::PixelDepth::k8);
    sheet_->Fill({1.0f, 0.15f, 0.15f, 0.17f});
    // Cells of frames never placed (--skip-existing) still say which they are.
    for (int i = 0; i < count; ++i) {
        Label(i);
    }
}

ContactSheet::Cell ContactSheet::CellAt(int index) const {
    return {kSheetGap + (index % columns_) * (cellWidth_ + kSheetGap),
            kSheetGap + (index / columns_) * (cellHeight_ + kSheetGap), cellWidth_, cellHeight_};
}

void ContactSheet::Place(int index, const host::ImageWorld& frame) {
    const Cell cell = CellAt(index);
    for (int32_t y = 0; y < cellHeight_; ++y) {
        for (int32_t x = 0; x < cellWidth_; ++x) {
            const int32_t sx = std::min(frame.Width() - 1, int32_t(x * scale_));
            const int32_t sy = std::min(frame.Height() - 1, int32_t(y * scale_));
            const PF_PixelFloat p = frame.ReadFloat(sx, sy);
            const float a = std::clamp(p.alpha, 0.0f, 1.0f);
            const float under = Checker(x, y) * (1.0f - a);
            sheet_->WriteFloat(cell.left + x, cell.top + y,
                               {1.0f, p.red * a + under, p.green * a + under, p.blue * a + under});
        }
    }
    Label(index);
}

// The frame number in the cell's top-left corner, cut off where the cell ends.
void ContactSheet::Label(int index) {
    const Cell cell = CellAt(index);
    const std::string digits = std::to_string(frames_.at(std::size_t(index)));
    const int32_t s = labelScale_;
    const int32_t width = (int32_t(digits.size()) * (kGlyphWidth + 1) + 1) * s;
    const int32_t height = (kGlyphHeight + 2) * s;
    for (int32_t y = 0; y < std::min(height, cell.height); ++y) {
        for (int32_t x = 0; x < std::min(width, cell.width); ++x) {
            // Which glyph pixel (gx, gy) of which digit this is, if any.
            const int32_t gx = x / s - 1;
            const int32_t gy = y / s - 1;
            const int32_t digit = gx / (kGlyphWidth + 1);
            const int32_t column = gx % (kGlyphWidth + 1);
            const bool ink = gx >= 0 && gy >= 0 && gy < kGlyphHeight && column < kGlyphWidth &&
                             digit < int32_t(digits.size()) &&
                             ((GlyphOf(digits[std::size_t(digit)] - '0')[std::size_t(gy)] >>
                               (kGlyphWidth - 1 - column)) &
                              1) != 0;
            const float v = ink ? kInk : kBox;
            sheet_->WriteFloat(cell.left + x, cell.top + y, {1.0f, v, v, v});
        }
    }
}

}  // namespace tarsivel::cli
