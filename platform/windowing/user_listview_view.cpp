// The list view as it is seen and used: where rows and columns lie (fixed
// metrics: LISTVIEW_ROW_HEIGHT pixels a row, below a header of
// LISTVIEW_HEADER_HEIGHT), hit tests, mouse clicks and arrow keys that
// select and tell the parent (NM_CLICK after the button is let go, as the
// system does), and painting, owner-drawn rows going to the parent as
// WM_DRAWITEM. The header control draws the column headings and answers
// for their rectangles.

#include <algorithm>

#include "user_internal.h"
#include "user_listview.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

constexpr int text_margin = 4;

struct layout {
    int rows_top = 0;
    std::vector<int> lefts;  // of each column, and the right edge of the last
    int rows = 0;
};

layout layout_of(listview_data& data) {
    layout l;
    // A hidden header (LVS_NOCOLUMNHEADER) takes no room; its own style
    // tells, whether or not the list is shown yet. The header is made with
    // the list and never changes, so it is read before the lock is taken.
    const bool heading = data.header && (GetWindowLongW(data.header, GWL_STYLE) & WS_VISIBLE);
    std::lock_guard<std::mutex> guard(data.lock);
    l.rows_top = heading ? LISTVIEW_HEADER_HEIGHT : 0;
    int x = 0;
    for (const listview_column& c : data.columns) {
        l.lefts.push_back(x);
        x += c.width;
    }
    l.lefts.push_back(x);
    l.rows = static_cast<int>(data.rows.size());
    return l;
}

int columns_of(const layout& l) {
    return static_cast<int>(l.lefts.size()) - 1;
}

RECT row_rect(const layout& l, int row) {
    const int top = l.rows_top + row * LISTVIEW_ROW_HEIGHT;
    return {0, top, l.lefts.back(), top + LISTVIEW_ROW_HEIGHT};
}

RECT column_cell(const layout& l, int row, int column) {
    RECT r = row_rect(l, row);
    r.left = l.lefts[static_cast<size_t>(column)];
    r.right = l.lefts[static_cast<size_t>(column) + 1];
    return r;
}

LRESULT item_rect(listview_data& data, int row, RECT* r) {
    if (!r) return FALSE;
    const layout l = layout_of(data);
    if (row < 0 || row >= l.rows) return FALSE;
    const int code = r->left;
    if (code == LVIR_BOUNDS || columns_of(l) == 0) {
        *r = row_rect(l, row);
    } else {
        *r = column_cell(l, row, 0);
        if (code == LVIR_ICON) r->right = r->left;
    }
    return TRUE;
}

// The sub-item's cell; sub-item 0 with LVIR_BOUNDS is the whole row, as
// the system answers.
LRESULT subitem_rect(listview_data& data, int row, RECT* r) {
    if (!r) return FALSE;
    const layout l = layout_of(data);
    const int subitem = r->top, code = r->left;
    if (row < 0 || row >= l.rows || subitem < 0 || subitem >= std::max(1, columns_of(l)))
        return FALSE;
    if (subitem == 0 && code == LVIR_BOUNDS) {
        *r = row_rect(l, row);
    } else {
        *r = columns_of(l) ? column_cell(l, row, subitem) : row_rect(l, row);
        if (code == LVIR_ICON) r->right = r->left;
    }
    return TRUE;
}

// Fills a hit-test record for its point; with whole_row, any column of a
// row counts as the row (full-row selection and sub-item hit tests),
// otherwise only the first.
int hit_test(HWND list, listview_data& data, LVHITTESTINFO* info, bool whole_row) {
    if (!info) return -1;
    const layout l = layout_of(data);
    RECT client;
    GetClientRect(list, &client);
    const POINT p = info->pt;
    info->iItem = -1;
    info->iSubItem = 0;
    info->flags = 0;
    if (p.y < 0) info->flags |= LVHT_ABOVE;
    if (p.y >= client.bottom) info->flags |= LVHT_BELOW;
    if (p.x < 0) info->flags |= LVHT_TOLEFT;
    if (p.x >= client.right) info->flags |= LVHT_TORIGHT;
    if (info->flags) return -1;
    const int row = p.y < l.rows_top ? -1 : (p.y - l.rows_top) / LISTVIEW_ROW_HEIGHT;
    int column = -1;
    for (int c = 0; c < columns_of(l); ++c)
        if (p.x >= l.lefts[static_cast<size_t>(c)] && p.x < l.lefts[static_cast<size_t>(c) + 1])
            column = c;
    const bool on_row = row >= 0 && row < l.rows && column >= 0 && (whole_row || column == 0);
    if (!on_row) {
        info->flags = LVHT_NOWHERE;
        return -1;
    }
    info->flags = LVHT_ONITEMLABEL;
    info->iItem = row;
    info->iSubItem = column;
    return row;
}

bool full_row(listview_data& data) {
    std::lock_guard<std::mutex> guard(data.lock);
    return (data.extended_style & LVS_EX_FULLROWSELECT) != 0;
}

bool single_selection(HWND list) {
    return (GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL) != 0;
}

// Selects one row alone, focused, and makes it the selection mark; -1
// clears the selection.
void select_only(HWND list, listview_data& data, int row) {
    int count;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        count = static_cast<int>(data.rows.size());
    }
    for (int i = 0; i < count; ++i)
        if (i != row) listview_set_state(list, data, i, 0, LVIS_SELECTED);
    if (row < 0) return;
    listview_set_state(list, data, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    std::lock_guard<std::mutex> guard(data.lock);
    data.selection_mark = row;
}

void press(HWND list, listview_data& data, LPARAM point, WPARAM keys) {
    if (GetFocus() != list) SetFocus(list);
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    const int row = hit_test(list, data, &hit, full_row(data));
    if (row >= 0 && (keys & MK_CONTROL) && !single_selection(list)) {
        const UINT now =
            static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED));
        listview_set_state(list, data, row, (now ^ LVIS_SELECTED) | LVIS_FOCUSED,
                           LVIS_SELECTED | LVIS_FOCUSED);
        std::lock_guard<std::mutex> guard(data.lock);
        data.selection_mark = row;
        return;
    }
    select_only(list, data, row);
}

void notify_click(HWND list, listview_data& data, UINT code, LPARAM point, WPARAM keys) {
    NMITEMACTIVATE nm{};
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    hit_test(list, data, &hit, true);
    nm.iItem = hit.iItem;
    nm.iSubItem = hit.iSubItem;
    nm.ptAction = hit.pt;
    nm.uKeyFlags = (keys & MK_CONTROL) ? 1u : 0u;
    listview_notify(list, data, nm.hdr, code);
}

void arrow_key(HWND list, listview_data& data, WPARAM key) {
    NMLVKEYDOWN nm{};
    nm.wVKey = static_cast<WORD>(key);
    listview_notify(list, data, nm.hdr, LVN_KEYDOWN);
    if (key != VK_UP && key != VK_DOWN) return;
    int focused = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (count == 0) return;
    const int next = focused < 0 ? 0 : std::clamp(focused + (key == VK_UP ? -1 : 1), 0, count - 1);
    select_only(list, data, next);
}

HWND notify_parent(HWND list, const listview_data& data) {
    return data.notify ? data.notify : GetParent(list);
}

COLORREF or_system(COLORREF color, int system) {
    return color == CLR_INVALID ? GetSysColor(system) : color;
}

// A one-pixel line along a rectangle's edge, filled as a rectangle.
void line(HDC dc, RECT r, int color) {
    FillRect(dc, &r, GetSysColorBrush(color));
}

void paint_rows(HWND list, listview_data& data, HDC dc) {
    const layout l = layout_of(data);
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    const bool owner_drawn = (style & LVS_OWNERDRAWFIXED) && (style & LVS_TYPEMASK) == LVS_REPORT;
    const bool focused = GetFocus() == list;
    std::vector<listview_column> columns;
    std::vector<listview_row> rows;
    COLORREF background, text_color, text_background;
    DWORD extended;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        columns = data.columns;
        rows = data.rows;
        background = or_system(data.background, COLOR_WINDOW);
        text_color = or_system(data.text_color, COLOR_WINDOWTEXT);
        text_background = data.text_background;
        extended = data.extended_style;
    }
    RECT client;
    GetClientRect(list, &client);
    HBRUSH fill = CreateSolidBrush(background);
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    SelectObject(dc, control_font(list));
    SetBkMode(dc, TRANSPARENT);
    const UINT id = static_cast<UINT>(GetDlgCtrlID(list));
    for (int i = 0; i < l.rows; ++i) {
        const RECT bounds = row_rect(l, i);
        if (bounds.top >= client.bottom) break;
        const listview_row& row = rows[static_cast<size_t>(i)];
        const bool selected = (row.state & LVIS_SELECTED) != 0;
        if (owner_drawn) {
            DRAWITEMSTRUCT draw{};
            draw.CtlType = ODT_LISTVIEW;
            draw.CtlID = id;
            draw.itemID = static_cast<UINT>(i);
            draw.itemAction = ODA_DRAWENTIRE;
            draw.itemState = (selected ? ODS_SELECTED : 0) |
                             ((row.state & LVIS_FOCUSED) && focused ? ODS_FOCUS : 0) |
                             (IsWindowEnabled(list) ? 0 : ODS_DISABLED);
            draw.hwndItem = list;
            draw.hDC = dc;
            draw.rcItem = bounds;
            draw.itemData = static_cast<ULONG_PTR>(row.param);
            SendMessageW(notify_parent(list, data), WM_DRAWITEM, id,
                         reinterpret_cast<LPARAM>(&draw));
            continue;
        }
        const bool shown = selected && (focused || (style & LVS_SHOWSELALWAYS));
        for (size_t c = 0; c < columns.size(); ++c) {
            RECT cell = column_cell(l, i, static_cast<int>(c));
            const bool highlight = shown && (c == 0 || (extended & LVS_EX_FULLROWSELECT));
            if (highlight)
                FillRect(dc, &cell, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            else if (text_background != CLR_INVALID) {
                HBRUSH cell_brush = CreateSolidBrush(text_background);
                FillRect(dc, &cell, cell_brush);
                DeleteObject(cell_brush);
            }
            SetTextColor(dc, highlight && focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text_color);
            const auto text = row.texts.find(columns[c].subitem);
            if (text == row.texts.end()) continue;
            RECT inside{cell.left + text_margin, cell.top, cell.right - text_margin, cell.bottom};
            const int justify = columns[c].format & LVCFMT_JUSTIFYMASK;
            const UINT align = justify == LVCFMT_RIGHT    ? DT_RIGHT
                               : justify == LVCFMT_CENTER ? DT_CENTER
                                                          : DT_LEFT;
            DrawTextW(dc, text->second.c_str(), -1, &inside,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
        }
        if (extended & LVS_EX_GRIDLINES)
            line(dc, {bounds.left, bounds.bottom - 1, bounds.right, bounds.bottom}, COLOR_3DLIGHT);
    }
    if (extended & LVS_EX_GRIDLINES)
        for (size_t c = 1; c < l.lefts.size(); ++c) {
            const int x = l.lefts[c] - 1;
            line(dc, {x, l.rows_top, x + 1, client.bottom}, COLOR_3DLIGHT);
        }
}

void paint_list(HWND list, listview_data& data) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    if (dc) paint_rows(list, data, dc);
    EndPaint(list, &ps);
}

}  // namespace

LRESULT listview_view_message(HWND list, listview_data& data, UINT message, WPARAM wparam,
                              LPARAM lparam, bool* handled) {
    *handled = true;
    switch (message) {
        case LVM_GETITEMRECT:
            return item_rect(data, static_cast<int>(wparam), reinterpret_cast<RECT*>(lparam));
        case LVM_GETSUBITEMRECT:
            return subitem_rect(data, static_cast<int>(wparam), reinterpret_cast<RECT*>(lparam));
        case LVM_HITTEST:
            return hit_test(list, data, reinterpret_cast<LVHITTESTINFO*>(lparam), full_row(data));
        case LVM_SUBITEMHITTEST:
            return hit_test(list, data, reinterpret_cast<LVHITTESTINFO*>(lparam), true);
        case LVM_GETCOUNTPERPAGE: {
            RECT client;
            GetClientRect(list, &client);
            return std::max(0, (client.bottom - layout_of(data).rows_top) / LISTVIEW_ROW_HEIGHT);
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            press(list, data, lparam, wparam);
            if (message == WM_LBUTTONDOWN) {
                std::lock_guard<std::mutex> guard(data.lock);
                data.pressed = true;
            }
            return 0;
        case WM_LBUTTONUP: {
            bool was_pressed;
            {
                std::lock_guard<std::mutex> guard(data.lock);
                was_pressed = data.pressed;
                data.pressed = false;
            }
            if (was_pressed) notify_click(list, data, NM_CLICK, lparam, wparam);
            return 0;
        }
        case WM_LBUTTONDBLCLK:
            press(list, data, lparam, wparam);
            notify_click(list, data, NM_DBLCLK, lparam, wparam);
            return 0;
        case WM_RBUTTONUP:
            notify_click(list, data, NM_RCLICK, lparam, wparam);
            return 0;
        case WM_KEYDOWN:
            arrow_key(list, data, wparam);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            NMHDR nm{};
            listview_notify(list, data, nm, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
            InvalidateRect(list, nullptr, TRUE);
            return 0;
        }
        case WM_PAINT:
            paint_list(list, data);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            *handled = false;
            return 0;
    }
}

// The header of a report list: it shows the list's columns and answers
// for their rectangles; it keeps nothing of its own.
LRESULT CALLBACK header_procedure(HWND header, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND list = GetParent(header);
    std::shared_ptr<listview_data> data;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(list))
            data = std::dynamic_pointer_cast<listview_data>(w->control);
    }
    if (!data) return DefWindowProcW(header, message, wparam, lparam);
    switch (message) {
        case HDM_GETITEMCOUNT:
            return columns_of(layout_of(*data));
        case HDM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lparam);
            const layout l = layout_of(*data);
            const int column = static_cast<int>(wparam);
            if (!r || column < 0 || column >= columns_of(l)) return FALSE;
            *r = {l.lefts[static_cast<size_t>(column)], 0, l.lefts[static_cast<size_t>(column) + 1],
                  LISTVIEW_HEADER_HEIGHT};
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(header, &ps);
            if (dc) {
                RECT client;
                GetClientRect(header, &client);
                FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
                line(dc, {0, client.bottom - 1, client.right, client.bottom}, COLOR_BTNSHADOW);
                SelectObject(dc, control_font(list));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
                std::vector<listview_column> columns;
                {
                    std::lock_guard<std::mutex> guard(data->lock);
                    columns = data->columns;
                }
                int x = 0;
                for (const listview_column& c : columns) {
                    RECT inside{x + text_margin + 2, 0, x + c.width - text_margin,
                                client.bottom - 1};
                    DrawTextW(dc, c.text.c_str(), -1, &inside,
                              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
                    x += c.width;
                    line(dc, {x - 1, 2, x, client.bottom - 3}, COLOR_BTNSHADOW);
                }
            }
            EndPaint(header, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProcW(header, message, wparam, lparam);
    }
}

}  // namespace win_user
