#include <string>

#include "user_test_support.h"
#include "win/commctrl.h"

namespace {

using user_test::test_window;
using TabControl = user_test::UserTest;

constexpr int tab_id = 351;

// A tab control in a parent that records what it is told and may refuse
// a change of selection.
struct tab_fixture {
    bool refuse = false;
    std::vector<UINT> codes;
    std::vector<int> selection_when_told;
    test_window parent{
        test_window::with()
            .styled(WS_POPUP | WS_VISIBLE)
            .at({50, 50, 450, 350})
            .reacting([this](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
                if (m != WM_NOTIFY) return std::nullopt;
                const auto* header = reinterpret_cast<const NMHDR*>(l);
                if (header->hwndFrom != tab || header->idFrom != tab_id) return 0;
                codes.push_back(header->code);
                selection_when_told.push_back(TabCtrl_GetCurSel(tab));
                return header->code == TCN_SELCHANGING && refuse ? TRUE : FALSE;
            })};
    HWND tab = CreateWindowExW(0, WC_TABCONTROLW, nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 380, 280,
                               parent.hwnd(), reinterpret_cast<HMENU>(tab_id), nullptr, nullptr);

    int insert(int index, const wchar_t* text, LPARAM parameter) {
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<LPWSTR>(text);
        item.lParam = parameter;
        return TabCtrl_InsertItem(tab, index, &item);
    }
    std::wstring text_of(int index, int room = 64) {
        wchar_t buffer[64] = L"?";
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = room;
        return TabCtrl_GetItem(tab, index, &item) ? buffer : L"<none>";
    }
    LPARAM parameter_of(int index) {
        TCITEMW item{};
        item.mask = TCIF_PARAM;
        return TabCtrl_GetItem(tab, index, &item) ? item.lParam : -1;
    }
    POINT screen_point_in(int index) {
        RECT r{};
        EXPECT_TRUE(TabCtrl_GetItemRect(tab, index, &r));
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(tab, &p);
        return p;
    }
};

TEST_F(TabControl, KeepsItsTabsInOrderWithTheirParametersAndTheFirstSelected) {
    tab_fixture f;
    ASSERT_NE(f.tab, nullptr);
    EXPECT_EQ(win_test::class_name(f.tab), L"SysTabControl32");
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), -1);
    EXPECT_EQ(f.insert(0, L"General", 100), 0);
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 0);
    // Past the end lands at the end; before the selection moves it along.
    EXPECT_EQ(f.insert(7, L"Sync && Backup", 300), 1);
    EXPECT_EQ(f.insert(1, L"Sharing", 200), 1);
    TabCtrl_SetCurSel(f.tab, 1);
    EXPECT_EQ(f.insert(0, L"First", 50), 0);
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 2);
    EXPECT_EQ(TabCtrl_GetItemCount(f.tab), 4);
    EXPECT_EQ(f.text_of(1), L"General");
    EXPECT_EQ(f.text_of(2), L"Sharing");
    EXPECT_EQ(f.text_of(3), L"Sync && Backup");
    EXPECT_EQ(f.text_of(3, 5), L"Sync");
    EXPECT_EQ(f.parameter_of(3), 300);
    EXPECT_EQ(f.text_of(4), L"<none>");
    EXPECT_EQ(f.parameter_of(-1), -1);
    EXPECT_TRUE(f.codes.empty());
    EXPECT_TRUE(TabCtrl_DeleteItem(f.tab, 0));
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 1);
    EXPECT_EQ(f.text_of(0), L"General");
}

TEST_F(TabControl, SetCurSelIsSilentWhileSetCurFocusAsksAndTellsTheParent) {
    tab_fixture f;
    f.insert(0, L"General", 1);
    f.insert(1, L"Sharing", 2);
    f.insert(2, L"Sync", 3);
    EXPECT_EQ(TabCtrl_SetCurSel(f.tab, 2), 0);
    EXPECT_EQ(TabCtrl_SetCurSel(f.tab, 3), -1);
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 2);
    EXPECT_TRUE(f.codes.empty());

    TabCtrl_SetCurFocus(f.tab, 1);
    EXPECT_EQ(f.codes, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
    // Asked while the old tab is still selected, told once the new one is.
    EXPECT_EQ(f.selection_when_told, (std::vector<int>{2, 1}));
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 1);

    f.codes.clear();
    TabCtrl_SetCurFocus(f.tab, 1);
    EXPECT_TRUE(f.codes.empty());

    f.refuse = true;
    TabCtrl_SetCurFocus(f.tab, 0);
    EXPECT_EQ(f.codes, (std::vector<UINT>{TCN_SELCHANGING}));
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 1);
}

TEST_F(TabControl, AClickOnATabChoosesItAsTheUserWould) {
    tab_fixture f;
    f.insert(0, L"General", 1);
    f.insert(1, L"Sharing", 2);
    win_test::pump();
    win_test::click(f.screen_point_in(1));
    ASSERT_TRUE(win_test::pump_until([&] { return f.codes.size() == 2; }, user_test::patience));
    EXPECT_EQ(f.codes, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
    EXPECT_EQ(TabCtrl_GetCurSel(f.tab), 1);
    EXPECT_EQ(GetFocus(), f.tab);

    f.codes.clear();
    win_test::click(f.screen_point_in(1));
    win_test::pump();
    EXPECT_TRUE(f.codes.empty());
}

TEST_F(TabControl, TabsSitInOneRowAboveTheDisplayArea) {
    tab_fixture f;
    f.insert(0, L"General", 1);
    f.insert(1, L"A much longer title", 2);
    RECT first{}, second{};
    ASSERT_TRUE(TabCtrl_GetItemRect(f.tab, 0, &first));
    ASSERT_TRUE(TabCtrl_GetItemRect(f.tab, 1, &second));
    RECT none{};
    EXPECT_FALSE(TabCtrl_GetItemRect(f.tab, 2, &none));
    EXPECT_EQ(first.right, second.left);
    EXPECT_EQ(first.top, second.top);
    EXPECT_GT(second.right - second.left, first.right - first.left);
    EXPECT_GT(first.bottom - first.top, 10);
    EXPECT_EQ(TabCtrl_GetRowCount(f.tab), 1);

    RECT area = win_test::client_rect(f.tab);
    TabCtrl_AdjustRect(f.tab, FALSE, &area);
    EXPECT_GT(area.top, first.bottom);
    EXPECT_GT(area.left, 0);
    EXPECT_LT(area.right, 380);
    EXPECT_LT(area.bottom, 280);
    RECT back = area;
    TabCtrl_AdjustRect(f.tab, TRUE, &back);
    EXPECT_EQ(back.left, 0);
    EXPECT_EQ(back.top, 0);
    EXPECT_EQ(back.right, 380);
    EXPECT_EQ(back.bottom, 280);
}

TEST_F(TabControl, PrintsItsTabsIntoAnotherDeviceContext) {
    tab_fixture f;
    f.insert(0, L"General", 1);
    f.insert(1, L"Sharing", 2);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 380;
    info.bmiHeader.biHeight = -280;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const auto* pixels = static_cast<const uint32_t*>(bits);
    EXPECT_EQ(pixels[200 * 380 + 200], 0u);
    SendMessageW(f.tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    // The display area is the dialog face; the tab texts leave darker pixels.
    const uint32_t face = pixels[200 * 380 + 200];
    EXPECT_NE(face, 0u);
    RECT tab_rect{};
    TabCtrl_GetItemRect(f.tab, 1, &tab_rect);
    int text_pixels = 0;
    for (int y = tab_rect.top + 2; y < tab_rect.bottom - 1; ++y)
        for (int x = tab_rect.left + 3; x < tab_rect.right - 3; ++x)
            if (pixels[y * 380 + x] != face) ++text_pixels;
    EXPECT_GT(text_pixels, 20);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    EXPECT_TRUE(win_test::save_png(f.parent.hwnd(), std::string(WINDOW_PICTURE_DIR) + "/tabs.png"));
}

}  // namespace
