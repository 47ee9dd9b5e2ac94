#include "host/images/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <half.h>

#include <climits>
#include <cstring>
#include <exception>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "host/images/file_bytes.h"

namespace tarsivel::host {
namespace {

// One plane per channel in the file's order, of `Sample` (float or half).
template <class Sample>
struct PlanarChannels {
    std::vector<Sample> red, green, blue, alpha;
};

template <class Sample>
PlanarChannels<Sample> Planes(const ImageWorld& world) {
    const size_t count = static_cast<size_t>(world.Width()) * static_cast<size_t>(world.Height());
    PlanarChannels<Sample> planes{std::vector<Sample>(count), std::vector<Sample>(count),
                                  std::vector<Sample>(count), std::vector<Sample>(count)};
    size_t n = 0;
    for (int32_t y = 0; y < world.Height(); ++y) {
        for (int32_t x = 0; x < world.Width(); ++x, ++n) {
            // Associated alpha, as the format defines it.
            const PF_PixelFloat p = world.ReadFloat(x, y);
            planes.red[n] = Sample(p.red * p.alpha);
            planes.green[n] = Sample(p.green * p.alpha);
            planes.blue[n] = Sample(p.blue * p.alpha);
            planes.alpha[n] = Sample(p.alpha);
        }
    }
    return planes;
}

// The file grows in memory; the writer seeks back to fill in its offsets.
class MemoryStream : public Imf::OStream {
  public:
    MemoryStream() : Imf::OStream("memory") {}
    void write(const char c[], int n) override {
        if (position_ + size_t(n) > bytes_.size()) {
            bytes_.resize(position_ + size_t(n));
        }
        std::memcpy(bytes_.data() + position_, c, size_t(n));
        position_ += size_t(n);
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t pos) override { position_ = size_t(pos); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

// The rate as the smallest fraction; one that cannot be held exactly is rounded.
Imf::Rational FramesPerSecond(const ExrFrameRate& rate) {
    const uint64_t divisor = std::gcd(uint64_t(rate.timeScale), uint64_t(rate.timeStep));
    const uint64_t n = rate.timeScale / divisor;
    const uint64_t d = uint64_t(rate.timeStep) / divisor;
    if (n <= uint64_t(INT_MAX)) {
        return Imf::Rational(int(n), int(d));
    }
    return Imf::Rational(double(rate.timeScale) / double(rate.timeStep));
}

template <class Sample>
std::vector<uint8_t> Encode(const ImageWorld& world, Imf::PixelType type,
                            std::optional<ExrFrameRate> rate) {
    PlanarChannels<Sample> planes = Planes<Sample>(world);
    Imf::Header header(world.Width(), world.Height());
    // The defaults are the BT.709 (sRGB) primaries with a D65 white.
    Imf::addChromaticities(header, Imf::Chromaticities());
    if (rate && rate->timeScale > 0 && rate->timeStep > 0) {
        Imf::addFramesPerSecond(header, FramesPerSecond(*rate));
    }
    Imf::FrameBuffer frame;
    const size_t rowBytes = sizeof(Sample) * static_cast<size_t>(world.Width());
    for (auto [name, plane] : {std::pair{"R", &planes.red}, std::pair{"G", &planes.green},
                               std::pair{"B", &planes.blue}, std::pair{"A", &planes.alpha}}) {
        header.channels().insert(name, Imf::Channel(type));
        frame.insert(name, Imf::Slice(type, reinterpret_cast<char*>(plane->data()), sizeof(Sample),
                                      rowBytes));
    }
    MemoryStream stream;
    {
        Imf::OutputFile file(stream, header);
        file.setFrameBuffer(frame);
        file.writePixels(world.Height());
    }
    return stream.Take();
}

// A failure Decode words itself, naming the file.
struct ExrReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Width or height of a window; 0 for an empty or inverted one.
int64_t Extent(int min, int max) {
    return max < min ? 0 : int64_t(max) - int64_t(min) + 1;
}

std::unique_ptr<ImageWorld> Decode(const std::string& path, PixelDepth depth, int32_t maxSide) {
    Imf::InputFile file(path.c_str());
    const Imath::Box2i display = file.header().displayWindow();
    const Imath::Box2i data = file.header().dataWindow();
    const int64_t width = Extent(display.min.x, display.max.x);
    const int64_t height = Extent(display.min.y, display.max.y);
    const int64_t dataWidth = Extent(data.min.x, data.max.x);
    // The header's sizes are checked before any pixel memory is taken.
    if (width < 1 || height < 1 || width > maxSide || height > maxSide) {
        throw ExrReadError(path + " is " + std::to_string(width) + " × " + std::to_string(height) +
                           " pixels; at most " + std::to_string(maxSide) + " × " +
                           std::to_string(maxSide) + " can be read");
    }
    if (dataWidth > 4 * int64_t(maxSide)) {
        throw ExrReadError(path + ": its data window is " + std::to_string(dataWidth) +
                           " pixels wide; at most " + std::to_string(4 * int64_t(maxSide)) +
                           " can be read");
    }
    auto world = std::make_unique<ImageWorld>(int32_t(width), int32_t(height), depth);
    world->Fill({0.0f, 0.0f, 0.0f, 0.0f});
    const Imf::ChannelList& channels = file.header().channels();
    const bool grey = channels.findChannel("R") == nullptr && channels.findChannel("Y") != nullptr;
    // One row of the data window at a time: a y stride of 0 lays every row over the last.
    std::vector<float> r(size_t(std::max<int64_t>(dataWidth, 1)));
    std::vector<float> g(r.size()), b(r.size()), a(r.size());
    Imf::FrameBuffer frame;
    const auto slice = [&](std::vector<float>& plane, double fill) {
        // The library addresses pixel (x, y) at base + x * xStride + y * yStride.
        const uintptr_t base = reinterpret_cast<uintptr_t>(plane.data()) -
                               uintptr_t(intptr_t(data.min.x)) * sizeof(float);
        return Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(base), sizeof(float), 0, 1, 1, fill);
    };
    frame.insert(grey ? "Y" : "R", slice(r, 0.0));
    if (!grey) {
        frame.insert("G", slice(g, 0.0));
        frame.insert("B", slice(b, 0.0));
    }
    frame.insert("A", slice(a, 1.0));
    file.setFrameBuffer(frame);
    const int top = std::max(data.min.y, display.min.y);
    const int bottom = std::min(data.max.y, display.max.y);
    const int left = std::max(data.min.x, display.min.x);
    const int right = std::min(data.max.x, display.max.x);
    for (int y = top; y <= bottom; ++y) {
        file.readPixels(y);
        for (int x = left; x <= right; ++x) {
            const size_t i = size_t(x - data.min.x);
            const float alpha = a[i];
            const float red = r[i];
            const float green = grey ? r[i] : g[i];
            const float blue = grey ? r[i] : b[i];
            // Straight alpha again; with no coverage there is nothing to divide by.
            const float by = alpha != 0.0f ? alpha : 1.0f;
            world->WriteFloat(x - display.min.x, y - display.min.y,
                              {alpha, red / by, green / by, blue / by});
        }
    }
    return world;
}

}  // namespace

std::vector<uint8_t> EncodeExr(const ImageWorld& world, ExrChannels channels,
                               std::optional<ExrFrameRate> rate) {
    if (world.Width() <= 0 || world.Height() <= 0) {
        throw std::runtime_error("cannot encode an empty image as OpenEXR");
    }
    try {
        return channels == ExrChannels::kHalf ? Encode<half>(world, Imf::HALF, rate)
                                              : Encode<float>(world, Imf::FLOAT, rate);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cannot encode an OpenEXR image: ") + e.what());
    }
}

void WriteExr(const ImageWorld& world, const std::string& path, ExrChannels channels,
              std::optional<ExrFrameRate> rate) {
    WriteFileBytes(path, EncodeExr(world, channels, rate));
}

std::unique_ptr<ImageWorld> ReadExr(const std::string& path, PixelDepth depth, int32_t maxSide) {
    try {
        return Decode(path, depth, maxSide);
    } catch (const ExrReadError&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": cannot read it as OpenEXR: " + e.what());
    }
}

}  // namespace tarsivel::host
