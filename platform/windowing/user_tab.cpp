// The tab control: one row of tabs sized to their texts above a framed
// display area. Selection changes the user makes (a click, or a caller's
// TCM_SETCURFOCUS) ask the parent first and tell it afterwards; a caller's
// TCM_SETCURSEL only selects.

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "user_internal.h"
#include "user_state.h"
#include "win/commctrl.h"
#include "win/user.h"

namespace win_user {

namespace {

// Room around a tab's text, and how far the selected tab stands out.
constexpr int text_margin_x = 6;
constexpr int text_margin_y = 3;
constexpr int row_top = 2;
constexpr int raise = 2;
// The display area's distance from the frame of the body.
constexpr int inset = 4;

struct tab_item {
    std::wstring text;
    LPARAM parameter = 0;
};

struct tab_data : control_data {
    std::mutex lock;
    std::vector<tab_item> items;
    int selected = -1;
    int focused = -1;
};

// The tabs' rectangles in client coordinates and the height of one row.
struct tab_layout {
    std::vector<RECT> tabs;
    int row_height = 0;
    int body_top() const { return row_top + row_height; }
};

tab_layout layout_of(HWND tab, const std::vector<tab_item>& items) {
    tab_layout layout;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, control_font(tab));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    layout.row_height = metrics.tmHeight + 2 * text_margin_y;
    int left = row_top;
    for (const tab_item& item : items) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &extent);
        const int right = left + extent.cx + 2 * text_margin_x;
        layout.tabs.push_back({left, row_top, right, row_top + layout.row_height});
        left = right;
    }
    DeleteDC(dc);
    return layout;
}

std::vector<tab_item> items_of(tab_data& data) {
    std::lock_guard<std::mutex> guard(data.lock);
    return data.items;
}

LRESULT notify_parent(HWND tab, UINT code) {
    HWND parent = GetParent(tab);
    if (!parent) return 0;
    NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), code};
    return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// The user's choice of a tab: the parent may refuse it while it is asked.
void choose(HWND tab, tab_data& data, int index) {
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (index < 0 || index >= static_cast<int>(data.items.size())) return;
        if (index == data.selected) {
            data.focused = index;
            return;
        }
    }
    if (notify_parent(tab, TCN_SELCHANGING)) return;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (index >= static_cast<int>(data.items.size())) return;
        data.selected = data.focused = index;
    }
    InvalidateRect(tab, nullptr, TRUE);
    notify_parent(tab, TCN_SELCHANGE);
}

void fill(HDC dc, int left, int top, int right, int bottom, int color) {
    const RECT r{left, top, right, bottom};
    FillRect(dc, &r, GetSysColorBrush(color));
}

// A raised edge open at the bottom (a tab) or closed (the body).
void raised_edge(HDC dc, const RECT& r, bool open_bottom) {
    fill(dc, r.left, r.top, r.right - 1, r.top + 1, COLOR_3DHIGHLIGHT);
    fill(dc, r.left, r.top, r.left + 1, r.bottom, COLOR_3DHIGHLIGHT);
    fill(dc, r.right - 2, r.top + 1, r.right - 1, r.bottom, COLOR_3DSHADOW);
    fill(dc, r.right - 1, r.top + 1, r.right, r.bottom, COLOR_3DDKSHADOW);
    if (!open_bottom) {
        fill(dc, r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 1, COLOR_3DSHADOW);
        fill(dc, r.left, r.bottom - 1, r.right, r.bottom, COLOR_3DDKSHADOW);
    }
}

void draw(HWND tab, tab_data& data, HDC dc) {
    const std::vector<tab_item> items = items_of(data);
    int selected;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        selected = data.selected;
    }
    const tab_layout layout = layout_of(tab, items);
    RECT client;
    GetClientRect(tab, &client);
    HWND parent = GetParent(tab);
    auto background = reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                     reinterpret_cast<WPARAM>(dc),
                                                                     reinterpret_cast<LPARAM>(tab))
                                                      : 0);
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_3DFACE));
    const RECT body{0, layout.body_top(), client.right, client.bottom};
    fill(dc, body.left, body.top, body.right, body.bottom, COLOR_3DFACE);
    raised_edge(dc, body, false);
    SelectObject(dc, control_font(tab));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    // The selected tab last, so that it covers its neighbours' edges and
    // joins the body.
    std::vector<size_t> order;
    for (size_t i = 0; i < items.size(); ++i)
        if (static_cast<int>(i) != selected) order.push_back(i);
    if (selected >= 0 && selected < static_cast<int>(items.size()))
        order.push_back(static_cast<size_t>(selected));
    for (size_t i : order) {
        RECT r = layout.tabs[i];
        const bool chosen = static_cast<int>(i) == selected;
        if (chosen) {
            r = {r.left - raise, r.top - raise, r.right + raise, r.bottom + 1};
            fill(dc, r.left, r.top, r.right, r.bottom, COLOR_3DFACE);
        }
        raised_edge(dc, r, true);
        RECT text = r;
        if (chosen) text.bottom -= 1;
        DrawTextW(dc, items[i].text.c_str(), static_cast<int>(items[i].text.size()), &text,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void paint(HWND tab, tab_data& data) {
    PAINTSTRUCT ps;
    if (HDC dc = BeginPaint(tab, &ps)) draw(tab, data, dc);
    EndPaint(tab, &ps);
}

// Between the window rectangle and the display area.
void adjust(HWND tab, tab_data& data, bool larger, RECT* r) {
    const int top = layout_of(tab, items_of(data)).body_top() + inset - 2;
    if (larger) {
        r->left -= inset;
        r->top -= top;
        r->right += inset;
        r->bottom += inset;
    } else {
        r->left += inset;
        r->top += top;
        r->right -= inset;
        r->bottom -= inset;
    }
}

LRESULT insert(HWND tab, tab_data& data, WPARAM index, const TCITEMW* item) {
    if (!item) return -1;
    tab_item entry;
    if ((item->mask & TCIF_TEXT) && item->pszText) entry.text = item->pszText;
    if (item->mask & TCIF_PARAM) entry.parameter = item->lParam;
    int at;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        at = static_cast<int>(std::min<WPARAM>(index, data.items.size()));
        data.items.insert(data.items.begin() + at, std::move(entry));
        if (data.items.size() == 1) {
            data.selected = data.focused = 0;
        } else {
            if (data.selected >= at) ++data.selected;
            if (data.focused >= at) ++data.focused;
        }
    }
    InvalidateRect(tab, nullptr, TRUE);
    return at;
}

LRESULT get_item(tab_data& data, WPARAM index, TCITEMW* item) {
    if (!item) return FALSE;
    std::lock_guard<std::mutex> guard(data.lock);
    if (index >= data.items.size()) return FALSE;
    const tab_item& entry = data.items[index];
    if (item->mask & TCIF_TEXT) {
        if (!item->pszText || item->cchTextMax <= 0) return FALSE;
        const size_t n = std::min(entry.text.size(), static_cast<size_t>(item->cchTextMax - 1));
        std::copy_n(entry.text.begin(), n, item->pszText);
        item->pszText[n] = L'\0';
    }
    if (item->mask & TCIF_PARAM) item->lParam = entry.parameter;
    return TRUE;
}

LRESULT remove(HWND tab, tab_data& data, WPARAM index, bool all) {
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (all) {
            data.items.clear();
            data.selected = data.focused = -1;
        } else {
            if (index >= data.items.size()) return FALSE;
            const int at = static_cast<int>(index);
            data.items.erase(data.items.begin() + at);
            if (data.selected == at) data.selected = -1;
            if (data.selected > at) --data.selected;
            if (data.focused == at) data.focused = -1;
            if (data.focused > at) --data.focused;
        }
    }
    InvalidateRect(tab, nullptr, TRUE);
    return TRUE;
}

}  // namespace

LRESULT CALLBACK tab_procedure(HWND tab, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto data = control_state<tab_data>(tab);
    if (!data) return DefWindowProcW(tab, message, wparam, lparam);
    switch (message) {
        case TCM_INSERTITEMW:
            return insert(tab, *data, wparam, reinterpret_cast<const TCITEMW*>(lparam));
        case TCM_GETITEMW:
            return get_item(*data, wparam, reinterpret_cast<TCITEMW*>(lparam));
        case TCM_DELETEITEM:
            return remove(tab, *data, wparam, false);
        case TCM_DELETEALLITEMS:
            return remove(tab, *data, 0, true);
        case TCM_GETITEMCOUNT: {
            std::lock_guard<std::mutex> guard(data->lock);
            return static_cast<LRESULT>(data->items.size());
        }
        case TCM_GETCURSEL: {
            std::lock_guard<std::mutex> guard(data->lock);
            return data->selected;
        }
        case TCM_GETCURFOCUS: {
            std::lock_guard<std::mutex> guard(data->lock);
            return data->focused;
        }
        case TCM_SETCURSEL: {
            int previous;
            {
                std::lock_guard<std::mutex> guard(data->lock);
                if (wparam >= data->items.size()) return -1;
                previous = data->selected;
                data->selected = data->focused = static_cast<int>(wparam);
            }
            InvalidateRect(tab, nullptr, TRUE);
            return previous;
        }
        case TCM_SETCURFOCUS:
            choose(tab, *data, static_cast<int>(wparam));
            return 0;
        case TCM_GETITEMRECT: {
            auto* out = reinterpret_cast<RECT*>(lparam);
            const tab_layout layout = layout_of(tab, items_of(*data));
            if (!out || wparam >= layout.tabs.size()) return FALSE;
            *out = layout.tabs[wparam];
            return TRUE;
        }
        case TCM_GETROWCOUNT:
            return 1;
        case TCM_ADJUSTRECT:
            if (lparam) adjust(tab, *data, wparam != 0, reinterpret_cast<RECT*>(lparam));
            return 0;
        case WM_LBUTTONDOWN: {
            const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            const tab_layout layout = layout_of(tab, items_of(*data));
            for (size_t i = 0; i < layout.tabs.size(); ++i)
                if (PtInRect(&layout.tabs[i], at)) {
                    if (!(GetWindowLongW(tab, GWL_STYLE) & TCS_FOCUSNEVER)) SetFocus(tab);
                    choose(tab, *data, static_cast<int>(i));
                    break;
                }
            return 0;
        }
        case WM_PRINTCLIENT:
            if (wparam && (lparam & PRF_CLIENT)) draw(tab, *data, reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(tab, message, wparam, lparam);
        case WM_PAINT:
            paint(tab, *data);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(tab, message, wparam, lparam);
    }
}

}  // namespace win_user
