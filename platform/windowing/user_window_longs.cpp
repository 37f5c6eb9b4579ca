// Window longs (styles, procedure, user data, the class's extra bytes),
// subclassing, and the window's rectangles and coordinate mapping.

#include <cstring>

#include "user_internal.h"
#include "user_state.h"

using namespace win_user;

namespace {

bool extra_slot(const window& w, int index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) + size <= w.extra.size();
}

template <typename T>
T read_extra(const window& w, int index) {
    T value{};
    std::memcpy(&value, w.extra.data() + index, sizeof(T));
    return value;
}

template <typename T>
T write_extra(window& w, int index, T value) {
    const T old = read_extra<T>(w, index);
    std::memcpy(w.extra.data() + index, &value, sizeof(T));
    return old;
}

}  // namespace

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->procedure);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
        case GWLP_ID:
            return w->id;
        case GWL_STYLE:
            return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(w->ex_style);
        case GWLP_USERDATA:
            return w->user_data;
        default:
            if (extra_slot(*w, index, sizeof(LONG_PTR))) return read_extra<LONG_PTR>(*w, index);
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
    }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
        case GWLP_WNDPROC:
            if (!value) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            old = reinterpret_cast<LONG_PTR>(w->procedure);
            w->procedure = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            if (w->parent) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            old = reinterpret_cast<LONG_PTR>(w->owner);
            w->owner = top_level_of_locked(reinterpret_cast<HWND>(value));
            return old;
        case GWLP_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWL_STYLE:
            old = static_cast<LONG_PTR>(w->style);
            w->style = static_cast<DWORD>(value);
            return old;
        case GWL_EXSTYLE:
            // The topmost bit follows the z-order, which only SetWindowPos
            // changes.
            old = static_cast<LONG_PTR>(w->ex_style);
            w->ex_style =
                (static_cast<DWORD>(value) & ~WS_EX_TOPMOST) | (w->ex_style & WS_EX_TOPMOST);
            return old;
        case GWLP_USERDATA:
            old = w->user_data;
            w->user_data = value;
            return old;
        default:
            if (extra_slot(*w, index, sizeof(LONG_PTR)))
                return write_extra<LONG_PTR>(*w, index, value);
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
    }
}

LONG GetWindowLongW(HWND handle, int index) {
    if (index >= 0) {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (extra_slot(*w, index, sizeof(LONG))) return read_extra<LONG>(*w, index);
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(GetWindowLongPtrW(handle, index));
}

LONG SetWindowLongW(HWND handle, int index, LONG value) {
    if (index >= 0) {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (extra_slot(*w, index, sizeof(LONG))) return write_extra<LONG>(*w, index, value);
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(SetWindowLongPtrW(handle, index, value));
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND handle, UINT message, WPARAM wparam,
                        LPARAM lparam) {
    return procedure ? procedure(handle, message, wparam, lparam) : 0;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = screen_rect_locked(*w);
    return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const RECT client = client_in_window_locked(*w);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD ex_style) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT frame = frame_of(style, ex_style);
    rect->left -= frame.left;
    rect->top -= frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

namespace {

// The client origin in screen coordinates; the screen's for a null window.
bool origin_of(HWND handle, POINT* origin) {
    if (!handle) {
        *origin = {0, 0};
        return true;
    }
    const window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    *origin = client_origin_locked(*w);
    return true;
}

}  // namespace

BOOL ScreenToClient(HWND handle, LPPOINT point) {
    std::lock_guard<std::mutex> guard(state().lock);
    POINT origin;
    if (!point || !handle || !origin_of(handle, &origin)) return FALSE;
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
    std::lock_guard<std::mutex> guard(state().lock);
    POINT origin;
    if (!point || !handle || !origin_of(handle, &origin)) return FALSE;
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    std::lock_guard<std::mutex> guard(state().lock);
    POINT from_origin, to_origin;
    if (!origin_of(from, &from_origin) || !origin_of(to, &to_origin)) return 0;
    const LONG dx = from_origin.x - to_origin.x;
    const LONG dy = from_origin.y - to_origin.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}
