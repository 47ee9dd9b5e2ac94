#include "host/tarsivel/contact_sheet.h"

#include <algorithm>
#include <cmath>

namespace tarsivel::cli {
namespace {

constexpr int32_t kGap = 4;

float Checker(int32_t x, int32_t y) {
    return ((x / 8 + y / 8) % 2) ? 0.8f : 0.6f;
}

}  // namespace

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

ContactSheet::ContactSheet(int count, int32_t frameWidth, int32_t frameHeight, int32_t cellWidth) {
    columns_ = std::max(1, std::min(count, 4));
    const int rows = std::max(1, (count + columns_ - 1) / columns_);
    cellWidth_ = std::min(cellWidth, frameWidth);
    scale_ = double(frameWidth) / double(cellWidth_);
    cellHeight_ = std::max<int32_t>(1, int32_t(std::lround(frameHeight / scale_)));
    sheet_ = std::make_unique<host::ImageWorld>(columns_ * (cellWidth_ + kGap) + kGap,
                                                rows * (cellHeight_ + kGap) + kGap,
                                                host::PixelDepth::k8);
    sheet_->Fill({1.0f, 0.15f, 0.15f, 0.17f});
}

void ContactSheet::Place(int index, const host::ImageWorld& frame) {
    const int32_t left = kGap + (index % columns_) * (cellWidth_ + kGap);
    const int32_t top = kGap + (index / columns_) * (cellHeight_ + kGap);
    for (int32_t y = 0; y < cellHeight_; ++y) {
        for (int32_t x = 0; x < cellWidth_; ++x) {
            const int32_t sx = std::min(frame.Width() - 1, int32_t(x * scale_));
            const int32_t sy = std::min(frame.Height() - 1, int32_t(y * scale_));
            const PF_PixelFloat p = frame.ReadFloat(sx, sy);
            const float a = std::clamp(p.alpha, 0.0f, 1.0f);
            const float under = Checker(x, y) * (1.0f - a);
            sheet_->WriteFloat(left + x, top + y,
                               {1.0f, p.red * a + under, p.green * a + under, p.blue * a + under});
        }
    }
}

}  // namespace tarsivel::cli
