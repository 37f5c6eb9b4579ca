// The tooltip control: a list of tools, and a tip shown after the hover
// delay while relayed mouse moves rest over a tool.

#include <algorithm>
#include <mutex>

#include "user_internal.h"
#include "user_state.h"
#include "user_tooltip.h"
#include "win/user.h"

namespace win_user {

namespace {

constexpr UINT_PTR show_timer = 1;
constexpr UINT_PTR hide_timer = 2;

std::wstring tool_text(const TOOLINFOW& info) {
    if (!info.lpszText || info.lpszText == LPSTR_TEXTCALLBACKW) return L"";
    if (IS_INTRESOURCE(info.lpszText)) {
        wchar_t buffer[1024];
        const int n =
            LoadStringW(info.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText)),
                        buffer, 1024);
        return std::wstring(buffer, static_cast<size_t>(n));
    }
    return info.lpszText;
}

bool valid_info(LPARAM lparam) {
    const auto* info = reinterpret_cast<const TOOLINFOW*>(lparam);
    return info && info->cbSize >= TTTOOLINFOW_V1_SIZE;
}

bool same_tool(const tool_entry& t, const TOOLINFOW& info) {
    return t.window == info.hwnd && t.id == info.uId;
}

// The tool under a point of a window's client area, -1 for none.
int tool_at(const tooltip_data& data, HWND window, POINT point) {
    for (size_t i = 0; i < data.tools.size(); ++i) {
        const tool_entry& t = data.tools[i];
        const bool whole_window =
            (t.flags & TTF_IDISHWND) && reinterpret_cast<HWND>(t.id) == window;
        if (whole_window) return static_cast<int>(i);
        if (t.window == window && PtInRect(&t.rect, point)) return static_cast<int>(i);
    }
    return -1;
}

void hide_tip(HWND tooltip, tooltip_data& data) {
    KillTimer(tooltip, show_timer);
    KillTimer(tooltip, hide_timer);
    {
        std::lock_guard<std::mutex> guard(data.lock);
        data.shown_text.clear();
    }
    if (IsWindowVisible(tooltip)) ShowWindow(tooltip, SW_HIDE);
}

bool may_show(HWND tooltip, const tool_entry& tool) {
    if (GetWindowLongW(tooltip, GWL_STYLE) & TTS_ALWAYSTIP) return true;
    HWND window = (tool.flags & TTF_IDISHWND) ? reinterpret_cast<HWND>(tool.id) : tool.window;
    return GetAncestor(window, GA_ROOT) == GetForegroundWindow();
}

void show_tip(HWND tooltip, tooltip_data& data) {
    KillTimer(tooltip, show_timer);
    std::wstring text;
    int max_width;
    tool_entry tool;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!data.active || data.hovered < 0 || data.hovered >= static_cast<int>(data.tools.size()))
            return;
        tool = data.tools[static_cast<size_t>(data.hovered)];
        text = tool.text;
        max_width = data.max_width;
    }
    if (text.empty() || !may_show(tooltip, tool)) return;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, control_font(tooltip));
    RECT size{0, 0, max_width > 0 ? max_width : 10000, 0};
    DrawTextW(dc, text.c_str(), -1, &size,
              DT_CALCRECT | DT_NOPREFIX | (max_width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    DeleteDC(dc);
    POINT at;
    GetCursorPos(&at);
    {
        std::lock_guard<std::mutex> guard(data.lock);
        data.shown_text = text;
    }
    SetWindowPos(tooltip, HWND_TOPMOST, at.x, at.y + 20, size.right + 8, size.bottom + 4,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetTimer(tooltip, hide_timer, data.autopop_ms, nullptr);
}

void relay(HWND tooltip, tooltip_data& data, const MSG* m) {
    if (!m) return;
    if (m->message == WM_LBUTTONDOWN || m->message == WM_RBUTTONDOWN ||
        m->message == WM_LBUTTONUP || m->message == WM_RBUTTONUP || m->message == WM_MOUSEWHEEL) {
        // The tip stays away until the pointer moves to another tool.
        hide_tip(tooltip, data);
        return;
    }
    if (m->message != WM_MOUSEMOVE && m->message != WM_NCMOUSEMOVE) return;
    int under;
    bool changed;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        under = m->message == WM_MOUSEMOVE
                    ? tool_at(data, m->hwnd, {GET_X_LPARAM(m->lParam), GET_Y_LPARAM(m->lParam)})
                    : -1;
        changed = under != data.hovered;
        data.hovered = under;
        if (!changed || under < 0 || !data.active) under = -1;
    }
    if (changed) hide_tip(tooltip, data);
    if (under >= 0) SetTimer(tooltip, show_timer, data.initial_ms, nullptr);
}

void paint(HWND tooltip, tooltip_data& data) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(tooltip, &ps);
    if (dc) {
        RECT client;
        GetClientRect(tooltip, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
        const RECT edges[] = {{0, 0, client.right, 1},
                              {0, client.bottom - 1, client.right, client.bottom},
                              {0, 0, 1, client.bottom},
                              {client.right - 1, 0, client.right, client.bottom}};
        for (const RECT& e : edges) FillRect(dc, &e, GetSysColorBrush(COLOR_WINDOWFRAME));
        SelectObject(dc, control_font(tooltip));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        std::wstring text;
        int max_width;
        {
            std::lock_guard<std::mutex> guard(data.lock);
            text = data.shown_text;
            max_width = data.max_width;
        }
        RECT inside{4, 2, client.right - 4, client.bottom - 2};
        DrawTextW(dc, text.c_str(), -1, &inside,
                  DT_NOPREFIX | (max_width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    }
    EndPaint(tooltip, &ps);
}

}  // namespace

LRESULT CALLBACK tooltip_procedure(HWND tooltip, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto data = control_state<tooltip_data>(tooltip);
    if (!data) return DefWindowProcW(tooltip, message, wparam, lparam);
    switch (message) {
        case WM_NCCREATE: {
            SetWindowLongW(
                tooltip, GWL_EXSTYLE,
                GetWindowLongW(tooltip, GWL_EXSTYLE) | static_cast<LONG>(WS_EX_TOOLWINDOW));
            return DefWindowProcW(tooltip, message, wparam, lparam);
        }
        case TTM_ADDTOOLW: {
            if (!valid_info(lparam)) return FALSE;
            const auto& info = *reinterpret_cast<const TOOLINFOW*>(lparam);
            tool_entry t{info.uFlags, info.hwnd, info.uId, info.rect, tool_text(info)};
            if (info.uFlags & TTF_IDISHWND)
                GetClientRect(reinterpret_cast<HWND>(info.uId), &t.rect);
            std::lock_guard<std::mutex> guard(data->lock);
            data->tools.push_back(std::move(t));
            return TRUE;
        }
        case TTM_DELTOOLW: {
            if (!valid_info(lparam)) return 0;
            const auto& info = *reinterpret_cast<const TOOLINFOW*>(lparam);
            bool was_shown = false;
            {
                std::lock_guard<std::mutex> guard(data->lock);
                auto& tools = data->tools;
                const auto at = std::find_if(tools.begin(), tools.end(), [&](const tool_entry& t) {
                    return same_tool(t, info);
                });
                if (at == tools.end()) return 0;
                was_shown = data->hovered == static_cast<int>(at - tools.begin());
                tools.erase(at);
                data->hovered = -1;
            }
            if (was_shown) hide_tip(tooltip, *data);
            return 0;
        }
        case TTM_NEWTOOLRECTW: {
            if (!valid_info(lparam)) return 0;
            const auto& info = *reinterpret_cast<const TOOLINFOW*>(lparam);
            std::lock_guard<std::mutex> guard(data->lock);
            for (tool_entry& t : data->tools)
                if (same_tool(t, info)) t.rect = info.rect;
            return 0;
        }
        case TTM_UPDATETIPTEXTW: {
            if (!valid_info(lparam)) return 0;
            const auto& info = *reinterpret_cast<const TOOLINFOW*>(lparam);
            std::lock_guard<std::mutex> guard(data->lock);
            for (tool_entry& t : data->tools)
                if (same_tool(t, info)) t.text = tool_text(info);
            return 0;
        }
        case TTM_GETTOOLCOUNT: {
            std::lock_guard<std::mutex> guard(data->lock);
            return static_cast<LRESULT>(data->tools.size());
        }
        case TTM_SETMAXTIPWIDTH: {
            std::lock_guard<std::mutex> guard(data->lock);
            const int old = data->max_width;
            data->max_width = static_cast<int>(lparam);
            return old;
        }
        case TTM_GETMAXTIPWIDTH: {
            std::lock_guard<std::mutex> guard(data->lock);
            return data->max_width;
        }
        case TTM_ACTIVATE: {
            {
                std::lock_guard<std::mutex> guard(data->lock);
                data->active = wparam != 0;
            }
            if (!wparam) hide_tip(tooltip, *data);
            return 0;
        }
        case TTM_SETDELAYTIME: {
            const UINT ms = lparam < 0 ? GetDoubleClickTime() : static_cast<UINT>(LOWORD(lparam));
            if (wparam == TTDT_INITIAL || wparam == TTDT_AUTOMATIC) data->initial_ms = ms;
            if (wparam == TTDT_AUTOPOP) data->autopop_ms = ms;
            return 0;
        }
        case TTM_POP:
            hide_tip(tooltip, *data);
            return 0;
        case TTM_RELAYEVENT:
            relay(tooltip, *data, reinterpret_cast<const MSG*>(lparam));
            return 0;
        case WM_TIMER:
            if (wparam == show_timer)
                show_tip(tooltip, *data);
            else if (wparam == hide_timer)
                hide_tip(tooltip, *data);
            return 0;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(tooltip, message, wparam, lparam);
        case WM_PAINT:
            paint(tooltip, *data);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(tooltip, message, wparam, lparam);
    }
}

}  // namespace win_user
