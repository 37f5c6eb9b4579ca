// The surfaces behind device contexts, for the rest of the stand-in: windows
// own canvases and draw into them through DCs made here; layered windows keep
// a copy of what they were last updated with; tests save any surface as a
// picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "win/gdi.h"

namespace win_gdi {

// One pixel: 0xAARRGGBB as a 32-bit integer (blue, green, red, alpha in
// memory), colour premultiplied by alpha.
using pixel = uint32_t;

// A 32-bit premultiplied surface. Its pixels are its own, or memory the
// caller provides (DIB sections hand theirs out). Rows are kept top-down or
// bottom-up in memory, as the surface was made; row(y) is always the row y
// pixels below the top.
class canvas {
public:
    // Zero-filled (transparent black), rows top-down.
    canvas(int width, int height);
    // Over pixels that live elsewhere: pitch is the distance in pixels from
    // one row's start to the next row's (negative for bottom-up memory).
    canvas(int width, int height, pixel* top_row, std::ptrdiff_t pitch);

    int width() const { return width_; }
    int height() const { return height_; }
    pixel* row(int y) { return top_row_ + y * pitch_; }
    const pixel* row(int y) const { return top_row_ + y * pitch_; }
    pixel at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, pixel value) { row(y)[x] = value; }
    // The lowest address of the pixel memory (a DIB section's bits).
    pixel* memory() { return pitch_ < 0 ? row(height_ - 1) : top_row_; }

    void fill(pixel value);

private:
    int width_;
    int height_;
    std::vector<pixel> owned_;
    pixel* top_row_;
    std::ptrdiff_t pitch_;
};

// A fresh canvas holding a copy of the rectangle of source (parts outside
// source come out transparent). The rectangle is given in source pixels.
std::shared_ptr<canvas> copy_rect(const canvas& source, const RECT& rect);

// Draws source over target (premultiplied source-over) with its top-left
// corner at (x, y) of target; what falls outside target is left out.
void draw_over(canvas& target, const canvas& source, int x, int y);

// A DC that draws into the canvas, as a window's DC draws into its window
// (no bitmap can be selected into it). The DC keeps the canvas alive. Give it
// back with release_dc (ReleaseDC and EndPaint end up here); DeleteDC refuses
// it, as the system refuses to delete a window's DC.
HDC create_dc_over(std::shared_ptr<canvas> target);
bool release_dc(HDC dc);

// What a DC draws into (for a memory DC, the selected bitmap's pixels), and a
// bitmap's pixels. Null for handles that are not ours.
std::shared_ptr<canvas> dc_canvas(HDC dc);
std::shared_ptr<canvas> bitmap_canvas(HBITMAP bitmap);
// A bitmap over a copy of the pixels, owned by the caller (DeleteObject).
HBITMAP create_bitmap(const canvas& pixels);

// PNG files of surfaces, straight (not premultiplied) alpha in the file.
std::vector<uint8_t> encode_png(const canvas& pixels);
bool save_png(const canvas& pixels, const std::string& path);

// Pixel helpers for callers that mix their own colours.
constexpr pixel make_pixel(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<pixel>(alpha) << 24 | static_cast<pixel>(red) << 16 |
           static_cast<pixel>(green) << 8 | blue;
}
constexpr uint8_t alpha_of(pixel p) {
    return static_cast<uint8_t>(p >> 24);
}
constexpr uint8_t red_of(pixel p) {
    return static_cast<uint8_t>(p >> 16);
}
constexpr uint8_t green_of(pixel p) {
    return static_cast<uint8_t>(p >> 8);
}
constexpr uint8_t blue_of(pixel p) {
    return static_cast<uint8_t>(p);
}

}  // namespace win_gdi
