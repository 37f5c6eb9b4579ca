// The list-view wrapper over a real list view control.
#include <gtest/gtest.h>

#include "ui/list_view_impl.h"
#include "win/machine.h"
#include "win/win_test.h"

namespace {

TEST(ListViewImpl, WithoutAWindowEveryCallAnswersItsFailureValue) {
    CListViewImpl list;
    EXPECT_EQ(list.InsertColumn(0, L"a", LVCFMT_LEFT, 10, 0), -1);
    EXPECT_EQ(list.InsertItem(0, L"a"), -1);
    EXPECT_EQ(list.SetItemText(0, 0, L"a"), -1);
    EXPECT_EQ(list.SetItemData(0, 5), -1);
    EXPECT_EQ(list.GetItemData(0), static_cast<DWORD_PTR>(-1));
    EXPECT_EQ(list.GetSelectionMark(), -1);
    EXPECT_EQ(list.SetExtendedStyle(LVS_EX_FULLROWSELECT), 0u);
    EXPECT_EQ(list.DeleteItem(0), FALSE);
}

TEST(ListViewImpl, PassesEachCallToTheControlItWraps) {
    win_machine::scoped_root root;
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND control = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 400, 200,
                                   parent, nullptr, nullptr, nullptr);
    {
        CListViewImpl list;
        ASSERT_TRUE(list.SubclassWindow(control));
        EXPECT_EQ(list.InsertColumn(0, L"Name", LVCFMT_LEFT, 150, 0), 0);
        EXPECT_EQ(list.InsertColumn(1, L"Place", LVCFMT_LEFT, 200, 1), 1);
        EXPECT_EQ(list.InsertItem(0, L"b"), 0);
        EXPECT_EQ(list.InsertItem(0, L"a"), 0);
        EXPECT_TRUE(list.SetItemText(1, 1, L"b's place"));
        int anything = 0;
        EXPECT_TRUE(list.SetItemData(1, reinterpret_cast<DWORD_PTR>(&anything)));
        EXPECT_EQ(list.GetItemData(1), reinterpret_cast<DWORD_PTR>(&anything));
        EXPECT_EQ(list.GetItemData(0), 0u);
        EXPECT_EQ(list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES), 0u);
        EXPECT_EQ(list.SetExtendedStyle(LVS_EX_FULLROWSELECT),
                  LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        EXPECT_EQ(list.GetSelectionMark(), -1);
        EXPECT_TRUE(list.DeleteItem(0));
        EXPECT_FALSE(list.DeleteItem(5));
    }
    // Let go, the control keeps its rows.
    EXPECT_EQ(ListView_GetItemCount(control), 1);
    wchar_t text[32] = {};
    ListView_GetItemText(control, 0, 1, text, 32);
    EXPECT_EQ(std::wstring(text), L"b's place");
    DestroyWindow(parent);
}

}  // namespace
