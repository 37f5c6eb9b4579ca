// Bitmaps, DIB sections, brushes, and the object calls common to all kinds.
#include <algorithm>
#include <cstring>

#include "gdi_objects.h"

using namespace win_gdi;

namespace {

constexpr LONG largest_side = 16384;

bool valid_size(LONG width, LONG height) {
    return width > 0 && height > 0 && width <= largest_side && height <= largest_side;
}

// A canvas whose pixel memory is an array the bitmap keeps, laid out as the
// caller of CreateDIBSection expects.
std::shared_ptr<canvas> dib_canvas(LONG width, LONG height, bool top_down) {
    struct dib : canvas {
        dib(LONG w, LONG h, std::unique_ptr<pixel[]> memory, bool top_down)
            : canvas(w, h, top_down ? memory.get() : memory.get() + static_cast<size_t>(h - 1) * w,
                     top_down ? w : -static_cast<std::ptrdiff_t>(w)),
              bits(std::move(memory)) {}
        std::unique_ptr<pixel[]> bits;
    };
    auto memory = std::make_unique<pixel[]>(static_cast<size_t>(width) * height);  // zeroed
    return std::make_shared<dib>(width, height, std::move(memory), top_down);
}

// The bytes of one row of 24-bit pixels, padded to 4.
size_t packed_stride(LONG width) {
    return (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
}

}  // namespace

namespace win_gdi {

std::shared_ptr<brush_object> stock_brush(int which) {
    static const auto brushes = [] {
        std::vector<std::shared_ptr<brush_object>> list;
        const COLORREF colors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                   RGB(64, 64, 64), RGB(0, 0, 0)};
        for (COLORREF color : colors)
            list.push_back(std::make_shared<brush_object>(LOGBRUSH{BS_SOLID, color, 0}));
        list.push_back(std::make_shared<brush_object>(LOGBRUSH{BS_NULL, 0, 0}));
        for (auto& brush : list) {
            brush->stock = true;
            add_object(brush);
        }
        return list;
    }();
    if (which < WHITE_BRUSH || which > NULL_BRUSH) return nullptr;
    return brushes[which];
}

}  // namespace win_gdi

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    if (header.biSize < sizeof(BITMAPINFOHEADER) ||
        (header.biBitCount != 32 && header.biBitCount != 24) || header.biCompression != BI_RGB ||
        header.biPlanes != 1 || !valid_size(header.biWidth, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (header.biBitCount == 24) {
        auto section =
            std::make_shared<bitmap_object>(std::make_shared<canvas>(header.biWidth, height), true);
        section->packed.assign(packed_stride(header.biWidth) * static_cast<size_t>(height), 0);
        section->header_height = header.biHeight;
        if (bits) *bits = section->packed.data();
        return static_cast<HBITMAP>(add_object(section));
    }
    auto pixels = dib_canvas(header.biWidth, height, header.biHeight < 0);
    if (bits) *bits = pixels->memory();
    auto section = std::make_shared<bitmap_object>(pixels, true);
    section->header_height = header.biHeight;
    return static_cast<HBITMAP>(add_object(section));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    if (!valid_size(width, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pixels = std::make_shared<canvas>(width, height);
    return static_cast<HBITMAP>(add_object(std::make_shared<bitmap_object>(pixels, false)));
}

BOOL DeleteObject(HGDIOBJ handle) {
    auto object = find_object(handle);
    if (!object || object->stock || object->selections > 0 || object->type() == OBJ_DC ||
        object->type() == OBJ_MEMDC)
        return FALSE;
    return remove_object(handle) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ handle) {
    auto object = find_object(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return object->type();
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
    auto object = find_object(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto copy_out = [&](const void* description, int description_size) {
        if (!buffer) return description_size;
        if (size < description_size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, description, description_size);
        return description_size;
    };
    if (auto bitmap = std::dynamic_pointer_cast<bitmap_object>(object)) {
        canvas& pixels = *bitmap->pixels;
        const bool packed = !bitmap->packed.empty();
        BITMAP description{
            0,
            pixels.width(),
            pixels.height(),
            packed ? static_cast<LONG>(packed_stride(pixels.width())) : pixels.width() * 4,
            1,
            static_cast<WORD>(packed ? 24 : 32),
            nullptr};
        if (bitmap->dib_section)
            description.bmBits =
                packed ? bitmap->packed.data() : static_cast<void*>(pixels.memory());
        if (bitmap->dib_section && buffer && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION section{};
            section.dsBm = description;
            section.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
            section.dsBmih.biWidth = pixels.width();
            section.dsBmih.biHeight = bitmap->header_height;
            section.dsBmih.biPlanes = 1;
            section.dsBmih.biBitCount = description.bmBitsPixel;
            section.dsBmih.biCompression = BI_RGB;
            section.dsBmih.biSizeImage =
                static_cast<DWORD>(description.bmWidthBytes) * static_cast<DWORD>(pixels.height());
            return copy_out(&section, sizeof section);
        }
        return copy_out(&description, sizeof description);
    }
    if (auto brush = std::dynamic_pointer_cast<brush_object>(object))
        return copy_out(&brush->brush, sizeof brush->brush);
    if (auto font = std::dynamic_pointer_cast<font_object>(object))
        return copy_out(&font->logfont, sizeof font->logfont);
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

HGDIOBJ GetStockObject(int which) {
    std::shared_ptr<gdi_object> object;
    if (which >= WHITE_BRUSH && which <= NULL_BRUSH)
        object = stock_brush(which);
    else if (which >= WHITE_PEN && which <= NULL_PEN)
        object = stock_pen(which);
    else if (which == SYSTEM_FONT || which == DEFAULT_GUI_FONT)
        object = stock_font(which);
    return object ? object->handle : nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(
        add_object(std::make_shared<brush_object>(LOGBRUSH{BS_SOLID, color & 0xFFFFFF, 0})));
}

int FillRect(HDC dc, const RECT* rect, HBRUSH handle) {
    auto object = find_dc(dc);
    auto brush = find_as<brush_object>(handle);
    if (!object || !brush || !rect) return 0;
    if (brush->brush.lbStyle == BS_NULL) return 1;
    const pixel color = opaque_pixel(brush->brush.lbColor);
    canvas& surface = object->target();
    for (const RECT& part : object->drawable_parts(object->to_device(*rect)))
        for (LONG y = part.top; y < part.bottom; ++y)
            std::fill(surface.row(y) + part.left, surface.row(y) + part.right, color);
    return 1;
}
