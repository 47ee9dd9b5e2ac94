#include "host/images/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <half.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <fstream>
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

// A failure the reader words itself, naming the file.
struct ExrReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int32_t LittleEndian32(const char* bytes) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | uint8_t(bytes[i]);
    }
    int32_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
}

// A header's window, both corners inside it.
struct Window {
    int32_t minX = 0, minY = 0, maxX = -1, maxY = -1;

    // 0 for an empty or inverted window.
    int64_t Width() const { return maxX < minX ? 0 : int64_t(maxX) - minX + 1; }
    int64_t Height() const { return maxY < minY ? 0 : int64_t(maxY) - minY + 1; }
    bool Inside(const Window& outer) const {
        return minX >= outer.minX && minY >= outer.minY && maxX <= outer.maxX && maxY <= outer.maxY;
    }
    bool Is(const Imath::Box2i& box) const {
        return box.min.x == minX && box.min.y == minY && box.max.x == maxX && box.max.y == maxY;
    }
};

struct ExrWindows {
    Window display;
    Window data;
};

bool ReadName(std::istream& in, std::string& name) {
    name.clear();
    for (char c; in.get(c);) {
        if (c == '\0') {
            return true;
        }
        if (name.size() >= 255) {
            return false;
        }
        name.push_back(c);
    }
    return false;
}

// The header's windows, read without the library, which sizes its tables from
// them before anyone could look at them: a small file that claims a huge
// picture would cost its memory on opening. Deep and multi-part files, which
// have more headers than this one, are refused.
ExrWindows ReadWindows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char start[8];
    if (!in.read(start, sizeof start)) {
        throw ExrReadError(path + ": " +
                           (in.is_open() ? std::string("not an EXR file")
                                         : std::string("cannot open it: ") + std::strerror(errno)));
    }
    if (LittleEndian32(start) != 20000630) {
        throw ExrReadError(path + ": not an EXR file");
    }
    const int32_t flags = LittleEndian32(start + 4);
    if ((flags & 0x800) != 0 || (flags & 0x1000) != 0) {
        throw ExrReadError(path +
                           ": a deep or multi-part EXR file; give a single-part scan-line or "
                           "tiled one");
    }
    ExrWindows windows;
    bool haveDisplay = false;
    bool haveData = false;
    std::string name;
    std::string type;
    while (ReadName(in, name) && !name.empty()) {
        char sizeBytes[4];
        if (!ReadName(in, type) || !in.read(sizeBytes, 4)) {
            break;
        }
        const int32_t size = LittleEndian32(sizeBytes);
        if (size < 0) {
            break;
        }
        if ((name == "displayWindow" || name == "dataWindow") && type == "box2i" && size == 16) {
            char box[16];
            if (!in.read(box, sizeof box)) {
                break;
            }
            const bool display = name == "displayWindow";
            Window& window = display ? windows.display : windows.data;
            window = {LittleEndian32(box), LittleEndian32(box + 4), LittleEndian32(box + 8),
                      LittleEndian32(box + 12)};
            (display ? haveDisplay : haveData) = true;
        } else if (!in.seekg(size, std::ios::cur)) {
            break;
        }
    }
    if (!haveDisplay || !haveData) {
        throw ExrReadError(path + ": a damaged EXR header (no display or data window)");
    }
    return windows;
}

// Rows read at once: enough for the library's blocks of lines, few enough that
// the planes stay small beside the picture.
constexpr int64_t kBandSamples = int64_t(1) << 18;

// The display window of a file whose windows have been checked, into a new
// world of `depth`; pixels outside the data window are transparent.
std::unique_ptr<ImageWorld> Decode(const std::string& path, PixelDepth depth,
                                   const ExrWindows& windows) {
    const Window& display = windows.display;
    const Window& data = windows.data;
    Imf::InputFile file(path.c_str());
    if (!display.Is(file.header().displayWindow()) || !data.Is(file.header().dataWindow())) {
        throw ExrReadError(path + ": a damaged EXR header");
    }
    auto world =
        std::make_unique<ImageWorld>(int32_t(display.Width()), int32_t(display.Height()), depth);
    world->Fill({0.0f, 0.0f, 0.0f, 0.0f});
    const int top = std::max(data.minY, display.minY);
    const int bottom = std::min(data.maxY, display.maxY);
    const int left = std::max(data.minX, display.minX);
    const int right = std::min(data.maxX, display.maxX);
    if (top > bottom || left > right) {
        return world;
    }
    const Imf::ChannelList& channels = file.header().channels();
    // Luminance alone is grey.
    const bool grey = channels.findChannel("R") == nullptr &&
                      channels.findChannel("G") == nullptr &&
                      channels.findChannel("B") == nullptr && channels.findChannel("Y") != nullptr;
    const int64_t width = data.Width();
    const int64_t band = std::max<int64_t>(1, kBandSamples / width);
    std::vector<float> planes[4];
    for (std::vector<float>& plane : planes) {
        plane.resize(std::size_t(width * std::min<int64_t>(band, bottom - top + 1)));
    }
    for (int first = top; first <= bottom; first = int(first + band)) {
        const int last = int(std::min<int64_t>(bottom, first + band - 1));
        // The planes hold rows first … last of the data window's full width.
        const Imath::Box2i rows({data.minX, first}, {data.maxX, last});
        Imf::FrameBuffer frame;
        const char* names[4] = {grey ? "Y" : "R", "G", "B", "A"};
        for (int c = 0; c < 4; ++c) {
            if (!grey || c == 0 || c == 3) {
                frame.insert(names[c], Imf::Slice::Make(Imf::FLOAT, planes[c].data(), rows, 0, 0, 1,
                                                        1, c == 3 ? 1.0 : 0.0));
            }
        }
        file.setFrameBuffer(frame);
        file.readPixels(first, last);
        for (int y = first; y <= last; ++y) {
            for (int x = left; x <= right; ++x) {
                const std::size_t i = std::size_t(int64_t(y - first) * width + (x - data.minX));
                const float alpha = planes[3][i];
                const float red = planes[0][i];
                const float green = grey ? red : planes[1][i];
                const float blue = grey ? red : planes[2][i];
                // Straight alpha again; with no coverage there is nothing to divide by.
                const float by = alpha != 0.0f ? alpha : 1.0f;
                world->WriteFloat(x - display.minX, y - display.minY,
                                  {alpha, red / by, green / by, blue / by});
            }
        }
    }
    return world;
}

std::unique_ptr<ImageWorld> Read(const std::string& path, PixelDepth depth,
                                 const ExrWindows& windows) {
    try {
        return Decode(path, depth, windows);
    } catch (const ExrReadError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": cannot read it as OpenEXR: " + e.what());
    }
}

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " × " + std::to_string(height);
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
    const ExrWindows windows = ReadWindows(path);
    const Window& display = windows.display;
    if (display.Width() < 1 || display.Height() < 1 || display.Width() > maxSide ||
        display.Height() > maxSide) {
        throw ExrReadError(path + " is " + SizeText(display.Width(), display.Height()) +
                           " pixels; at most " + SizeText(maxSide, maxSide) + " can be read");
    }
    // The library's tables follow the data window, which may reach past the display window.
    const int64_t dataSide = std::max(windows.data.Width(), windows.data.Height());
    if (dataSide > 4 * int64_t(maxSide)) {
        throw ExrReadError(path + ": its data window is " +
                           SizeText(windows.data.Width(), windows.data.Height()) +
                           " pixels; at most " +
                           SizeText(4 * int64_t(maxSide), 4 * int64_t(maxSide)) + " can be read");
    }
    return Read(path, depth, windows);
}

std::unique_ptr<ImageWorld> ReadExrOfSize(const std::string& path, PixelDepth depth, int32_t width,
                                          int32_t height) {
    const ExrWindows windows = ReadWindows(path);
    const Window& display = windows.display;
    if (display.Width() != width || display.Height() != height) {
        throw ImageSizeError(path, display.Width(), display.Height(), width, height);
    }
    const Window& data = windows.data;
    if (!data.Inside(display) || data.Width() < 1 || data.Height() < 1) {
        throw ExrReadError(path +
                           ": its data window reaches outside its display window; give the "
                           "picture's pixels only");
    }
    return Read(path, depth, windows);
}

}  // namespace tarsivel::host
