// The static class: a text painted in the parent's colours, an icon
// (SS_ICON) or an etched line (SS_ETCHEDHORZ); the mouse passes through to
// the parent unless SS_NOTIFY asks for clicks.

#include "user_internal.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

struct static_data : control_data {
    HICON icon = nullptr;
};

UINT format_of(LONG style) {
    UINT format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    if (style & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            return format | DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS;
        case SS_RIGHT:
            return format | DT_RIGHT | DT_WORDBREAK | DT_EXPANDTABS;
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            return format | DT_LEFT | DT_SINGLELINE | DT_EXPANDTABS;
        default:
            return format | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS;
    }
}

void paint(HWND control) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    if (!dc) {
        EndPaint(control, &ps);
        return;
    }
    HWND parent = GetParent(control);
    auto brush = reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(control))
                                                 : 0);
    RECT client;
    GetClientRect(control, &client);
    if (brush) FillRect(dc, &client, brush);
    const UINT type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_ETCHEDHORZ) {
        // A sunken line: shadow above, highlight below.
        const RECT shadow{client.left, client.top, client.right, client.top + 1};
        const RECT light{client.left, client.top + 1, client.right, client.top + 2};
        FillRect(dc, &shadow, GetSysColorBrush(COLOR_BTNSHADOW));
        FillRect(dc, &light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    }
    if (type == SS_ICON) {
        // The icon at its own size in the top-left corner. Standard icons
        // hold no pixels here, so they leave the background as it is.
        const auto data = control_state<static_data>(control);
        if (data && data->icon) DrawIconEx(dc, 0, 0, data->icon, 0, 0, 0, nullptr, DI_NORMAL);
    }
    if (type == SS_ETCHEDHORZ || type == SS_ICON) {
        EndPaint(control, &ps);
        return;
    }
    SelectObject(dc, control_font(control));
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(control)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    wchar_t text[4096];
    GetWindowTextW(control, text, 4096);
    DrawTextW(dc, text, -1, &client, format_of(GetWindowLongW(control, GWL_STYLE)));
    EndPaint(control, &ps);
}

}  // namespace

LRESULT CALLBACK static_procedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_NCHITTEST:
            if (!(GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY)) return HTTRANSPARENT;
            return DefWindowProcW(control, message, wparam, lparam);
        case WM_LBUTTONDOWN:
            if (GetWindowLongW(control, GWL_STYLE) & SS_NOTIFY) {
                if (HWND parent = GetParent(control))
                    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
                                 reinterpret_cast<LPARAM>(control));
            }
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case STM_SETICON: {
            const auto data = control_state<static_data>(control);
            if (!data) return 0;
            const HICON previous = data->icon;
            data->icon = reinterpret_cast<HICON>(wparam);
            InvalidateRect(control, nullptr, TRUE);
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_GETICON: {
            const auto data = control_state<static_data>(control);
            return data ? reinterpret_cast<LRESULT>(data->icon) : 0;
        }
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(control, message, wparam, lparam);
            InvalidateRect(control, nullptr, TRUE);
            return result;
        }
        case WM_ENABLE:
            InvalidateRect(control, nullptr, TRUE);
            return 0;
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(control, message, wparam, lparam);
        case WM_PAINT:
            paint(control);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(control, message, wparam, lparam);
    }
}

HFONT control_font(HWND control) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(control);
    return w && w->font ? w->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

LRESULT control_font_message(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_GETFONT) {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(control);
        return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(control)) w->font = reinterpret_cast<HFONT>(wparam);
    }
    if (LOWORD(lparam)) InvalidateRect(control, nullptr, TRUE);
    return 0;
}

}  // namespace win_user
