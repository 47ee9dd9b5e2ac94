#include "cpu_blend.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "channel_math.h"
#include "coverage_map.h"

namespace tarsivel {
namespace {

// One pixel's four channels in memory order (alpha, red, green, blue).
template <class Channel>
struct Pixel {
    Channel channel[4];
};

template <class Channel>
void BlendPixel(Pixel<Channel>& pixel, double o, const double (&rope)[3]) {
    constexpr double kFull = FullValue<Channel>();
    const double keep = 1.0 - o;
    const double a = UnitValue(pixel.channel[kAlpha]);
    const double alphaOut = a * keep + o;
    pixel.channel[kAlpha] = ChannelFromDouble<Channel>(alphaOut * kFull);
    if (!(alphaOut > 0.0)) {
        return;
    }
    const ArgbChannel channels[3] = {kRed, kGreen, kBlue};
    for (int n = 0; n < 3; ++n) {
        const double old = UnitValue(pixel.channel[channels[n]]);
        const double blended = (old * a * keep + rope[n] * o) / alphaOut;
        pixel.channel[channels[n]] = ChannelFromDouble<Channel>(blended * kFull);
    }
}

// Blends one run of pixels. A pixel with the same old value and coverage as
// the last one blended gets the same result without the arithmetic: the
// rope's core and a plain background repeat both, pixel after pixel.
template <class Channel>
class RowBlender {
  public:
    explicit RowBlender(const RopeColour& colour)
        : opacity_(colour.alpha), rope_{colour.red, colour.green, colour.blue} {}

    void Blend(const float* coverage, int32_t count, uint8_t* pixels) {
        for (int32_t j = 0; j < count; ++j) {
            const float cov = coverage[j];
            if (cov <= 0.0f) {
                continue;
            }
            uint8_t* address = pixels + static_cast<std::ptrdiff_t>(j) * sizeof(Pixel<Channel>);
            Pixel<Channel> pixel;
            std::memcpy(&pixel, address, sizeof pixel);
            if (!(valid_ && cov == lastCoverage_ &&
                  std::memcmp(&pixel, &lastBefore_, sizeof pixel) == 0)) {
                lastBefore_ = pixel;
                lastCoverage_ = cov;
                BlendPixel(pixel, opacity_ * static_cast<double>(cov), rope_);
                lastAfter_ = pixel;
                valid_ = true;
            }
            std::memcpy(address, &lastAfter_, sizeof pixel);
        }
    }

  private:
    double opacity_;
    double rope_[3];
    bool valid_ = false;
    float lastCoverage_ = 0.0f;
    Pixel<Channel> lastBefore_{};
    Pixel<Channel> lastAfter_{};
};

}  // namespace

template <class Channel>
void BlendRopeColour(const float* coverage, const ArgbView<Channel>& output, RopeColour colour) {
    if (output.Empty()) {
        return;
    }
    RowBlender<Channel> blender(colour);
    for (int32_t i = 0; i < output.height; ++i) {
        blender.Blend(coverage + static_cast<std::ptrdiff_t>(i) * output.width, output.width,
                      output.ChannelAddress(0, i, kAlpha));
    }
}

template <class Channel>
void BlendRopeColour(const CoverageTiles& coverage, const ArgbView<Channel>& output,
                     RopeColour colour) {
    if (output.Empty()) {
        return;
    }
    RowBlender<Channel> blender(colour);
    coverage.ForEachTile(
        [&](int32_t column0, int32_t row0, int32_t columns, int32_t rows, const float* tile) {
            for (int32_t r = 0; r < rows && row0 + r < output.height; ++r) {
                blender.Blend(tile + static_cast<std::ptrdiff_t>(r) * CoverageTiles::kSide,
                              std::min(columns, output.width - column0),
                              output.ChannelAddress(column0, row0 + r, kAlpha));
            }
        });
}

template void BlendRopeColour<uint8_t>(const float*, const ArgbView<uint8_t>&, RopeColour);
template void BlendRopeColour<uint16_t>(const float*, const ArgbView<uint16_t>&, RopeColour);
template void BlendRopeColour<float>(const float*, const ArgbView<float>&, RopeColour);
template void BlendRopeColour<uint8_t>(const CoverageTiles&, const ArgbView<uint8_t>&, RopeColour);
template void BlendRopeColour<uint16_t>(const CoverageTiles&, const ArgbView<uint16_t>&,
                                        RopeColour);
template void BlendRopeColour<float>(const CoverageTiles&, const ArgbView<float>&, RopeColour);

}  // namespace tarsivel
