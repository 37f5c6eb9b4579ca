// Pictures of DCs and bitmaps for tests.
#include "win/gdi_test.h"

#include "drawing/gdi_canvas.h"

namespace win_test {

bool save_png(HDC dc, const std::string& path) {
    auto pixels = win_gdi::dc_canvas(dc);
    return pixels && win_gdi::save_png(*pixels, path);
}

bool save_png(HBITMAP bitmap, const std::string& path) {
    auto pixels = win_gdi::bitmap_canvas(bitmap);
    return pixels && win_gdi::save_png(*pixels, path);
}

}  // namespace win_test
