#include "host/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>

#include <exception>
#include <stdexcept>
#include <vector>

namespace tarsivel::host {
namespace {

struct PlanarChannels {
    std::vector<float> red, green, blue, alpha;
};

PlanarChannels Planes(const ImageWorld& world) {
    const size_t count = static_cast<size_t>(world.Width()) * static_cast<size_t>(world.Height());
    PlanarChannels planes{std::vector<float>(count), std::vector<float>(count),
                          std::vector<float>(count), std::vector<float>(count)};
    size_t n = 0;
    for (int32_t y = 0; y < world.Height(); ++y) {
        for (int32_t x = 0; x < world.Width(); ++x, ++n) {
            const PF_PixelFloat p = world.ReadFloat(x, y);
            planes.red[n] = p.red;
            planes.green[n] = p.green;
            planes.blue[n] = p.blue;
            planes.alpha[n] = p.alpha;
        }
    }
    return planes;
}

Imf::Slice FloatSlice(std::vector<float>& plane, int width) {
    return Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(plane.data()), sizeof(float),
                      sizeof(float) * static_cast<size_t>(width));
}

}  // namespace

void WriteExr(const ImageWorld& world, const std::string& path) {
    if (world.Width() <= 0 || world.Height() <= 0) {
        throw std::runtime_error("cannot write " + path + ": empty image");
    }
    PlanarChannels planes = Planes(world);
    try {
        Imf::Header header(world.Width(), world.Height());
        for (const char* name : {"R", "G", "B", "A"}) {
            header.channels().insert(name, Imf::Channel(Imf::FLOAT));
        }
        Imf::FrameBuffer frame;
        frame.insert("R", FloatSlice(planes.red, world.Width()));
        frame.insert("G", FloatSlice(planes.green, world.Width()));
        frame.insert("B", FloatSlice(planes.blue, world.Width()));
        frame.insert("A", FloatSlice(planes.alpha, world.Width()));
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(frame);
        file.writePixels(world.Height());
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot write " + path + ": " + e.what());
    }
}

}  // namespace tarsivel::host
