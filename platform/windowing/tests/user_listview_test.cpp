#include <algorithm>
#include <map>
#include <tuple>

#include "user_dialog_test_support.h"
#include "user_test_support.h"
#include "windowing/user_surface.h"

namespace {

using user_test::test_window;
using ListView = user_test::UserTest;

// One WM_NOTIFY the parent got, copied while it was valid.
struct note {
    UINT code = 0;
    int item = 0;
    int subitem = 0;
    UINT changed = 0;
    UINT old_state = 0;
    UINT new_state = 0;
    LPARAM param = 0;
    POINT point{};
};

// A parent window with a report list filling most of it, recording the
// list's notifications; an answer for a notification code may be set.
struct list_fixture {
    std::vector<note> notes;
    std::map<UINT, LRESULT> answers;
    std::function<void(const note&)> on_note;
    test_window parent{
        test_window::with()
            .styled(WS_POPUP | WS_VISIBLE)
            .at({100, 100, 600, 400})
            .reacting([this](HWND, UINT m, WPARAM, LPARAM l) { return record(m, l); })};
    HWND list = nullptr;

    explicit list_fixture(DWORD style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS) {
        list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | style, 10, 10, 480,
                               280, parent.hwnd(), reinterpret_cast<HMENU>(480), nullptr, nullptr);
    }

    std::optional<LRESULT> record(UINT message, LPARAM lparam) {
        if (message != WM_NOTIFY) return std::nullopt;
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->hwndFrom != list) return std::nullopt;
        note n;
        n.code = header->code;
        if (n.code == NM_CLICK || n.code == NM_DBLCLK || n.code == NM_RCLICK) {
            const auto* a = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
            n.item = a->iItem;
            n.subitem = a->iSubItem;
            n.point = a->ptAction;
        } else if (n.code == LVN_KEYDOWN) {
            n.item = reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey;
        } else if (n.code != NM_SETFOCUS && n.code != NM_KILLFOCUS) {
            const auto* v = reinterpret_cast<const NMLISTVIEW*>(lparam);
            n.item = v->iItem;
            n.changed = v->uChanged;
            n.old_state = v->uOldState;
            n.new_state = v->uNewState;
            n.param = v->lParam;
        }
        notes.push_back(n);
        if (on_note) on_note(n);
        const auto answer = answers.find(n.code);
        return answer == answers.end() ? 0 : answer->second;
    }

    std::vector<note> of(UINT code) const {
        std::vector<note> out;
        for (const note& n : notes)
            if (n.code == code) out.push_back(n);
        return out;
    }

    void add_columns() {
        const wchar_t* names[] = {L"Name", L"Place", L"Remote"};
        const int widths[] = {150, 200, 100};
        for (int i = 0; i < 3; ++i) {
            LVCOLUMNW c{};
            c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
            c.cx = widths[i];
            c.pszText = const_cast<LPWSTR>(names[i]);
            c.iSubItem = i;
            ASSERT_EQ(ListView_InsertColumn(list, i, &c), i);
        }
    }

    int add_row(int at, const wchar_t* text, LPARAM param) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = at;
        item.pszText = const_cast<LPWSTR>(text);
        item.lParam = param;
        return ListView_InsertItem(list, &item);
    }

    std::wstring text(int row, int subitem) {
        wchar_t buffer[64] = L"?";
        ListView_GetItemText(list, row, subitem, buffer, 64);
        return buffer;
    }

    LPARAM param(int row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = -7;
        return ListView_GetItem(list, &item) ? item.lParam : -7;
    }
};

TEST_F(ListView, KeepsColumnsRowsTextsAndParameters) {
    list_fixture f;
    ASSERT_NE(f.list, nullptr);
    EXPECT_EQ(win_test::class_name(f.list), L"SysListView32");
    f.add_columns();
    wchar_t heading[16] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = heading;
    c.cchTextMax = 16;
    ASSERT_TRUE(ListView_GetColumn(f.list, 1, &c));
    EXPECT_EQ(std::wstring(heading), L"Place");
    EXPECT_EQ(c.cx, 200);

    EXPECT_EQ(f.add_row(0, L"b", 20), 0);
    EXPECT_EQ(f.add_row(0, L"a", 10), 0);    // before b
    EXPECT_EQ(f.add_row(99, L"c", 30), 2);   // past the end: appended
    EXPECT_EQ(f.add_row(-1, L"x", 40), -1);  // refused
    ASSERT_EQ(ListView_GetItemCount(f.list), 3);
    ListView_SetItemText(f.list, 1, 2, L"remote b");
    EXPECT_EQ(f.text(0, 0), L"a");
    EXPECT_EQ(f.text(1, 2), L"remote b");
    EXPECT_EQ(f.text(1, 1), L"");
    EXPECT_EQ(f.param(0), 10);
    EXPECT_EQ(f.param(2), 30);
    EXPECT_EQ(f.param(3), -7);  // no such row

    // A parameter set later comes back; a sub-item past the columns is refused.
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = 1;
    item.lParam = reinterpret_cast<LPARAM>(&f);
    EXPECT_TRUE(ListView_SetItem(f.list, &item));
    EXPECT_EQ(f.param(1), reinterpret_cast<LPARAM>(&f));
    item.mask = LVIF_TEXT;
    item.iSubItem = 3;
    item.pszText = const_cast<LPWSTR>(L"nowhere");
    EXPECT_FALSE(ListView_SetItem(f.list, &item));

    // A short buffer gets what fits, terminated.
    wchar_t two[2] = {L'?', L'?'};
    ListView_GetItemText(f.list, 1, 2, two, 2);
    EXPECT_EQ(std::wstring(two), L"r");
    EXPECT_EQ(SendMessageW(f.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT), 0);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(f.list), LVS_EX_FULLROWSELECT);
    EXPECT_EQ(ListView_SetExtendedListViewStyleEx(f.list, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES),
              LVS_EX_FULLROWSELECT);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(f.list), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);

    const auto inserted = f.of(LVN_INSERTITEM);
    ASSERT_EQ(inserted.size(), 3u);
    EXPECT_EQ(inserted[1].item, 0);
    EXPECT_EQ(inserted[1].param, 10);
}

TEST_F(ListView, TellsEveryStateChangeWithTheOldAndNewState) {
    list_fixture f;
    f.add_columns();
    f.add_row(0, L"a", 10);
    f.add_row(1, L"b", 20);
    f.notes.clear();

    ListView_SetItemState(f.list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(f.list, 0, LVIS_SELECTED, LVIS_SELECTED);  // no change: nothing sent
    // A single-selection list takes the selection and focus from row 0
    // before giving them to row 1.
    ListView_SetItemState(f.list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    std::vector<std::tuple<UINT, int, UINT, UINT, LPARAM>> seen;
    for (const note& n : f.notes)
        seen.emplace_back(n.code, n.item, n.old_state, n.new_state, n.param);
    const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    const std::vector<std::tuple<UINT, int, UINT, UINT, LPARAM>> expected = {
        {LVN_ITEMCHANGING, 0, 0, both, 10},
        {LVN_ITEMCHANGED, 0, 0, both, 10},
        {LVN_ITEMCHANGING, 0, both, LVIS_SELECTED, 10},
        {LVN_ITEMCHANGED, 0, both, LVIS_SELECTED, 10},
        {LVN_ITEMCHANGING, 0, LVIS_SELECTED, 0, 10},
        {LVN_ITEMCHANGED, 0, LVIS_SELECTED, 0, 10},
        {LVN_ITEMCHANGING, 1, 0, both, 20},
        {LVN_ITEMCHANGED, 1, 0, both, 20},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(ListView_GetNextItem(f.list, -1, LVNI_SELECTED), 1);
    EXPECT_EQ(ListView_GetNextItem(f.list, 1, LVNI_SELECTED), -1);
    EXPECT_EQ(ListView_GetNextItem(f.list, -1, LVNI_ALL), 0);
    EXPECT_EQ(ListView_GetSelectedCount(f.list), 1u);
    EXPECT_EQ(ListView_GetItemState(f.list, 1, LVIS_SELECTED), LVIS_SELECTED);

    // Setting the state never moves the selection mark.
    EXPECT_EQ(ListView_GetSelectionMark(f.list), -1);
    EXPECT_EQ(ListView_SetSelectionMark(f.list, 1), -1);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), 1);

    // A parent answering LVN_ITEMCHANGING with TRUE keeps the state.
    f.answers[LVN_ITEMCHANGING] = TRUE;
    f.notes.clear();
    ListView_SetItemState(f.list, 1, 0, LVIS_SELECTED);
    EXPECT_EQ(ListView_GetItemState(f.list, 1, LVIS_SELECTED), LVIS_SELECTED);
    EXPECT_TRUE(f.of(LVN_ITEMCHANGED).empty());
}

TEST_F(ListView, ChangingTheMainTextOrParameterIsTold) {
    list_fixture f;
    f.add_columns();
    f.add_row(0, L"a", 10);
    ListView_SetItemState(f.list, 0, LVIS_SELECTED, LVIS_SELECTED);
    f.notes.clear();
    ListView_SetItemText(f.list, 0, 1, L"place");  // a sub-item: quiet
    EXPECT_TRUE(f.notes.empty());
    ListView_SetItemText(f.list, 0, 0, L"renamed");
    const auto changed = f.of(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].changed, static_cast<UINT>(LVIF_TEXT));
    // The row's state comes with it, unchanged.
    EXPECT_EQ(changed[0].new_state, static_cast<UINT>(LVIS_SELECTED));
    EXPECT_EQ(changed[0].old_state, static_cast<UINT>(LVIS_SELECTED));
}

TEST_F(ListView, TellsAboutEveryRowItDeletes) {
    list_fixture f;
    f.add_columns();
    for (int i = 0; i < 4; ++i) f.add_row(i, L"row", 100 + i);
    ListView_SetSelectionMark(f.list, 2);

    f.notes.clear();
    EXPECT_TRUE(ListView_DeleteItem(f.list, 1));
    EXPECT_FALSE(ListView_DeleteItem(f.list, 7));
    ASSERT_EQ(f.notes.size(), 1u);
    EXPECT_EQ(f.notes[0].code, LVN_DELETEITEM);
    EXPECT_EQ(f.notes[0].item, 1);
    EXPECT_EQ(f.notes[0].param, 101);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), 1);  // follows its row
    EXPECT_EQ(f.param(1), 102);

    // While the parent hears of a deletion, the row is still there.
    LPARAM read_back = 0;
    f.on_note = [&](const note& n) {
        if (n.code == LVN_DELETEITEM) read_back = f.param(n.item);
    };
    f.notes.clear();
    EXPECT_TRUE(ListView_DeleteAllItems(f.list));
    EXPECT_EQ(f.notes.front().code, LVN_DELETEALLITEMS);
    EXPECT_EQ(f.notes.front().item, -1);
    std::vector<LPARAM> deleted;
    for (const note& n : f.of(LVN_DELETEITEM)) deleted.push_back(n.param);
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<LPARAM>{100, 102, 103}));
    EXPECT_EQ(read_back, 100);
    EXPECT_EQ(ListView_GetItemCount(f.list), 0);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), -1);

    // A parent answering LVN_DELETEALLITEMS with TRUE hears of no row...
    f.on_note = nullptr;
    f.add_row(0, L"x", 1);
    f.add_row(1, L"y", 2);
    f.answers[LVN_DELETEALLITEMS] = TRUE;
    f.notes.clear();
    ListView_DeleteAllItems(f.list);
    EXPECT_TRUE(f.of(LVN_DELETEITEM).empty());

    // ...but a list destroyed tells about every row it still had.
    f.add_row(0, L"x", 1);
    f.add_row(1, L"y", 2);
    f.notes.clear();
    DestroyWindow(f.list);
    EXPECT_FALSE(IsWindow(f.list));
    deleted.clear();
    for (const note& n : f.of(LVN_DELETEITEM)) deleted.push_back(n.param);
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<LPARAM>{1, 2}));
}

TEST_F(ListView, IsMadeFromADialogTemplate) {
    using namespace win_dialogs;
    dialog_template t;
    t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    t.cx = 200;
    t.cy = 100;
    t.caption = L"Lists";
    control_template c;
    c.class_name = L"SysListView32";
    c.id = 480;
    c.style = WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SINGLESEL;
    c.x = 7;
    c.y = 7;
    c.cx = 180;
    c.cy = 80;
    t.controls = {c};
    register_dialog(GetModuleHandleW(nullptr), 4801, t);
    HWND dialog = CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(4801), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, 480);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(win_test::class_name(list), L"SysListView32");
    EXPECT_NE(ListView_GetHeader(list), nullptr);
    DestroyWindow(dialog);
}

// The client point of a list in the middle of a row's column.
POINT cell_point(HWND list, int row, int subitem) {
    RECT r{};
    EXPECT_TRUE(ListView_GetSubItemRect(list, row, subitem, LVIR_LABEL, &r));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT on_screen(HWND window, POINT p) {
    ClientToScreen(window, &p);
    return p;
}

win_gdi::pixel client_pixel(HWND h, int x, int y) {
    HWND top = GetAncestor(h, GA_ROOT);
    const auto pixels = win_user::window_pixels(top);
    const RECT window = win_test::window_rect(top);
    const POINT p = on_screen(h, {x, y});
    return pixels->at(p.x - window.left, p.y - window.top);
}

win_gdi::pixel opaque(COLORREF c) {
    return win_gdi::make_pixel(255, GetRValue(c), GetGValue(c), GetBValue(c));
}

TEST_F(ListView, RowsAndColumnsLieWhereTheHeaderSaysAndHitTestsFindThem) {
    list_fixture f;
    f.add_columns();
    for (int i = 0; i < 3; ++i) f.add_row(i, L"row", i);
    HWND header = ListView_GetHeader(f.list);
    ASSERT_EQ(Header_GetItemCount(header), 3);
    RECT heading{};
    ASSERT_TRUE(Header_GetItemRect(header, 1, &heading));
    EXPECT_EQ(heading.left, 150);
    EXPECT_EQ(heading.right, 350);
    EXPECT_FALSE(Header_GetItemRect(header, 3, &heading));

    RECT cell{};
    ASSERT_TRUE(ListView_GetSubItemRect(f.list, 1, 2, LVIR_BOUNDS, &cell));
    EXPECT_EQ(cell.left, 350);
    EXPECT_EQ(cell.right, 450);
    EXPECT_EQ(cell.top, LISTVIEW_HEADER_HEIGHT + LISTVIEW_ROW_HEIGHT);
    EXPECT_EQ(cell.bottom - cell.top, LISTVIEW_ROW_HEIGHT);
    // Sub-item 0's bounds are the whole row's.
    ASSERT_TRUE(ListView_GetSubItemRect(f.list, 1, 0, LVIR_BOUNDS, &cell));
    EXPECT_EQ(cell.right, 450);
    EXPECT_FALSE(ListView_GetSubItemRect(f.list, 3, 0, LVIR_BOUNDS, &cell));

    LVHITTESTINFO hit{};
    hit.pt = cell_point(f.list, 2, 1);
    EXPECT_EQ(ListView_SubItemHitTest(f.list, &hit), 2);
    EXPECT_EQ(hit.iSubItem, 1);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ONITEMLABEL));
    // Without full-row selection, only the first column is the row.
    EXPECT_EQ(ListView_HitTest(f.list, &hit), -1);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_NOWHERE));
    ListView_SetExtendedListViewStyle(f.list, LVS_EX_FULLROWSELECT);
    EXPECT_EQ(ListView_HitTest(f.list, &hit), 2);
    hit.pt = {460, cell_point(f.list, 2, 1).y};  // right of the last column
    EXPECT_EQ(ListView_SubItemHitTest(f.list, &hit), -1);
    hit.pt = {20, LISTVIEW_HEADER_HEIGHT + 3 * LISTVIEW_ROW_HEIGHT + 2};  // below the rows
    EXPECT_EQ(ListView_SubItemHitTest(f.list, &hit), -1);
    hit.pt = {20, -5};
    ListView_SubItemHitTest(f.list, &hit);
    EXPECT_EQ(hit.flags, static_cast<UINT>(LVHT_ABOVE));
}

TEST_F(ListView, WithoutColumnHeadingsTheHiddenHeaderStillPlacesTheColumns) {
    list_fixture f(LVS_REPORT | LVS_NOCOLUMNHEADER);
    f.add_columns();
    f.add_row(0, L"row", 0);
    HWND header = ListView_GetHeader(f.list);
    ASSERT_NE(header, nullptr);
    EXPECT_FALSE(IsWindowVisible(header));
    RECT heading{};
    ASSERT_TRUE(Header_GetItemRect(header, 1, &heading));
    EXPECT_EQ(heading.left, 150);
    EXPECT_EQ(heading.right, 350);
    RECT row{};
    ASSERT_TRUE(ListView_GetItemRect(f.list, 0, &row, LVIR_BOUNDS));
    EXPECT_EQ(row.top, 0);
    LVHITTESTINFO hit{};
    hit.pt = {160, 3};
    EXPECT_EQ(ListView_SubItemHitTest(f.list, &hit), 0);
    EXPECT_EQ(hit.iSubItem, 1);
}

TEST_F(ListView, AClickSelectsTheRowThenTellsWhereItLandedOnceTheButtonIsUp) {
    list_fixture f;
    f.add_columns();
    for (int i = 0; i < 3; ++i) f.add_row(i, L"row", 10 + i);
    ListView_SetExtendedListViewStyle(f.list, LVS_EX_FULLROWSELECT);
    SetForegroundWindow(f.parent.hwnd());
    f.notes.clear();

    win_test::click(on_screen(f.list, cell_point(f.list, 1, 2)));
    ASSERT_TRUE(win_test::pump_until([&] { return !f.of(NM_CLICK).empty(); }));
    std::vector<UINT> codes;
    for (const note& n : f.notes)
        if (n.code != NM_SETFOCUS) codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_CLICK}));
    const note changed = f.of(LVN_ITEMCHANGED).front();
    EXPECT_EQ(changed.item, 1);
    EXPECT_EQ(changed.new_state, static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(changed.param, 11);
    const note click = f.of(NM_CLICK).front();
    EXPECT_EQ(click.item, 1);
    EXPECT_EQ(click.subitem, 2);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), 1);
    EXPECT_EQ(GetFocus(), f.list);

    // A click below the rows clears the selection and names no row; the
    // mark stays.
    f.notes.clear();
    win_test::click(on_screen(f.list, {20, 250}));
    ASSERT_TRUE(win_test::pump_until([&] { return !f.of(NM_CLICK).empty(); }));
    EXPECT_EQ(f.of(NM_CLICK).front().item, -1);
    EXPECT_EQ(ListView_GetSelectedCount(f.list), 0u);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), 1);

    // The arrow keys move the selection and the mark.
    win_test::press_key(VK_DOWN);
    win_test::pump();
    EXPECT_EQ(ListView_GetNextItem(f.list, -1, LVNI_SELECTED), 2);
    EXPECT_EQ(ListView_GetSelectionMark(f.list), 2);
}

TEST_F(ListView, OwnerDrawnRowsArePaintedByTheParentIntoTheWindowsPicture) {
    list_fixture f(LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED);
    f.add_columns();
    f.add_row(0, L"a", 100);
    f.add_row(1, L"b", 200);
    ListView_SetItemState(f.list, 1, LVIS_SELECTED, LVIS_SELECTED);
    std::vector<DRAWITEMSTRUCT> drawn;
    f.parent.set_reaction([&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_NOTIFY) return f.record(m, l);
        if (m != WM_DRAWITEM) return std::nullopt;
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
        drawn.push_back(*draw);
        HBRUSH brush =
            CreateSolidBrush(draw->itemState & ODS_SELECTED ? RGB(200, 0, 0) : RGB(0, 0, 200));
        FillRect(draw->hDC, &draw->rcItem, brush);
        DeleteObject(brush);
        return TRUE;
    });
    InvalidateRect(f.list, nullptr, TRUE);
    UpdateWindow(f.list);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].CtlType, ODT_LISTVIEW);
    EXPECT_EQ(drawn[0].CtlID, 480u);
    EXPECT_EQ(drawn[0].hwndItem, f.list);
    EXPECT_EQ(drawn[1].itemID, 1u);
    EXPECT_EQ(drawn[1].itemData, 200u);
    EXPECT_EQ(drawn[1].itemAction, ODA_DRAWENTIRE);
    EXPECT_TRUE(drawn[1].itemState & ODS_SELECTED);
    EXPECT_FALSE(drawn[0].itemState & ODS_SELECTED);
    RECT bounds{};
    ListView_GetItemRect(f.list, 1, &bounds, LVIR_BOUNDS);
    EXPECT_EQ(drawn[1].rcItem.top, bounds.top);
    EXPECT_EQ(drawn[1].rcItem.right, 450);
    EXPECT_EQ(client_pixel(f.list, 300, bounds.top + 3), opaque(RGB(200, 0, 0)));
    EXPECT_EQ(client_pixel(f.list, 300, bounds.top - 3), opaque(RGB(0, 0, 200)));
}

TEST_F(ListView, AReportListDrawsItsHeaderAndRows) {
    list_fixture f;
    f.add_columns();
    f.add_row(0, L"first", 1);
    f.add_row(1, L"second", 2);
    ListView_SetItemText(f.list, 1, 1, L"a place");
    ListView_SetExtendedListViewStyle(f.list, LVS_EX_FULLROWSELECT);
    SetForegroundWindow(f.parent.hwnd());
    SetFocus(f.list);
    ListView_SetItemState(f.list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    win_test::pump();
    EXPECT_TRUE(
        win_test::save_png(f.parent.hwnd(), std::string(WINDOW_PICTURE_DIR) + "/list_view.png"));
    // The header in the face colour, the selected row highlighted across
    // every column, the other row on the window colour.
    EXPECT_EQ(client_pixel(f.list, 100, 2), opaque(GetSysColor(COLOR_BTNFACE)));
    const POINT second = cell_point(f.list, 1, 2);
    EXPECT_EQ(client_pixel(f.list, 440, second.y), opaque(GetSysColor(COLOR_HIGHLIGHT)));
    const POINT first = cell_point(f.list, 0, 2);
    EXPECT_EQ(client_pixel(f.list, 440, first.y), opaque(GetSysColor(COLOR_WINDOW)));
    // Some text was drawn in the first row's first column.
    int inked = 0;
    for (int x = 4; x < 60; ++x)
        if (client_pixel(f.list, x, first.y) != opaque(GetSysColor(COLOR_WINDOW))) ++inked;
    EXPECT_GT(inked, 3);
}

// A dialog with a list of two rows and Close; it keeps the row clicked last.
INT_PTR CALLBACK rows_dialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        HWND list = GetDlgItem(dialog, 480);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.cx = 80;
        c.pszText = const_cast<LPWSTR>(L"Name");
        ListView_InsertColumn(list, 0, &c);
        c.pszText = const_cast<LPWSTR>(L"Place");
        ListView_InsertColumn(list, 1, &c);
        const wchar_t* names[] = {L"first", L"second"};
        for (int i = 0; i < 2; ++i) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<LPWSTR>(names[i]);
            ListView_InsertItem(list, &item);
            ListView_SetItemText(list, i, 1, L"here");
        }
        return TRUE;
    }
    auto* clicked = reinterpret_cast<int*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lparam)->code == NM_CLICK)
        *clicked = reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem;
    if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    return FALSE;
}

TEST_F(ListView, APersonSeesTheRowsOnTheTerminalAndChoosesOne) {
    using namespace win_dialogs;
    dialog_template t;
    t.cx = 200;
    t.cy = 100;
    t.caption = L"Rows";
    control_template list;
    list.class_name = WC_LISTVIEWW;
    list.id = 480;
    list.style = WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL;
    list.cx = 180;
    list.cy = 60;
    t.controls = {list, push_button(IDCANCEL, L"Close", 140, 80, 50, 14)};
    register_dialog(GetModuleHandleW(nullptr), 4802, t);
    int clicked = -7;
    {
        dialog_test::typed_input person("2\n3\n");  // the second row, then Close
        testing::internal::CaptureStderr();
        EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(4802), nullptr,
                                  rows_dialog, reinterpret_cast<LPARAM>(&clicked)),
                  IDCANCEL);
        const std::string shown = testing::internal::GetCapturedStderr();
        EXPECT_NE(shown.find("list: Name | Place"), std::string::npos) << shown;
        EXPECT_NE(shown.find("[1] first | here"), std::string::npos) << shown;
        EXPECT_NE(shown.find("[2] second | here  (chosen)"), std::string::npos) << shown;
    }
    EXPECT_EQ(clicked, 1);
}

}  // namespace
