// Draws the tray program's images: the sync window's frame, its buttons,
// the scroll bar, the rows' progress bars and icons, the group frame and the
// question box's image. Each is written as a PNG file named after its
// resource id into the folder given, from which the build embeds them.
//
//   make_tray_art <folder>
//
// Pieces that the windows stretch or tile are cut from one larger drawing,
// so that they join without seams; the pieces they tile are 32 pixels long,
// so that a tiled stretch takes few blits. Shapes are anti-aliased by
// sampling each pixel 4 by 4 times.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "win/gdi.h"
#include "win/gdi_test.h"

namespace {

struct rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight colour, 0 to 1
};

rgba hex(unsigned rgb, float alpha) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
            alpha};
}

rgba mix(const rgba& a, const rgba& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

// How much of a point (in pixel units) a shape covers: 0 or 1.
using shape = std::function<bool(float x, float y)>;
// The paint of a shape at a point.
using paint = std::function<rgba(float x, float y)>;

class picture {
public:
    picture(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width * height)) {}

    int width() const { return width_; }
    int height() const { return height_; }

    // Composites the paint, where the shape covers, over what is there.
    void fill(const shape& inside, const paint& colour) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        if (inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4)) ++hits;
                if (hits == 0) continue;
                rgba c = colour(x + 0.5f, y + 0.5f);
                c.a *= hits / 16.0f;
                over(x, y, c);
            }
    }
    void fill(const shape& inside, const rgba& colour) {
        fill(inside, [colour](float, float) { return colour; });
    }

    // Composites an alpha mask (0 to 255 a pixel) in the colour.
    void fill_mask(const std::vector<uint8_t>& mask, const rgba& colour) {
        for (int i = 0; i < width_ * height_; ++i) {
            if (!mask[i]) continue;
            rgba c = colour;
            c.a *= mask[i] / 255.0f;
            over(i % width_, i / width_, c);
        }
    }

    picture cut(int left, int top, int width, int height) const {
        picture piece(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                piece.pixels_[y * width + x] = pixels_[(top + y) * width_ + left + x];
        return piece;
    }

    bool save(const std::string& path) const {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) return false;
        auto* out = static_cast<uint32_t*>(bits);
        for (size_t i = 0; i < pixels_.size(); ++i) {
            const rgba& p = pixels_[i];  // premultiplied here
            auto byte = [](float v) {
                return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
            };
            out[i] = byte(p.a) << 24 | byte(p.r) << 16 | byte(p.g) << 8 | byte(p.b);
        }
        const bool saved = win_test::save_png(bitmap, path);
        DeleteObject(bitmap);
        return saved;
    }

private:
    // Source over, in premultiplied colour.
    void over(int x, int y, const rgba& c) {
        rgba& d = pixels_[y * width_ + x];
        const float keep = 1 - c.a;
        d.r = c.r * c.a + d.r * keep;
        d.g = c.g * c.a + d.g * keep;
        d.b = c.b * c.a + d.b * keep;
        d.a = c.a + d.a * keep;
    }

    int width_, height_;
    std::vector<rgba> pixels_;
};

// ---- Shapes -----------------------------------------------------------------

shape rounded(float left, float top, float right, float bottom, float radius) {
    return [=](float x, float y) {
        if (x < left || x >= right || y < top || y >= bottom) return false;
        const float cx = std::clamp(x, left + radius, right - radius);
        const float cy = std::clamp(y, top + radius, bottom - radius);
        const float dx = x - cx, dy = y - cy;
        return dx * dx + dy * dy <= radius * radius;
    };
}

// The ring between a rounded rectangle and the same one inset by width.
shape outline(float left, float top, float right, float bottom, float radius, float width) {
    const shape outer = rounded(left, top, right, bottom, radius);
    const shape inner = rounded(left + width, top + width, right - width, bottom - width,
                                std::max(0.0f, radius - width));
    return [=](float x, float y) { return outer(x, y) && !inner(x, y); };
}

shape disc(float cx, float cy, float radius) {
    return [=](float x, float y) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    };
}

shape segment(float x0, float y0, float x1, float y1, float width) {
    return [=](float x, float y) {
        const float vx = x1 - x0, vy = y1 - y0;
        const float t =
            std::clamp(((x - x0) * vx + (y - y0) * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
        const float dx = x - (x0 + t * vx), dy = y - (y0 + t * vy);
        return dx * dx + dy * dy <= width * width / 4;
    };
}

shape polygon(std::vector<std::pair<float, float>> points) {
    return [points](float x, float y) {
        bool in = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    };
}

shape either(shape a, shape b) {
    return [=](float x, float y) { return a(x, y) || b(x, y); };
}

shape rows(float top, float bottom) {
    return [=](float, float y) { return y >= top && y < bottom; };
}

shape both(shape a, shape b) {
    return [=](float x, float y) { return a(x, y) && b(x, y); };
}

paint vertical(float top, float bottom, rgba from, rgba to) {
    return [=](float, float y) {
        return mix(from, to, std::clamp((y - top) / (bottom - top), 0.0f, 1.0f));
    };
}

// The coverage of a text in the face, as GDI draws it, with its top-left
// corner at (x, y); x < 0 centres it horizontally, y < 0 vertically.
std::vector<uint8_t> text_mask(int width, int height, const wchar_t* text, const wchar_t* face,
                               int pixels, int weight, int x, int y) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontW(-pixels, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
    HGDIOBJ old_font = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const int length = static_cast<int>(std::wcslen(text));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, length, &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    if (x < 0) x = (width - extent.cx) / 2;
    // Centred on the height of capitals: the ascent less the internal leading.
    if (y < 0) y = height / 2 - (metrics.tmAscent + metrics.tmInternalLeading) / 2;
    TextOutW(dc, x, y, text, length);
    std::vector<uint8_t> mask(static_cast<size_t>(width * height));
    const auto* pixels_out = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(pixels_out[i] >> 24);
    SelectObject(dc, old_font);
    DeleteObject(font);
    SelectObject(dc, old_bitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return mask;
}

// ---- The images -------------------------------------------------------------

struct art {
    std::string folder;
    int written = 0;
    bool failed = false;

    void save(int id, const char* name, const picture& p) {
        const std::string path = folder + "/" + std::to_string(id) + "_" + name + ".png";
        if (p.save(path)) {
            ++written;
        } else {
            std::fprintf(stderr, "make_tray_art: cannot write %s\n", path.c_str());
            failed = true;
        }
    }
};

// The sync window's frame: a top band with the product's name, 5-pixel
// sides and a bottom band for the big buttons, on a translucent dark blue
// body with rounded corners.
void frame(art& out) {
    constexpr int width = 200, height = 100, band = 30, foot = 28, corner = 10, side = 5;
    picture master(width, height);
    const shape body = rounded(0, 0, width, height, 8);
    master.fill(body, hex(0x1C2738, 0.92f));
    master.fill(both(body, rows(0, band)),
                vertical(0, band, hex(0x3A4D68, 0.96f), hex(0x27364C, 0.96f)));
    master.fill(both(body, rows(height - foot, height)),
                vertical(height - foot, height, hex(0x223047, 0.94f), hex(0x1A2536, 0.96f)));
    // Separators under the top band and over the bottom band.
    master.fill(both(rounded(1, 0, width - 1, height, 8), rows(band - 1, band)),
                hex(0x101822, 0.7f));
    master.fill(both(rounded(1, 0, width - 1, height, 8), rows(height - foot, height - foot + 1)),
                hex(0x8CA0BE, 0.25f));
    master.fill(outline(0, 0, width, height, 8, 1), hex(0x8A9DBA, 0.85f));
    master.fill(outline(1, 1, width - 1, height - 1, 7, 1), hex(0xFFFFFF, 0.08f));
    master.fill_mask(text_mask(width, height, L"Calvimora", L"Arial", 13, FW_BOLD, 14, 8),
                     hex(0xF2F6FC, 0.95f));

    const int middle = 150;
    out.save(210, "frame_top_left", master.cut(0, 0, corner, band));
    out.save(207, "frame_top_left_piece", master.cut(corner, 0, 96, band));
    out.save(208, "frame_top", master.cut(middle, 0, 1, band));
    out.save(209, "frame_top_right_piece", master.cut(width - corner - 30, 0, 30, band));
    out.save(211, "frame_top_right", master.cut(width - corner, 0, corner, band));
    out.save(205, "frame_left", master.cut(0, 50, side, 1));
    out.save(201, "frame_centre", master.cut(middle, 50, 1, 1));
    out.save(206, "frame_right", master.cut(width - side, 50, side, 1));
    out.save(203, "frame_bottom_left", master.cut(0, height - foot, corner, foot));
    out.save(202, "frame_bottom", master.cut(middle, height - foot, 1, foot));
    out.save(204, "frame_bottom_right", master.cut(width - corner, height - foot, corner, foot));
}

// The 82 by 18 buttons behind "Stop", "Resume" and "Cancel".
picture text_button(unsigned top, unsigned bottom, unsigned edge) {
    picture p(82, 18);
    const shape face = rounded(0, 0, 82, 18, 4);
    p.fill(face, vertical(0, 18, hex(top, 0.97f), hex(bottom, 0.97f)));
    p.fill(both(rounded(1, 1, 81, 17, 3), rows(1, 8)), hex(0xFFFFFF, 0.10f));
    p.fill(outline(0, 0, 82, 18, 4, 1), hex(edge, 0.95f));
    return p;
}

void buttons(art& out) {
    out.save(212, "button_stop", text_button(0x61769A, 0x43546F, 0x8C9FBF));
    out.save(213, "button_resume", text_button(0x3F8F72, 0x2B6652, 0x6DB596));
    out.save(214, "button_cancel", text_button(0x9C5050, 0x6F3535, 0xC07C7C));
}

// The close button in its four states, 20 by 20.
picture close_button(rgba circle, rgba cross) {
    picture p(20, 20);
    if (circle.a > 0) p.fill(disc(10, 10, 8), circle);
    p.fill(either(segment(6.5f, 6.5f, 13.5f, 13.5f, 1.8f), segment(13.5f, 6.5f, 6.5f, 13.5f, 1.8f)),
           cross);
    return p;
}

void close_buttons(art& out) {
    out.save(215, "close_normal", close_button(hex(0xFFFFFF, 0.10f), hex(0xE4EAF3, 0.9f)));
    out.save(216, "close_hovered", close_button(hex(0xC8524E, 0.95f), hex(0xFFFFFF, 1)));
    out.save(217, "close_pressed", close_button(hex(0x8E3431, 0.95f), hex(0xF0D8D8, 1)));
    out.save(218, "close_disabled", close_button(hex(0xFFFFFF, 0), hex(0x8893A3, 0.45f)));
}

// The 6-pixel scroll bar: arrows, a faint track and a rounded thumb.
void scroll_bar(art& out) {
    const rgba arrow = hex(0xA9BBD6, 0.85f);
    picture up(6, 6);
    up.fill(polygon({{0.5f, 4.5f}, {3, 1.5f}, {5.5f, 4.5f}}), arrow);
    out.save(252, "scroll_up", up);
    picture down(6, 6);
    down.fill(polygon({{0.5f, 1.5f}, {3, 4.5f}, {5.5f, 1.5f}}), arrow);
    out.save(251, "scroll_down", down);
    picture track(6, 32);
    track.fill(rounded(2, 0, 4, 32, 0), hex(0xA9BBD6, 0.22f));
    out.save(253, "scroll_track", track);
    picture thumb(6, 20);
    thumb.fill(rounded(0.5f, 0, 5.5f, 20, 2.5f), hex(0x93A9C9, 0.92f));
    out.save(256, "scroll_thumb_top", thumb.cut(0, 0, 6, 3));
    out.save(255, "scroll_thumb_middle", thumb.cut(0, 6, 6, 8));
    out.save(254, "scroll_thumb_bottom", thumb.cut(0, 17, 6, 3));
}

// A row's progress bar: a glassy outline over the fill drawn under it. A
// row in a group sits on the group's light panel: its bar darkens what is
// under it, so that the white name stays readable over the open part.
void progress_bar(art& out, int first_id, const char* prefix, rgba edge, float sheen,
                  rgba backdrop) {
    constexpr int width = 80, height = 28;
    picture bar(width, height);
    bar.fill(rounded(1, 1, width - 1, height - 1, 4), backdrop);
    bar.fill(both(rounded(1, 1, width - 1, height - 1, 4), rows(1, 12)),
             vertical(1, 12, hex(0xFFFFFF, sheen), hex(0xFFFFFF, 0)));
    bar.fill(outline(0, 0, width, height, 5, 1), edge);
    const std::string name = prefix;
    out.save(first_id, (name + "_left").c_str(), bar.cut(0, 0, 6, height));
    out.save(first_id + 1, (name + "_middle").c_str(), bar.cut(24, 0, 32, height));
    out.save(first_id + 2, (name + "_right").c_str(), bar.cut(width - 6, 0, 6, height));
}

// 12 by 14 arrows of a row's kind; the blink image is brighter.
picture arrow_icon(bool upward, rgba colour) {
    picture p(12, 14);
    const float tip = upward ? 1.0f : 11.0f;
    const shape head = polygon({{1, 6}, {6, tip}, {11, 6}});
    const shape shaft =
        upward ? rounded(4.5f, 5.5f, 7.5f, 11, 0.5f) : rounded(4.5f, 1, 7.5f, 6.5f, 0.5f);
    p.fill(either(head, shaft), colour);
    p.fill(rounded(1, 12.5f, 11, 14, 0.7f), colour);
    return p;
}

void row_icons(art& out) {
    out.save(309, "download_icon", arrow_icon(false, hex(0x9CC8F0, 0.95f)));
    out.save(310, "download_icon_blink", arrow_icon(false, hex(0xF2F8FF, 1)));
    out.save(311, "upload_icon", arrow_icon(true, hex(0xA3DDB4, 0.95f)));
    out.save(312, "upload_icon_blink", arrow_icon(true, hex(0xF2FFF5, 1)));
}

// An 18 by 14 folder; the blink image carries a bright dot of activity.
picture folder_icon(rgba back, rgba front, bool busy) {
    picture p(18, 14);
    p.fill(either(rounded(1, 1, 8, 5, 1), rounded(1, 3, 17, 13, 1.5f)), back);
    p.fill(rounded(1, 5, 17, 13, 1.5f), vertical(5, 13, front, mix(front, back, 0.5f)));
    if (busy) p.fill(disc(13.5f, 9, 2.3f), hex(0xFFFFFF, 1));
    return p;
}

void group_icons(art& out) {
    out.save(307, "group_icon", folder_icon(hex(0x4C6790, 1), hex(0x6E8DBB, 1), false));
    out.save(308, "group_icon_blink", folder_icon(hex(0x4F78B8, 1), hex(0x86AEE6, 1), true));
}

// A group's light panel, cut into nine pieces: corners 6 by 6, edges 6
// deep and 32 long, a 32 by 32 centre.
void group_frame(art& out) {
    constexpr int size = 60, piece = 6, middle = 14, tile = 32;
    picture panel(size, size);
    panel.fill(rounded(0, 0, size, size, 5), hex(0xE6ECF4, 0.94f));
    panel.fill(outline(0, 0, size, size, 5, 1), hex(0xA2B3CB, 0.95f));
    out.save(313, "group_top_left", panel.cut(0, 0, piece, piece));
    out.save(314, "group_top", panel.cut(middle, 0, tile, piece));
    out.save(315, "group_top_right", panel.cut(size - piece, 0, piece, piece));
    out.save(316, "group_left", panel.cut(0, middle, piece, tile));
    out.save(317, "group_centre", panel.cut(middle, middle, tile, tile));
    out.save(318, "group_right", panel.cut(size - piece, middle, piece, tile));
    out.save(319, "group_bottom_left", panel.cut(0, size - piece, piece, piece));
    out.save(320, "group_bottom", panel.cut(middle, size - piece, tile, piece));
    out.save(321, "group_bottom_right", panel.cut(size - piece, size - piece, piece, piece));
}

// The question box's 48 by 48 badge with a question mark.
void question(art& out) {
    constexpr int size = 48;
    picture p(size, size);
    for (float r = 23; r > 20; r -= 1) p.fill(disc(24, 25.5f, r), hex(0x000000, 0.06f));
    p.fill(disc(24, 24, 21), vertical(3, 45, hex(0x5B9BE0, 1), hex(0x2A5EA3, 1)));
    p.fill(both(disc(24, 24, 20), rows(3, 20)),
           vertical(3, 20, hex(0xFFFFFF, 0.30f), hex(0xFFFFFF, 0.02f)));
    const shape inner = disc(24, 24, 20);
    p.fill(both(disc(24, 24, 21), [inner](float x, float y) { return !inner(x, y); }),
           hex(0xFFFFFF, 0.45f));
    p.fill_mask(text_mask(size, size, L"?", L"Arial", 30, FW_BOLD, -1, -1), hex(0xFFFFFF, 1));
    out.save(400, "question", p);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tray_art <folder>\n");
        return 2;
    }
    art out{argv[1]};
    frame(out);
    buttons(out);
    close_buttons(out);
    scroll_bar(out);
    progress_bar(out, 301, "bar", hex(0xB4C4DC, 0.55f), 0.16f, hex(0x000000, 0));
    progress_bar(out, 304, "child_bar", hex(0x5F7290, 0.9f), 0.14f, hex(0x3A4A62, 0.5f));
    row_icons(out);
    group_icons(out);
    group_frame(out);
    question(out);
    std::printf("make_tray_art: %d images in %s\n", out.written, out.folder.c_str());
    return out.failed ? 1 : 0;
}
