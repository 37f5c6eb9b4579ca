// The text link: its three kinds of click, its cursor, its font and the
// background it is drawn over.
#include "ui/url_static.h"

#include <gtest/gtest.h>

#include <optional>

#include "win/machine.h"
#include "win/shell_test.h"
#include "win/win_test.h"
#include "window_pixels.h"

namespace {

std::vector<UINT> parent_messages;

LRESULT CALLBACK parent_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER + 1) {
        parent_messages.push_back(message);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

class UrlStatic : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = parent_procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = CreateSolidBrush(RGB(10, 200, 30));
            wc.lpszClassName = L"CalvimoraTestLinkParent";
            return RegisterClassExW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        parent_messages.clear();
        parent =
            CreateWindowExW(0, L"CalvimoraTestLinkParent", L"page", WS_POPUP | WS_VISIBLE, 100, 100,
                            300, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(link.Create(parent, RECT{20, 30, 220, 50}, WS_CHILD | WS_VISIBLE | SS_NOTIFY),
                  nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }

    // Each click a few pixels beside the last, so that two clicks in a row
    // stay two single clicks and never make a double click.
    void click() {
        POINT point = win_test::center_of(link);
        point.x += 5 * clicks++;
        win_test::click(point);
        win_test::pump();
    }

    win_machine::scoped_root root;
    HWND parent = nullptr;
    CUrlStatic link;
    int clicks = 0;
};

TEST_F(UrlStatic, AClickNotifiesTheParentOrOpensTheAddress) {
    link.SetText(L"sell your files", CUrlStatic::link_notify_parent);
    click();
    EXPECT_EQ(parent_messages, std::vector<UINT>{WM_USER + 1});
    EXPECT_TRUE(win_test::shell_executions().empty());

    link.SetText(L"https://www.calvimora.com/sell", CUrlStatic::link_address);
    click();
    link.SetText(L"support@calvimora.com", CUrlStatic::link_mail);
    click();
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 2u);
    EXPECT_EQ(executions[0].verb, "open");
    EXPECT_EQ(executions[0].file, "https://www.calvimora.com/sell");
    EXPECT_EQ(executions[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(executions[1].file, "mailto:support@calvimora.com");
    EXPECT_EQ(parent_messages.size(), 1u);
}

TEST_F(UrlStatic, AnEmptyLinkDoesNothing) {
    link.SetText(L"", CUrlStatic::link_address);
    click();
    link.SetText(L"", CUrlStatic::link_notify_parent);
    click();
    EXPECT_TRUE(win_test::shell_executions().empty());
    EXPECT_TRUE(parent_messages.empty());
}

TEST_F(UrlStatic, TheHandShowsOverTheUnderlinedTextOnly) {
    LOGFONTW font{};
    ASSERT_EQ(GetObjectW(link.Font(), sizeof font, &font), static_cast<int>(sizeof font));
    EXPECT_TRUE(font.lfUnderline);

    link.SetText(L"link", CUrlStatic::link_address);
    UpdateWindow(link);
    const RECT text = link.TextRect();
    ASSERT_GT(text.right, text.left);
    POINT over{text.left + 2, (text.top + text.bottom) / 2};
    ClientToScreen(link, &over);
    win_test::move_mouse(over);
    win_test::pump();
    EXPECT_EQ(win_test::current_cursor_id(), 32649);  // the hand
    POINT beside{text.right + 40, (text.top + text.bottom) / 2};
    ClientToScreen(link, &beside);
    win_test::move_mouse(beside);
    win_test::pump();
    EXPECT_NE(win_test::current_cursor_id(), 32649);
}

TEST_F(UrlStatic, TheLinkIsDrawnOverItsParentsBackgroundAndAlignedByItsStyle) {
    link.SetText(L"x", CUrlStatic::link_address);
    const auto pixels = shell_testing::paint_client(link);
    ASSERT_FALSE(pixels.empty());
    // Far from the text the parent's background shows.
    EXPECT_EQ(pixels.back(), shell_testing::opaque(RGB(10, 200, 30)));
    EXPECT_LT(link.TextRect().right, 50);

    CUrlStatic centred;
    ASSERT_NE(centred.Create(parent, RECT{20, 60, 220, 80}, WS_CHILD | WS_VISIBLE | 0x300),
              nullptr);
    centred.SetText(L"x", CUrlStatic::link_address);
    shell_testing::paint_client(centred);
    EXPECT_GT(centred.TextRect().left, 80);
    EXPECT_LT(centred.TextRect().right, 120);
}

}  // namespace
