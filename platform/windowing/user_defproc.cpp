// The default window procedure: texts, hit testing, cursors, closing,
// position notifications, activation and painting of what a window does
// not paint itself.

#include <algorithm>
#include <cstring>

#include "user_internal.h"
#include "user_session_windows.h"
#include "user_state.h"
#include "win/user_input.h"
#include "win/user_paint.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

bool in_rect(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The sizing code of a point in the border bands of a resizable window.
LRESULT border_code(const RECT& r, POINT p, int band) {
    const bool left = p.x < r.left + band, right = p.x >= r.right - band;
    const bool top = p.y < r.top + band, bottom = p.y >= r.bottom - band;
    if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    return HTNOWHERE;
}

LPCWSTR sizing_cursor(LRESULT hit) {
    switch (hit) {
        case HTLEFT:
        case HTRIGHT:
            return IDC_SIZEWE;
        case HTTOP:
        case HTBOTTOM:
            return IDC_SIZENS;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            return IDC_SIZENWSE;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            return IDC_SIZENESW;
        default:
            return IDC_ARROW;
    }
}

LRESULT set_cursor(HWND handle, WPARAM wparam, LPARAM lparam) {
    HWND parent = nullptr;
    HCURSOR class_cursor = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return FALSE;
        parent = w->parent;
        class_cursor = w->cls->cursor;
    }
    if (parent && SendMessageW(parent, WM_SETCURSOR, wparam, lparam)) return TRUE;
    const LRESULT hit = static_cast<SHORT>(LOWORD(lparam));
    if (hit == HTERROR) return FALSE;
    if (hit == HTCLIENT) {
        if (!class_cursor) return FALSE;
        SetCursor(class_cursor);
        return TRUE;
    }
    SetCursor(LoadCursorW(nullptr, sizing_cursor(hit)));
    return TRUE;
}

LRESULT set_text(HWND handle, LPCWSTR text) {
    bool caption = false;
    bool top_level = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return FALSE;
        w->text = text ? text : L"";
        caption = (w->style & WS_CAPTION) == WS_CAPTION;
        top_level = !w->parent;
    }
    if (top_level) republish_caption(handle, text ? text : L"");
    if (caption) RedrawWindow(handle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    window_changed(handle);
    return TRUE;
}

LRESULT get_text(HWND handle, WPARAM max_count, LPWSTR out) {
    if (!out || max_count == 0) return 0;
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) {
        out[0] = 0;
        return 0;
    }
    const size_t count = std::min<size_t>(w->text.size(), max_count - 1);
    std::copy(w->text.begin(), w->text.begin() + static_cast<std::ptrdiff_t>(count), out);
    out[count] = 0;
    return static_cast<LRESULT>(count);
}

void position_changed(HWND handle, const WINDOWPOS* pos) {
    if (!pos) return;
    RECT client{};
    POINT origin{};
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return;
        client = client_in_window_locked(*w);
        origin = {w->rect.left + client.left, w->rect.top + client.top};
    }
    if (!(pos->flags & SWP_NOSIZE))
        SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(client.right - client.left, client.bottom - client.top));
    if (!(pos->flags & SWP_NOMOVE))
        SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
}

}  // namespace

LRESULT default_hit_test(HWND handle, POINT p) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) return HTNOWHERE;
    const RECT r = screen_rect_locked(*w);
    if (!in_rect(r, p)) return HTNOWHERE;
    if (w->region && !region_contains(w->region, p.x - r.left, p.y - r.top)) return HTNOWHERE;
    const RECT c = client_in_window_locked(*w);
    const RECT client{r.left + c.left, r.top + c.top, r.left + c.right, r.top + c.bottom};
    if (in_rect(client, p)) return HTCLIENT;
    if (w->style & WS_THICKFRAME) {
        const LRESULT code = border_code(r, p, 4);
        if (code != HTNOWHERE) return code;
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION && p.y < client.top) {
        const LONG caption_height = client.top - r.top;
        if ((w->style & WS_SYSMENU) && p.x >= client.right - caption_height) return HTCLOSE;
        return HTCAPTION;
    }
    return HTBORDER;
}

}  // namespace win_user

using namespace win_user;

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
                set_text(handle, create->lpszName);
            return TRUE;
        }
        case WM_NCHITTEST:
            return default_hit_test(handle, {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        case WM_SETCURSOR:
            return set_cursor(handle, wparam, lparam);
        case WM_CLOSE:
            DestroyWindow(handle);
            return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
            return 0;
        case WM_NCLBUTTONUP:
            if (wparam == HTCLOSE) SendMessageW(handle, WM_SYSCOMMAND, SC_CLOSE, lparam);
            return 0;
        case WM_SETTEXT:
            return set_text(handle, reinterpret_cast<LPCWSTR>(lparam));
        case WM_GETTEXT:
            return get_text(handle, wparam, reinterpret_cast<LPWSTR>(lparam));
        case WM_GETTEXTLENGTH: {
            const window_ptr w = find(handle);
            return w ? static_cast<LRESULT>(w->text.size()) : 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(handle, &paint);
            EndPaint(handle, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return erase_background(handle, reinterpret_cast<HDC>(wparam));
        case WM_NCPAINT:
            paint_frame(handle);
            return 0;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return control_colors(message, reinterpret_cast<HDC>(wparam));
        case WM_WINDOWPOSCHANGED:
            position_changed(handle, reinterpret_cast<const WINDOWPOS*>(lparam));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE) {
                HWND focus = GetFocus();
                if (!focus || !(focus == handle || IsChild(handle, focus))) SetFocus(handle);
            }
            return 0;
        case WM_MOUSEWHEEL: {
            const HWND parent = GetAncestor(handle, GA_PARENT);
            return parent ? SendMessageW(parent, message, wparam, lparam) : 0;
        }
        case WM_CANCELMODE:
            if (GetCapture() == handle) ReleaseCapture();
            return 0;
        case WM_QUERYENDSESSION:
        case WM_NCACTIVATE:
            return TRUE;
        default:
            return 0;
    }
}
