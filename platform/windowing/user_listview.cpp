// The list view control: columns and rows kept beside the window, changed
// by its messages, with the notifications the parent gets for each change
// sent in the order the system sends them. Notifications go out with no
// lock held, so the parent may call back into the list from them.

#include <algorithm>
#include <cwctype>

#include "user_internal.h"
#include "user_listview.h"
#include "user_state.h"
#include "win/user.h"

namespace win_user {

namespace {

using data_ptr = std::shared_ptr<listview_data>;

}  // namespace

LRESULT listview_notify(HWND list, const listview_data& data, NMHDR& header, UINT code) {
    header.hwndFrom = list;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    header.code = code;
    HWND parent = data.notify ? data.notify : GetParent(list);
    if (!parent) return 0;
    return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

namespace {

LRESULT notify_item(HWND list, const listview_data& data, UINT code, int item, UINT changed,
                    UINT old_state, UINT new_state, LPARAM param) {
    NMLISTVIEW nm{};
    nm.iItem = item;
    nm.uChanged = changed;
    nm.uOldState = old_state;
    nm.uNewState = new_state;
    nm.lParam = param;
    return listview_notify(list, data, nm.hdr, code);
}

int row_count(listview_data& data) {
    std::lock_guard<std::mutex> guard(data.lock);
    return static_cast<int>(data.rows.size());
}

bool valid_row_locked(const listview_data& data, int index) {
    return index >= 0 && index < static_cast<int>(data.rows.size());
}

// Whether a row's sub-item may hold a text: the row's own text, or one
// column's.
bool valid_subitem_locked(const listview_data& data, int subitem) {
    return subitem == 0 || (subitem > 0 && subitem < static_cast<int>(data.columns.size()));
}

void redraw(HWND list) {
    InvalidateRect(list, nullptr, TRUE);
}

// One row's state bits under the mask, with LVN_ITEMCHANGING (which may
// refuse) and LVN_ITEMCHANGED around the change; nothing is sent when
// nothing changes. False when the row is gone or the change was refused.
bool change_state(HWND list, listview_data& data, int index, UINT state, UINT mask) {
    UINT old_state, new_state;
    LPARAM param;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index)) return false;
        const listview_row& row = data.rows[static_cast<size_t>(index)];
        old_state = row.state;
        new_state = (row.state & ~mask) | (state & mask);
        param = row.param;
    }
    if (old_state == new_state) return true;
    if (notify_item(list, data, LVN_ITEMCHANGING, index, LVIF_STATE, old_state, new_state, param))
        return false;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index)) return false;
        listview_row& row = data.rows[static_cast<size_t>(index)];
        old_state = row.state;
        new_state = (row.state & ~mask) | (state & mask);
        row.state = new_state;
        param = row.param;
    }
    notify_item(list, data, LVN_ITEMCHANGED, index, LVIF_STATE, old_state, new_state, param);
    redraw(list);
    return true;
}

// The rows other than one that hold a state bit.
std::vector<int> others_with(listview_data& data, int except, UINT bit) {
    std::vector<int> found;
    std::lock_guard<std::mutex> guard(data.lock);
    for (size_t i = 0; i < data.rows.size(); ++i)
        if (static_cast<int>(i) != except && (data.rows[i].state & bit))
            found.push_back(static_cast<int>(i));
    return found;
}

}  // namespace

// A state change as the list keeps its rules: one focused row, and one
// selected row in a single-selection list (the others lose it first).
// Setting a state this way never moves the selection mark; only the mouse
// and the keyboard do (and LVM_SETSELECTIONMARK).
bool listview_set_state(HWND list, listview_data& data, int index, UINT state, UINT mask) {
    const bool single = (GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL) != 0;
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
        for (int other : others_with(data, index, LVIS_FOCUSED))
            change_state(list, data, other, 0, LVIS_FOCUSED);
    if (single && (mask & LVIS_SELECTED) && (state & LVIS_SELECTED))
        for (int other : others_with(data, index, LVIS_SELECTED))
            change_state(list, data, other, 0, LVIS_SELECTED);
    return change_state(list, data, index, state, mask);
}

namespace {

LRESULT set_item_state(HWND list, listview_data& data, int index, const LVITEMW* item) {
    if (!item) return FALSE;
    if (index >= 0) return listview_set_state(list, data, index, item->state, item->stateMask);
    if (index != -1) return FALSE;
    // Every row; a single-selection list cannot select them all.
    const bool single = (GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL) != 0;
    if ((item->stateMask & item->state & (LVIS_SELECTED | LVIS_FOCUSED)) &&
        (single || (item->stateMask & item->state & LVIS_FOCUSED)))
        return FALSE;
    for (int i = 0; i < row_count(data); ++i)
        change_state(list, data, i, item->state, item->stateMask);
    return TRUE;
}

std::wstring text_of(LPCWSTR text) {
    if (!text || text == LPSTR_TEXTCALLBACKW) return std::wstring();
    return text;
}

int copy_text(const std::wstring& text, LPWSTR out, int capacity) {
    if (!out || capacity <= 0) return 0;
    const int n = std::min(static_cast<int>(text.size()), capacity - 1);
    std::copy_n(text.begin(), n, out);
    out[n] = 0;
    return n;
}

int compare_texts(const std::wstring& a, const std::wstring& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towlower(a[i]), y = std::towlower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

LRESULT insert_item(HWND list, listview_data& data, const LVITEMW* item) {
    if (!item || item->iSubItem != 0 || item->iItem < 0) return -1;
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    listview_row row;
    if (item->mask & LVIF_TEXT) row.texts[0] = text_of(item->pszText);
    if (item->mask & LVIF_PARAM) row.param = item->lParam;
    if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
    int index;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        const int count = static_cast<int>(data.rows.size());
        index = std::min(item->iItem, count);
        if (style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
            const int sign = (style & LVS_SORTDESCENDING) ? -1 : 1;
            index = 0;
            while (index < count &&
                   sign * compare_texts(data.rows[static_cast<size_t>(index)].texts[0],
                                        row.texts[0]) <=
                       0)
                ++index;
        }
        data.rows.insert(data.rows.begin() + index, std::move(row));
        if (data.selection_mark >= index) ++data.selection_mark;
    }
    notify_item(list, data, LVN_INSERTITEM, index, 0, 0, 0,
                item->mask & LVIF_PARAM ? item->lParam : 0);
    redraw(list);
    return index;
}

// The main item's text and parameter, with one LVN_ITEMCHANGING and
// LVN_ITEMCHANGED naming what changed; a sub-item's text changes quietly.
bool set_text_and_param(HWND list, listview_data& data, int index, int subitem, const UINT* mask,
                        LPCWSTR text, LPARAM param) {
    const bool set_text = (*mask & LVIF_TEXT) != 0;
    const bool set_param = subitem == 0 && (*mask & LVIF_PARAM);
    UINT changed = 0, state;
    LPARAM old_param;
    const std::wstring new_text = text_of(text);
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index) || !valid_subitem_locked(data, subitem)) return false;
        listview_row& row = data.rows[static_cast<size_t>(index)];
        if (subitem > 0) {
            if (set_text) row.texts[subitem] = new_text;
        } else {
            if (set_text && row.texts[0] != new_text) changed |= LVIF_TEXT;
            if (set_param && row.param != param) changed |= LVIF_PARAM;
        }
        state = row.state;
        old_param = row.param;
    }
    if (subitem > 0) {
        redraw(list);
        return true;
    }
    if (!changed) return true;
    if (notify_item(list, data, LVN_ITEMCHANGING, index, changed, state, state, old_param))
        return false;
    LPARAM now_param;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index)) return false;
        listview_row& row = data.rows[static_cast<size_t>(index)];
        if (changed & LVIF_TEXT) row.texts[0] = new_text;
        if (changed & LVIF_PARAM) row.param = param;
        state = row.state;
        now_param = row.param;
    }
    notify_item(list, data, LVN_ITEMCHANGED, index, changed, state, state, now_param);
    redraw(list);
    return true;
}

LRESULT set_item(HWND list, listview_data& data, const LVITEMW* item) {
    if (!item) return FALSE;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, item->iItem) || !valid_subitem_locked(data, item->iSubItem))
            return FALSE;
    }
    if (!set_text_and_param(list, data, item->iItem, item->iSubItem, &item->mask, item->pszText,
                            item->lParam))
        return FALSE;
    if (item->iSubItem == 0 && (item->mask & LVIF_STATE))
        return listview_set_state(list, data, item->iItem, item->state, item->stateMask);
    return TRUE;
}

LRESULT get_item(listview_data& data, LVITEMW* item) {
    if (!item) return FALSE;
    std::lock_guard<std::mutex> guard(data.lock);
    if (!valid_row_locked(data, item->iItem) || !valid_subitem_locked(data, item->iSubItem))
        return FALSE;
    const listview_row& row = data.rows[static_cast<size_t>(item->iItem)];
    if (item->mask & LVIF_TEXT) {
        const auto text = row.texts.find(item->iSubItem);
        copy_text(text == row.texts.end() ? std::wstring() : text->second, item->pszText,
                  item->cchTextMax);
    }
    if (item->mask & LVIF_PARAM) item->lParam = row.param;
    if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
    if (item->mask & LVIF_IMAGE) item->iImage = -1;
    if (item->mask & LVIF_INDENT) item->iIndent = 0;
    return TRUE;
}

LRESULT get_item_text(listview_data& data, int index, LVITEMW* item) {
    if (!item) return 0;
    std::lock_guard<std::mutex> guard(data.lock);
    if (!valid_row_locked(data, index) || !valid_subitem_locked(data, item->iSubItem)) return 0;
    const listview_row& row = data.rows[static_cast<size_t>(index)];
    const auto text = row.texts.find(item->iSubItem);
    return copy_text(text == row.texts.end() ? std::wstring() : text->second, item->pszText,
                     item->cchTextMax);
}

// Removes one row after telling the parent (LVN_DELETEITEM, while the row
// and its parameter are still there).
bool delete_row(HWND list, listview_data& data, int index) {
    LPARAM param;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index)) return false;
        param = data.rows[static_cast<size_t>(index)].param;
    }
    notify_item(list, data, LVN_DELETEITEM, index, 0, 0, 0, param);
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (!valid_row_locked(data, index)) return true;
        data.rows.erase(data.rows.begin() + index);
        if (data.selection_mark == index)
            data.selection_mark = -1;
        else if (data.selection_mark > index)
            --data.selection_mark;
    }
    redraw(list);
    return true;
}

// Every row goes, last first, each with its LVN_DELETEITEM unless the
// parent answered LVN_DELETEALLITEMS with TRUE. A list being destroyed
// tells about every row whatever the parent answered.
void delete_all(HWND list, listview_data& data, bool destroying) {
    if (row_count(data) == 0) return;
    const bool quiet = notify_item(list, data, LVN_DELETEALLITEMS, -1, 0, 0, 0, 0) != 0;
    if (quiet && !destroying) {
        std::lock_guard<std::mutex> guard(data.lock);
        data.rows.clear();
    }
    for (int last = row_count(data) - 1; last >= 0; last = row_count(data) - 1)
        delete_row(list, data, last);
    {
        std::lock_guard<std::mutex> guard(data.lock);
        data.selection_mark = -1;
    }
    redraw(list);
}

LRESULT next_item(listview_data& data, int start, UINT flags) {
    const UINT wanted = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
    std::lock_guard<std::mutex> guard(data.lock);
    const int count = static_cast<int>(data.rows.size());
    const int step = (flags & LVNI_ABOVE) ? -1 : 1;
    for (int i = start + step; i >= 0 && i < count; i += step)
        if ((data.rows[static_cast<size_t>(i)].state & wanted) == wanted) return i;
    return -1;
}

LRESULT insert_column(HWND list, listview_data& data, int index, const LVCOLUMNW* column) {
    if (!column || index < 0) return -1;
    listview_column c;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        index = std::min(index, static_cast<int>(data.columns.size()));
        if (column->mask & LVCF_FMT) c.format = column->fmt;
        if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
        if (column->mask & LVCF_TEXT) c.text = text_of(column->pszText);
        c.subitem = (column->mask & LVCF_SUBITEM) ? column->iSubItem : index;
        data.columns.insert(data.columns.begin() + index, std::move(c));
    }
    redraw(list);
    if (data.header) InvalidateRect(data.header, nullptr, TRUE);
    return index;
}

LRESULT get_column(listview_data& data, int index, LVCOLUMNW* column) {
    if (!column) return FALSE;
    std::lock_guard<std::mutex> guard(data.lock);
    if (index < 0 || index >= static_cast<int>(data.columns.size())) return FALSE;
    const listview_column& c = data.columns[static_cast<size_t>(index)];
    if (column->mask & LVCF_FMT) column->fmt = c.format;
    if (column->mask & LVCF_WIDTH) column->cx = c.width;
    if (column->mask & LVCF_TEXT) copy_text(c.text, column->pszText, column->cchTextMax);
    if (column->mask & LVCF_SUBITEM) column->iSubItem = c.subitem;
    if (column->mask & LVCF_ORDER) column->iOrder = index;
    return TRUE;
}

LRESULT set_column(HWND list, listview_data& data, int index, const LVCOLUMNW* column) {
    if (!column) return FALSE;
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (index < 0 || index >= static_cast<int>(data.columns.size())) return FALSE;
        listview_column& c = data.columns[static_cast<size_t>(index)];
        if (column->mask & LVCF_FMT) c.format = column->fmt;
        if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
        if (column->mask & LVCF_TEXT) c.text = text_of(column->pszText);
        if (column->mask & LVCF_SUBITEM) c.subitem = column->iSubItem;
    }
    redraw(list);
    if (data.header) InvalidateRect(data.header, nullptr, TRUE);
    return TRUE;
}

LRESULT delete_column(HWND list, listview_data& data, int index) {
    {
        std::lock_guard<std::mutex> guard(data.lock);
        if (index < 0 || index >= static_cast<int>(data.columns.size())) return FALSE;
        data.columns.erase(data.columns.begin() + index);
    }
    redraw(list);
    if (data.header) InvalidateRect(data.header, nullptr, TRUE);
    return TRUE;
}

LRESULT column_width(listview_data& data, int index, const int* set_to) {
    std::lock_guard<std::mutex> guard(data.lock);
    if (index < 0 || index >= static_cast<int>(data.columns.size())) return set_to ? FALSE : 0;
    listview_column& c = data.columns[static_cast<size_t>(index)];
    if (!set_to) return c.width;
    c.width = std::max(0, *set_to);
    return TRUE;
}

void create_header(HWND list, listview_data& data, const CREATESTRUCTW* create) {
    data.notify = create ? create->hwndParent : GetParent(list);
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    if ((style & LVS_TYPEMASK) != LVS_REPORT) return;
    RECT client;
    GetClientRect(list, &client);
    // Without column headings the header is still there, hidden: it keeps
    // answering for the columns' rectangles.
    const DWORD shown = (style & LVS_NOCOLUMNHEADER) ? 0 : WS_VISIBLE;
    data.header = CreateWindowExW(0, WC_HEADERW, L"", WS_CHILD | shown, 0, 0, client.right,
                                  LISTVIEW_HEADER_HEIGHT, list, nullptr,
                                  create ? create->hInstance : nullptr, nullptr);
}

}  // namespace

namespace {

LRESULT listview_messages(HWND list, const data_ptr& data, UINT message, WPARAM wparam,
                          LPARAM lparam);

}  // namespace

LRESULT CALLBACK listview_procedure(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    const data_ptr data = control_state<listview_data>(list);
    if (!data) return DefWindowProcW(list, message, wparam, lparam);
    return listview_messages(list, data, message, wparam, lparam);
}

namespace {

LRESULT listview_messages(HWND list, const data_ptr& data, UINT message, WPARAM wparam,
                          LPARAM lparam) {
    listview_data& d = *data;
    const int index = static_cast<int>(wparam);
    switch (message) {
        case WM_CREATE:
            create_header(list, d, reinterpret_cast<const CREATESTRUCTW*>(lparam));
            return 0;
        case WM_DESTROY:
            delete_all(list, d, true);
            return 0;
        case WM_SIZE:
            if (d.header)
                SetWindowPos(d.header, nullptr, 0, 0, LOWORD(lparam), LISTVIEW_HEADER_HEIGHT,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        case LVM_GETITEMCOUNT:
            return row_count(d);
        case LVM_INSERTITEMW:
            return insert_item(list, d, reinterpret_cast<const LVITEMW*>(lparam));
        case LVM_SETITEMW:
            return set_item(list, d, reinterpret_cast<const LVITEMW*>(lparam));
        case LVM_GETITEMW:
            return get_item(d, reinterpret_cast<LVITEMW*>(lparam));
        case LVM_SETITEMTEXTW: {
            const auto* item = reinterpret_cast<const LVITEMW*>(lparam);
            if (!item) return FALSE;
            const UINT mask = LVIF_TEXT;
            return set_text_and_param(list, d, index, item->iSubItem, &mask, item->pszText, 0);
        }
        case LVM_GETITEMTEXTW:
            return get_item_text(d, index, reinterpret_cast<LVITEMW*>(lparam));
        case LVM_SETITEMSTATE:
            return set_item_state(list, d, index, reinterpret_cast<const LVITEMW*>(lparam));
        case LVM_GETITEMSTATE: {
            std::lock_guard<std::mutex> guard(d.lock);
            if (!valid_row_locked(d, index)) return 0;
            return d.rows[static_cast<size_t>(index)].state & static_cast<UINT>(lparam);
        }
        case LVM_DELETEITEM:
            return delete_row(list, d, index);
        case LVM_DELETEALLITEMS:
            delete_all(list, d, false);
            return TRUE;
        case LVM_GETNEXTITEM:
            return next_item(d, index, static_cast<UINT>(lparam));
        case LVM_GETSELECTEDCOUNT: {
            std::lock_guard<std::mutex> guard(d.lock);
            return std::count_if(d.rows.begin(), d.rows.end(), [](const listview_row& r) {
                return (r.state & LVIS_SELECTED) != 0;
            });
        }
        case LVM_GETSELECTIONMARK: {
            std::lock_guard<std::mutex> guard(d.lock);
            return d.selection_mark;
        }
        case LVM_SETSELECTIONMARK: {
            std::lock_guard<std::mutex> guard(d.lock);
            const int old = d.selection_mark;
            d.selection_mark = static_cast<int>(lparam);
            return old;
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            std::lock_guard<std::mutex> guard(d.lock);
            const DWORD old = d.extended_style;
            const DWORD mask = wparam ? static_cast<DWORD>(wparam) : 0xFFFFFFFFu;
            d.extended_style = (old & ~mask) | (static_cast<DWORD>(lparam) & mask);
            InvalidateRect(list, nullptr, TRUE);
            return old;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE: {
            std::lock_guard<std::mutex> guard(d.lock);
            return d.extended_style;
        }
        case LVM_INSERTCOLUMNW:
            return insert_column(list, d, index, reinterpret_cast<const LVCOLUMNW*>(lparam));
        case LVM_GETCOLUMNW:
            return get_column(d, index, reinterpret_cast<LVCOLUMNW*>(lparam));
        case LVM_SETCOLUMNW:
            return set_column(list, d, index, reinterpret_cast<const LVCOLUMNW*>(lparam));
        case LVM_DELETECOLUMN:
            return delete_column(list, d, index);
        case LVM_GETCOLUMNWIDTH:
            return column_width(d, index, nullptr);
        case LVM_SETCOLUMNWIDTH: {
            const int width = static_cast<short>(LOWORD(lparam));
            const LRESULT done = column_width(d, index, &width);
            redraw(list);
            if (d.header) InvalidateRect(d.header, nullptr, TRUE);
            return done;
        }
        case LVM_GETHEADER:
            return reinterpret_cast<LRESULT>(d.header);
        case LVM_SETBKCOLOR:
        case LVM_SETTEXTCOLOR:
        case LVM_SETTEXTBKCOLOR: {
            {
                std::lock_guard<std::mutex> guard(d.lock);
                COLORREF& color = message == LVM_SETBKCOLOR     ? d.background
                                  : message == LVM_SETTEXTCOLOR ? d.text_color
                                                                : d.text_background;
                color = static_cast<COLORREF>(lparam);
            }
            redraw(list);
            return TRUE;
        }
        case LVM_GETTOPINDEX:
            return 0;
        case LVM_ENSUREVISIBLE:
            return TRUE;
        case WM_SETFONT:
        case WM_GETFONT:
            return control_font_message(list, message, wparam, lparam);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        default: {
            bool handled = false;
            const LRESULT result =
                listview_view_message(list, d, message, wparam, lparam, &handled);
            return handled ? result : DefWindowProcW(list, message, wparam, lparam);
        }
    }
}

}  // namespace

}  // namespace win_user
