// Paints the demo scene's background: a dusk sky, a low sun, two ranges of
// hills and, as rocks, the scene's masks (the rope lands on them), all
// computed here, so the demo needs no picture from anywhere else.
// Usage: make_demo_background SCENE.json OUT.png
#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

#include <vector>
#include "host/images/png_io.h"
#include "host/protocol/image_world.h"
#include "host/scenes/scene.h"

namespace {

using tarsivel::host::ImageWorld;

float Mix(float a, float b, float t) {
    return a + (b - a) * t;
}

float Ridge(float x, float base, float a1, float f1, float a2, float f2) {
    return base + a1 * std::sin(x * f1) + a2 * std::sin(x * f2 + 1.7f);
}

PF_PixelFloat SkyAt(float x, float y, int32_t w, int32_t h) {
    const float t = y / float(h);
    PF_PixelFloat p{1.0f, Mix(0.16f, 0.98f, t), Mix(0.18f, 0.62f, t), Mix(0.36f, 0.45f, t)};
    const float dx = x - 0.72f * float(w);
    const float dy = y - 0.55f * float(h);
    const float sun = std::exp(-(dx * dx + dy * dy) / (2.0f * 60.0f * 60.0f));
    p.red = std::min(1.0f, p.red + 0.5f * sun);
    p.green = std::min(1.0f, p.green + 0.4f * sun);
    p.blue = std::min(1.0f, p.blue + 0.2f * sun);
    return p;
}

struct Point {
    float x;
    float y;
};

// The mask's outline at frame 0, sampled finely along each cubic span.
std::vector<Point> Outline(const tarsivel::host::SceneMask& mask) {
    const std::vector<tarsivel::host::MaskVertex>& v = mask.keys.front().vertices;
    std::vector<Point> points;
    for (std::size_t j = 0; j < v.size(); ++j) {
        const auto& a = v[j];
        const auto& b = v[(j + 1) % v.size()];
        for (int k = 0; k < 32; ++k) {
            const double t = k / 32.0;
            const double u = 1.0 - t;
            auto at = [&](double p0, double p1, double p2, double p3) {
                return float(u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 +
                             t * t * t * p3);
            };
            points.push_back({at(a.x, a.outX, b.inX, b.x), at(a.y, a.outY, b.inY, b.y)});
        }
    }
    return points;
}

bool Inside(const std::vector<Point>& polygon, float x, float y) {
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const Point& p = polygon[i];
        const Point& q = polygon[j];
        if ((p.y > y) != (q.y > y) && x < (q.x - p.x) * (y - p.y) / (q.y - p.y) + p.x) {
            inside = !inside;
        }
    }
    return inside;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_demo_background SCENE.json OUT.png\n";
        return 2;
    }
    tarsivel::host::Scene scene;
    try {
        scene = tarsivel::host::ReadScene(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make_demo_background: " << e.what() << "\n";
        return 2;
    }
    const int32_t w = scene.width;
    const int32_t h = scene.height;
    std::vector<std::vector<Point>> rocks;
    for (const auto& mask : scene.masks) {
        rocks.push_back(Outline(mask));
    }
    ImageWorld image(w, h, tarsivel::host::PixelDepth::k8);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const float fx = float(x);
            const float fy = float(y);
            PF_PixelFloat p = SkyAt(fx, fy, w, h);
            const float far = Ridge(fx, 0.68f * float(h), 18.0f, 0.011f, 9.0f, 0.031f);
            const float near = Ridge(fx, 0.82f * float(h), 26.0f, 0.007f, 7.0f, 0.043f);
            if (fy > far) {
                p = {1.0f, 0.33f, 0.24f, 0.38f};
            }
            if (fy > near) {
                const float shade = (fy - near) / float(h);
                p = {1.0f, 0.12f - 0.05f * shade, 0.14f - 0.05f * shade, 0.22f - 0.08f * shade};
            }
            for (const auto& rock : rocks) {
                if (Inside(rock, fx + 0.5f, fy + 0.5f)) {
                    const float grain = 0.03f * std::sin(fx * 0.7f) * std::sin(fy * 0.9f);
                    p = {1.0f, 0.30f + grain, 0.27f + grain, 0.30f + grain};
                }
            }
            image.WriteFloat(x, y, p);
        }
    }
    try {
        tarsivel::host::WritePng(image, argv[2], 8);
    } catch (const std::exception& e) {
        std::cerr << "make_demo_background: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
