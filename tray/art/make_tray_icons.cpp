// Draws the tray program's two tray icons, 32 by 32 pixels: a cloud in grey
// while nobody is logged in (129) and in blue with a tick while a user is
// logged in or being logged in (130). Each is written as a PNG file named
// after its resource id into the folder given, from which the build embeds
// them.
//
//   make_tray_icons <folder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "win/gdi.h"
#include "win/gdi_test.h"

namespace {

constexpr int size = 32;
constexpr int samples = 4;  // a side of the grid each pixel is sampled on

struct colour {
    float r, g, b;  // 0 to 1
};

using region = std::function<bool(float x, float y)>;

bool in_circle(float x, float y, float cx, float cy, float radius) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

// Three puffs on a flat base.
bool in_cloud(float x, float y) {
    return in_circle(x, y, 11, 18, 7) || in_circle(x, y, 18, 13, 8.5f) ||
           in_circle(x, y, 24.5f, 19, 5.5f) || (x >= 6 && x <= 27 && y >= 18 && y <= 25);
}

// A band of the given half width along the segment from a to b.
bool near_segment(float x, float y, float ax, float ay, float bx, float by, float half_width) {
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    const float px = ax + t * dx - x, py = ay + t * dy - y;
    return px * px + py * py <= half_width * half_width;
}

bool in_tick(float x, float y) {
    return near_segment(x, y, 11.5f, 18.5f, 15, 22, 1.6f) ||
           near_segment(x, y, 15, 22, 22, 14.5f, 1.6f);
}

bool in_dash(float x, float y) {
    return near_segment(x, y, 12, 19.5f, 21, 19.5f, 1.4f);
}

class icon {
public:
    icon() : pixels_(size * size, 0) {}

    // Paints the covered part of each pixel over what is there; top and
    // bottom are the colours of a vertical gradient.
    void paint(const region& inside, colour top, colour bottom, float alpha) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int hits = 0;
                for (int sy = 0; sy < samples; ++sy)
                    for (int sx = 0; sx < samples; ++sx)
                        if (inside(x + (sx + 0.5f) / samples, y + (sy + 0.5f) / samples)) ++hits;
                if (hits) {
                    const float t = y / float(size - 1);
                    const colour c{top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                                   top.b + (bottom.b - top.b) * t};
                    over(x, y, c, alpha * hits / float(samples * samples));
                }
            }
    }

    bool save(const std::string& path) const {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) return false;
        std::copy(pixels_.begin(), pixels_.end(), static_cast<uint32_t*>(bits));
        const bool saved = win_test::save_png(bitmap, path);
        DeleteObject(bitmap);
        return saved;
    }

private:
    // Source over, premultiplied 8-bit ARGB.
    void over(int x, int y, colour c, float alpha) {
        uint32_t& d = pixels_[y * size + x];
        auto channel = [&](int shift, float source) {
            const float below = ((d >> shift) & 0xFF) / 255.0f;
            const float value = source * alpha + below * (1 - alpha);
            return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255)) << shift;
        };
        d = channel(24, 1.0f) | channel(16, c.r) | channel(8, c.g) | channel(0, c.b);
    }

    std::vector<uint32_t> pixels_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tray_icons <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const colour white{1, 1, 1};

    icon logged_out;
    logged_out.paint(in_cloud, {0.78f, 0.80f, 0.83f}, {0.52f, 0.55f, 0.60f}, 1);
    logged_out.paint(in_dash, white, white, 0.9f);

    icon logged_in;
    logged_in.paint(in_cloud, {0.45f, 0.70f, 0.98f}, {0.13f, 0.38f, 0.80f}, 1);
    logged_in.paint(in_tick, white, white, 1);

    const bool saved = logged_out.save(folder + "/129_logged_out.png") &&
                       logged_in.save(folder + "/130_logged_in.png");
    if (!saved) std::fprintf(stderr, "make_tray_icons: cannot write into %s\n", folder.c_str());
    return saved ? 0 : 1;
}
