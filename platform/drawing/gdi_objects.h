// The process's table of drawing objects: DCs, bitmaps, brushes, fonts and
// regions. Handles are kept apart from kernel handles (CloseHandle never
// reaches these). An object lives while its handle or a DC that selected it
// holds it, so a handle deleted too early never leaves a DC drawing into
// freed memory.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "gdi_canvas.h"
#include "gdi_region.h"
#include "win/gdi.h"

namespace win_gdi {

class text_font;

class gdi_object {
public:
    virtual ~gdi_object() = default;
    virtual DWORD type() const = 0;  // OBJ_*

    HGDIOBJ handle = nullptr;  // set when the object enters the table
    bool stock = false;
    // How many DCs have it selected now; DeleteObject refuses while non-zero.
    std::atomic<int> selections{0};
};

class bitmap_object : public gdi_object {
public:
    explicit bitmap_object(std::shared_ptr<canvas> p, bool dib)
        : pixels(std::move(p)), dib_section(dib) {}
    DWORD type() const override { return OBJ_BITMAP; }

    std::shared_ptr<canvas> pixels;
    bool dib_section;
    // A 24-bit DIB section's own pixel memory (rows of 3 bytes a pixel,
    // padded to 4 bytes); pixels then only gives the size. Empty otherwise.
    std::vector<BYTE> packed;
    LONG header_height = 0;  // as the DIB section was asked for: negative top-down
};

class brush_object : public gdi_object {
public:
    explicit brush_object(LOGBRUSH b) : brush(b) {}
    DWORD type() const override { return OBJ_BRUSH; }

    LOGBRUSH brush;
};

class pen_object : public gdi_object {
public:
    pen_object(int s, int w, COLORREF c) : style(s), width(w), color(c) {}
    DWORD type() const override { return OBJ_PEN; }

    int style;
    int width;
    COLORREF color;
};

class font_object : public gdi_object {
public:
    explicit font_object(const LOGFONTW& f);
    DWORD type() const override { return OBJ_FONT; }

    LOGFONTW logfont;
    std::shared_ptr<const text_font> font;  // resolved on creation
};

class region_object : public gdi_object {
public:
    DWORD type() const override { return OBJ_REGION; }

    region shape;
};

// What SaveDC keeps.
struct dc_state {
    std::shared_ptr<bitmap_object> bitmap;  // memory DCs only
    std::shared_ptr<brush_object> brush;
    std::shared_ptr<pen_object> pen;
    std::shared_ptr<font_object> font;
    POINT position{};  // where LineTo starts, in logical coordinates
    COLORREF text_color = RGB(0, 0, 0);
    COLORREF background_color = RGB(255, 255, 255);
    int background_mode = OPAQUE;
    POINT origin{};
    POINT brush_origin{};        // where patterned brushes start; solid ones ignore it
    std::optional<region> clip;  // device coordinates
};

class dc_object : public gdi_object {
public:
    DWORD type() const override { return memory ? OBJ_MEMDC : OBJ_DC; }

    // The canvas drawing goes to: the selected bitmap's, or the window's.
    canvas& target() const { return memory ? *state.bitmap->pixels : *window_canvas; }
    std::shared_ptr<canvas> target_ptr() const {
        return memory ? state.bitmap->pixels : window_canvas;
    }
    // The parts of a device rectangle that drawing may touch: inside the
    // surface and the clip region.
    std::vector<RECT> drawable_parts(const RECT& device_rect) const;
    // Logical to device coordinates.
    RECT to_device(const RECT& logical) const;

    bool memory = false;
    std::shared_ptr<canvas> window_canvas;
    dc_state state;
    std::vector<dc_state> saved;
};

HGDIOBJ add_object(std::shared_ptr<gdi_object> object);
std::shared_ptr<gdi_object> find_object(HGDIOBJ handle);
// Removes the handle; the object lives on while something holds it.
bool remove_object(HGDIOBJ handle);

// The object of a handle when it is of kind T, else nullptr with
// ERROR_INVALID_HANDLE.
template <typename T>
std::shared_ptr<T> find_as(HGDIOBJ handle) {
    auto object = std::dynamic_pointer_cast<T>(find_object(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

inline std::shared_ptr<dc_object> find_dc(HDC dc) {
    return find_as<dc_object>(dc);
}

// The stock objects a new DC starts with.
std::shared_ptr<bitmap_object> stock_bitmap();
std::shared_ptr<brush_object> stock_brush(int which);
std::shared_ptr<font_object> stock_font(int which);
std::shared_ptr<pen_object> stock_pen(int which);
// What a new DC selects: the stock bitmap (memory DCs), white brush, black
// pen and system font.
void select_defaults(dc_state& state, bool memory);

// Selection bookkeeping: put the object into the DC's current state slot.
template <typename T>
void set_selection(std::shared_ptr<T>& slot, std::shared_ptr<T> object) {
    if (object) ++object->selections;
    if (slot) --slot->selections;
    slot = std::move(object);
}

// A COLORREF as an opaque pixel.
constexpr pixel opaque_pixel(COLORREF color) {
    return make_pixel(255, GetRValue(color), GetGValue(color), GetBValue(color));
}

}  // namespace win_gdi
