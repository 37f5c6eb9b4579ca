// Draws the shell extension's icons, 32 by 32 pixels: the program's own
// (101), a drive with the product's blue cloud over it, shown by the
// drive's sheet; and the icon of several remote items (2000), a stack of
// three pages, shown by the sheet of a selection of more than one item.
// Each is written as a PNG file named after its resource id into the
// folder given, from which the build embeds them.
//
//   make_shell_icons <folder>
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

colour hex(unsigned rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f};
}

using region = std::function<bool(float x, float y)>;

bool in_circle(float x, float y, float cx, float cy, float radius) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

// A rectangle with corners rounded by the radius.
region rounded(float left, float top, float right, float bottom, float radius) {
    return [=](float x, float y) {
        if (x < left || x > right || y < top || y > bottom) return false;
        const float cx = std::clamp(x, left + radius, right - radius);
        const float cy = std::clamp(y, top + radius, bottom - radius);
        return in_circle(x, y, cx, cy, radius);
    };
}

// The inside of a shape less its outline of the given width.
region inset(float left, float top, float right, float bottom, float radius, float width) {
    return rounded(left + width, top + width, right - width, bottom - width,
                   std::max(0.0f, radius - width));
}

// A page whose top-right corner is folded down by fold.
region page(float left, float top, float right, float bottom, float fold) {
    return [=](float x, float y) {
        if (x < left || x > right || y < top || y > bottom) return false;
        return x - (right - fold) <= y - top;
    };
}

// The flap of that page's folded corner, lying on the page below the fold.
region page_fold(float right, float top, float fold) {
    return [=](float x, float y) {
        return x >= right - fold && x <= right && y >= top && y <= top + fold &&
               x - (right - fold) <= y - top;
    };
}

region cloud(float dx, float dy, float scale) {
    return [=](float x, float y) {
        const float u = (x - dx) / scale, v = (y - dy) / scale;
        return in_circle(u, v, 9, 13, 5) || in_circle(u, v, 15, 9, 6.5f) ||
               in_circle(u, v, 21, 13.5f, 4.5f) || (u >= 5 && u <= 25 && v >= 12 && v <= 18);
    };
}

class icon {
public:
    icon() : pixels_(size * size, 0) {}

    // Paints the covered part of each pixel over what is there, in a
    // vertical gradient from top (at y0) to bottom (at y1).
    void paint(const region& inside, colour top, colour bottom, float y0 = 0, float y1 = size - 1) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                int hits = 0;
                for (int sy = 0; sy < samples; ++sy)
                    for (int sx = 0; sx < samples; ++sx)
                        if (inside(x + (sx + 0.5f) / samples, y + (sy + 0.5f) / samples)) ++hits;
                if (!hits) continue;
                const float t = std::clamp((y + 0.5f - y0) / (y1 - y0), 0.0f, 1.0f);
                const colour c{top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                               top.b + (bottom.b - top.b) * t};
                over(x, y, c, hits / float(samples * samples));
            }
    }
    void paint(const region& inside, colour flat) { paint(inside, flat, flat); }

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

// A drive seen from the front, its light on, with the cloud over it.
icon program_icon() {
    icon drawn;
    const region body = rounded(2.5f, 17, 29.5f, 29, 2.5f);
    drawn.paint(body, hex(0x5A6470));
    drawn.paint(inset(2.5f, 17, 29.5f, 29, 2.5f, 1), hex(0xE4E8EE), hex(0xA9B1BC), 17, 29);
    drawn.paint(rounded(5.5f, 24, 19, 26, 1), hex(0x7D8692));
    drawn.paint([](float x, float y) { return in_circle(x, y, 24.5f, 25, 1.6f); }, hex(0x3CC85A));
    const region puffs = cloud(1, -2.5f, 1);
    drawn.paint(puffs, hex(0x1F4FA8));
    drawn.paint([&](float x, float y) { return puffs(x - 1, y - 1) && puffs(x + 1, y + 1); },
                hex(0x7DB8FF), hex(0x2868D0), 2, 16);
    return drawn;
}

// Three pages, each in front of and below the one before.
icon several_items_icon() {
    icon drawn;
    const colour edge = hex(0x6E7680);
    for (int i = 0; i < 3; ++i) {
        const float left = 3 + 5.0f * i, top = 1.5f + 4.5f * i;
        const float right = left + 16, bottom = top + 20;
        const float fold = 6.5f;
        drawn.paint(page(left, top, right, bottom, fold), edge);
        drawn.paint(page(left + 1, top + 1, right - 1, bottom - 1, fold - 0.4f), hex(0xFFFFFF),
                    hex(0xE6EAF0), top, bottom);
        // The flap, outlined like the page.
        drawn.paint(page_fold(right, top, fold), edge);
        drawn.paint(page_fold(right - 2.4f, top + 2.4f, fold - 3.4f), hex(0xDCE1E8));
    }
    // Lines of text on the front page, in the product's blue.
    for (int line = 0; line < 4; ++line) {
        const float y = 18.5f + 2.5f * line, right = line == 3 ? 22.0f : 26.0f;
        drawn.paint(rounded(16, y, right, y + 1.1f, 0.5f), hex(0x2F6FD6));
    }
    return drawn;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_shell_icons <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool saved = program_icon().save(folder + "/101_program.png") &&
                       several_items_icon().save(folder + "/2000_several_items.png");
    if (!saved) std::fprintf(stderr, "make_shell_icons: cannot write into %s\n", folder.c_str());
    return saved ? 0 : 1;
}
