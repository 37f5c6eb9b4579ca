// Canvases, and the DCs other parts of the stand-in make over them.
#include "gdi_canvas.h"

#include <algorithm>

#include "gdi_objects.h"
#include "gdi_pixels.h"

namespace win_gdi {

canvas::canvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      owned_(static_cast<size_t>(width_) * height_),
      top_row_(owned_.data()),
      pitch_(width_) {}

canvas::canvas(int width, int height, pixel* top_row, std::ptrdiff_t pitch)
    : width_(width), height_(height), top_row_(top_row), pitch_(pitch) {}

void canvas::fill(pixel value) {
    for (int y = 0; y < height_; ++y) std::fill_n(row(y), width_, value);
}

std::shared_ptr<canvas> copy_rect(const canvas& source, const RECT& rect) {
    auto copy = std::make_shared<canvas>(rect.right - rect.left, rect.bottom - rect.top);
    const RECT bounds{0, 0, source.width(), source.height()};
    RECT inside;
    if (!IntersectRect(&inside, &rect, &bounds)) return copy;
    for (LONG y = inside.top; y < inside.bottom; ++y)
        std::copy(source.row(y) + inside.left, source.row(y) + inside.right,
                  copy->row(y - rect.top) + (inside.left - rect.left));
    return copy;
}

void draw_over(canvas& target, const canvas& source, int x, int y) {
    const int top = std::max(0, -y), bottom = std::min(source.height(), target.height() - y);
    const int left = std::max(0, -x), right = std::min(source.width(), target.width() - x);
    for (int row = top; row < bottom; ++row)
        for (int column = left; column < right; ++column)
            target.set(x + column, y + row,
                       source_over(source.at(column, row), target.at(x + column, y + row)));
}

HDC create_dc_over(std::shared_ptr<canvas> target) {
    if (!target) return nullptr;
    auto dc = std::make_shared<dc_object>();
    dc->window_canvas = std::move(target);
    select_defaults(dc->state, false);
    return static_cast<HDC>(add_object(dc));
}

std::shared_ptr<canvas> dc_canvas(HDC dc) {
    auto object = std::dynamic_pointer_cast<dc_object>(find_object(dc));
    return object ? object->target_ptr() : nullptr;
}

std::shared_ptr<canvas> bitmap_canvas(HBITMAP bitmap) {
    auto object = std::dynamic_pointer_cast<bitmap_object>(find_object(bitmap));
    return object ? object->pixels : nullptr;
}

HBITMAP create_bitmap(const canvas& pixels) {
    auto copy = copy_rect(pixels, RECT{0, 0, pixels.width(), pixels.height()});
    return static_cast<HBITMAP>(add_object(std::make_shared<bitmap_object>(copy, false)));
}

}  // namespace win_gdi
