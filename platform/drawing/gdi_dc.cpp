// Device contexts: creation, the state stack, the viewport origin, colours
// and modes, object selection and clipping.
#include <utility>

#include "gdi_objects.h"

namespace win_gdi {

namespace {

void unselect_all(dc_state& state) {
    set_selection(state.bitmap, std::shared_ptr<bitmap_object>());
    set_selection(state.brush, std::shared_ptr<brush_object>());
    set_selection(state.pen, std::shared_ptr<pen_object>());
    set_selection(state.font, std::shared_ptr<font_object>());
}

bool close_dc(HDC dc, bool memory) {
    auto object = find_dc(dc);
    if (!object || object->memory != memory) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    unselect_all(object->state);
    remove_object(dc);
    return true;
}

}  // namespace

bool release_dc(HDC dc) {
    return close_dc(dc, false);
}

}  // namespace win_gdi

using namespace win_gdi;

HDC CreateCompatibleDC(HDC) {
    auto dc = std::make_shared<dc_object>();
    dc->memory = true;
    select_defaults(dc->state, true);
    return static_cast<HDC>(add_object(dc));
}

BOOL DeleteDC(HDC dc) {
    return close_dc(dc, true) ? TRUE : FALSE;
}

int SaveDC(HDC dc) {
    auto object = find_dc(dc);
    if (!object) return 0;
    object->saved.push_back(object->state);
    return static_cast<int>(object->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    const int depth = static_cast<int>(object->saved.size());
    const int target = saved < 0 ? depth + saved + 1 : saved;  // the SaveDC number to return to
    if (saved == 0 || target < 1 || target > depth) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    dc_state restored = object->saved[target - 1];
    object->saved.resize(target - 1);
    dc_state& current = object->state;
    set_selection(current.bitmap, restored.bitmap);
    set_selection(current.brush, restored.brush);
    set_selection(current.pen, restored.pen);
    current.position = restored.position;
    set_selection(current.font, restored.font);
    current.text_color = restored.text_color;
    current.background_color = restored.background_color;
    current.background_mode = restored.background_mode;
    current.origin = restored.origin;
    current.brush_origin = restored.brush_origin;
    current.clip = std::move(restored.clip);
    return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    if (previous) *previous = object->state.origin;
    object->state.origin = {x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
    auto object = find_dc(dc);
    if (!object || !origin) return FALSE;
    *origin = object->state.origin;
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    if (previous) *previous = object->state.origin;
    object->state.origin.x += dx;
    object->state.origin.y += dy;
    return TRUE;
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    if (previous) *previous = object->state.brush_origin;
    object->state.brush_origin = {x, y};
    return TRUE;
}

BOOL GetBrushOrgEx(HDC dc, LPPOINT origin) {
    auto object = find_dc(dc);
    if (!object || !origin) return FALSE;
    *origin = object->state.brush_origin;
    return TRUE;
}

int SetBkMode(HDC dc, int mode) {
    auto object = find_dc(dc);
    if (!object) return 0;
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(object->state.background_mode, mode);
}

int GetBkMode(HDC dc) {
    auto object = find_dc(dc);
    return object ? object->state.background_mode : 0;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    auto object = find_dc(dc);
    return object ? std::exchange(object->state.text_color, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetTextColor(HDC dc) {
    auto object = find_dc(dc);
    return object ? object->state.text_color : CLR_INVALID;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    auto object = find_dc(dc);
    return object ? std::exchange(object->state.background_color, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetBkColor(HDC dc) {
    auto object = find_dc(dc);
    return object ? object->state.background_color : CLR_INVALID;
}

int GetDeviceCaps(HDC dc, int index) {
    auto object = find_dc(dc);
    if (!object) return 0;
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case HORZRES:
            return object->target().width();
        case VERTRES:
            return object->target().height();
        case BITSPIXEL:
            return 32;
        default:
            return 0;
    }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    auto object = find_dc(dc);
    auto selected = find_object(handle);
    if (!object || !selected) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    dc_state& state = object->state;
    if (auto bitmap = std::dynamic_pointer_cast<bitmap_object>(selected)) {
        const bool elsewhere = bitmap->selections > 0 && !bitmap->stock && state.bitmap != bitmap;
        if (!object->memory || elsewhere || !bitmap->packed.empty()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        HGDIOBJ previous = state.bitmap->handle;
        set_selection(state.bitmap, bitmap);
        return previous;
    }
    if (auto brush = std::dynamic_pointer_cast<brush_object>(selected)) {
        HGDIOBJ previous = state.brush->handle;
        set_selection(state.brush, brush);
        return previous;
    }
    if (auto pen = std::dynamic_pointer_cast<pen_object>(selected)) {
        HGDIOBJ previous = state.pen->handle;
        set_selection(state.pen, pen);
        return previous;
    }
    if (auto font = std::dynamic_pointer_cast<font_object>(selected)) {
        HGDIOBJ previous = state.font->handle;
        set_selection(state.font, font);
        return previous;
    }
    if (std::dynamic_pointer_cast<region_object>(selected)) {
        const int type = SelectClipRgn(dc, static_cast<HRGN>(handle));
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}
