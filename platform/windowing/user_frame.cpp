// The default look of windows: background, frame and caption, and the
// colours controls get from their parents.

#include "user_internal.h"
#include "user_state.h"
#include "win/user_input.h"
#include "win/user_paint.h"
#include "win/user_window.h"

namespace win_user {

namespace {

void fill(HDC dc, LONG left, LONG top, LONG right, LONG bottom, int color) {
    const RECT r{left, top, right, bottom};
    FillRect(dc, &r, GetSysColorBrush(color));
}

// A class brush may be a system colour index plus one.
HBRUSH brush_of(HBRUSH brush) {
    const auto value = reinterpret_cast<ULONG_PTR>(brush);
    if (value > 0 && value <= 32) return GetSysColorBrush(static_cast<int>(value - 1));
    return brush;
}

}  // namespace

LRESULT erase_background(HWND handle, HDC dc) {
    HBRUSH brush = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return 0;
        brush = brush_of(w->cls->background);
    }
    if (!brush || !dc) return 0;
    RECT client;
    GetClientRect(handle, &client);
    FillRect(dc, &client, brush);
    return 1;
}

void paint_frame(HWND handle) {
    DWORD style = 0, ex_style = 0;
    RECT client_in_window{}, window_rect{};
    std::wstring caption;
    bool active = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return;
        style = w->style;
        ex_style = w->ex_style;
        client_in_window = client_in_window_locked(*w);
        window_rect = w->rect;
        caption = w->text;
        active = w->queue->active == handle || state().foreground == handle;
    }
    const RECT frame = frame_of(style, ex_style);
    if (frame.left == 0 && frame.top == 0) return;
    HDC dc = GetWindowDC(handle);
    if (!dc) return;
    const LONG width = window_rect.right - window_rect.left;
    const LONG height = window_rect.bottom - window_rect.top;
    fill(dc, 0, 0, width, client_in_window.top, COLOR_BTNFACE);
    fill(dc, 0, 0, client_in_window.left, height, COLOR_BTNFACE);
    fill(dc, client_in_window.right, 0, width, height, COLOR_BTNFACE);
    fill(dc, 0, client_in_window.bottom, width, height, COLOR_BTNFACE);
    if (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) {
        fill(dc, 0, 0, width, 1, COLOR_WINDOWFRAME);
        fill(dc, 0, height - 1, width, height, COLOR_WINDOWFRAME);
        fill(dc, 0, 0, 1, height, COLOR_WINDOWFRAME);
        fill(dc, width - 1, 0, width, height, COLOR_WINDOWFRAME);
    }
    if (ex_style & WS_EX_CLIENTEDGE) {
        const RECT& c = client_in_window;
        fill(dc, c.left - 2, c.top - 2, c.right + 2, c.top - 1, COLOR_BTNSHADOW);
        fill(dc, c.left - 2, c.top - 2, c.left - 1, c.bottom + 2, COLOR_BTNSHADOW);
        fill(dc, c.left - 2, c.bottom + 1, c.right + 2, c.bottom + 2, COLOR_BTNHIGHLIGHT);
        fill(dc, c.right + 1, c.top - 2, c.right + 2, c.bottom + 2, COLOR_BTNHIGHLIGHT);
    }
    if ((style & WS_CAPTION) == WS_CAPTION) {
        const LONG top = frame.left;
        const LONG bottom = client_in_window.top;
        fill(dc, frame.left, top, width - frame.right, bottom,
             active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        const LONG button = (style & WS_SYSMENU) ? bottom - top : 0;
        RECT text{frame.left + 6, top, width - frame.right - button - 2, bottom};
        DrawTextW(dc, caption.c_str(), -1, &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        if (button) {
            RECT close{width - frame.right - button, top, width - frame.right, bottom};
            DrawTextW(dc, L"\u00d7", -1, &close, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    ReleaseDC(handle, dc);
}

LRESULT control_colors(UINT message, HDC dc) {
    const bool white = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
    const int background = white ? COLOR_WINDOW : COLOR_BTNFACE;
    if (dc) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(background));
    }
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

}  // namespace win_user
