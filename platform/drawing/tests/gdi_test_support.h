// Surfaces for drawing tests: memory DCs over DIB sections whose pixels the
// test reads directly, and a folder for pictures of what was drawn.
#pragma once

#include <cstdint>
#include <string>

#include "drawing/gdi_canvas.h"
#include "win/gdi.h"

namespace gdi_testing {

// A memory DC with a 32-bit DIB section selected, rows top-down unless
// bottom_up.
class surface {
public:
    surface(int width, int height, bool bottom_up = false) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = bottom_up ? height : -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~surface() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    surface(const surface&) = delete;
    surface& operator=(const surface&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    uint32_t* bits() const { return bits_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The pixel at (x, y) counted from the top, whatever the row order.
    uint32_t at(int x, int y) const { return win_gdi::dc_canvas(dc_)->at(x, y); }
    void fill(uint32_t value) { win_gdi::dc_canvas(dc_)->fill(value); }

private:
    int width_;
    int height_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// Pictures land in the build folder, for a person to look at.
inline std::string snapshot_path(const std::string& name) {
    return std::string(GDI_SNAPSHOT_DIR) + "/" + name;
}

}  // namespace gdi_testing
