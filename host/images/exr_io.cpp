#include "host/images/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <cstring>
#include <exception>
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
            const PF_PixelFloat p = world.ReadFloat(x, y);
            planes.red[n] = Sample(p.red);
            planes.green[n] = Sample(p.green);
            planes.blue[n] = Sample(p.blue);
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

template <class Sample>
std::vector<uint8_t> Encode(const ImageWorld& world, Imf::PixelType type) {
    PlanarChannels<Sample> planes = Planes<Sample>(world);
    Imf::Header header(world.Width(), world.Height());
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

}  // namespace

std::vector<uint8_t> EncodeExr(const ImageWorld& world, ExrChannels channels) {
    if (world.Width() <= 0 || world.Height() <= 0) {
        throw std::runtime_error("cannot encode an empty image as OpenEXR");
    }
    try {
        return channels == ExrChannels::kHalf ? Encode<half>(world, Imf::HALF)
                                              : Encode<float>(world, Imf::FLOAT);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cannot encode an OpenEXR image: ") + e.what());
    }
}

void WriteExr(const ImageWorld& world, const std::string& path, ExrChannels channels) {
    WriteFileBytes(path, EncodeExr(world, channels));
}

}  // namespace tarsivel::host
