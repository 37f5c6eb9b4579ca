#include "user_test_support.h"

namespace {

using namespace std::chrono_literals;
using user_test::test_window;
using Tooltips = user_test::UserTest;

TOOLINFOW tool(HWND window, UINT_PTR id, RECT rect, const wchar_t* text) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.uId = id;
    info.rect = rect;
    info.lpszText = const_cast<LPWSTR>(text);
    return info;
}

struct tooltip_fixture {
    test_window owner{test_window::with().styled(WS_POPUP | WS_VISIBLE).at({100, 100, 500, 320})};
    HWND tooltip = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner.hwnd(), nullptr, nullptr, nullptr);
    ~tooltip_fixture() { DestroyWindow(tooltip); }

    // Relays a mouse move at a client point of the owner, as a window's
    // message loop does before dispatching.
    void relay_move(int x, int y) {
        MSG m{owner.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y), GetTickCount(), {}};
        SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
    }
};

TEST_F(Tooltips, KeepAListOfToolsThatTestsCanRead) {
    tooltip_fixture f;
    ASSERT_NE(f.tooltip, nullptr);
    EXPECT_TRUE(win_test::topmost(f.tooltip));
    EXPECT_EQ(GetWindow(f.tooltip, GW_OWNER), f.owner.hwnd());
    TOOLINFOW stop = tool(f.owner.hwnd(), 1002, {300, 190, 382, 208}, L"Stop all");
    TOOLINFOW close = tool(f.owner.hwnd(), 1001, {376, 4, 396, 24}, L"Close");
    EXPECT_TRUE(SendMessageW(f.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&stop)));
    EXPECT_TRUE(SendMessageW(f.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&close)));
    TOOLINFOW short_record = stop;
    short_record.cbSize = 8;
    EXPECT_FALSE(SendMessageW(f.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&short_record)));
    EXPECT_EQ(SendMessageW(f.tooltip, TTM_GETTOOLCOUNT, 0, 0), 2);

    close.rect = {350, 4, 370, 24};
    SendMessageW(f.tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&close));
    SendMessageW(f.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&stop));
    const auto tools = win_test::tooltip_tools(f.tooltip);
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].id, 1001u);
    EXPECT_EQ(tools[0].text, L"Close");
    EXPECT_EQ(tools[0].rect.left, 350);
    EXPECT_EQ(SendMessageW(f.tooltip, TTM_SETMAXTIPWIDTH, 0, 400), -1);
    EXPECT_EQ(win_test::tooltip_max_width(f.tooltip), 400);
    SendMessageW(f.tooltip, TTM_ACTIVATE, FALSE, 0);
    EXPECT_FALSE(win_test::tooltip_active(f.tooltip));
}

TEST_F(Tooltips, ShowTheToolsTextWhileThePointerRestsOverIt) {
    tooltip_fixture f;
    TOOLINFOW close = tool(f.owner.hwnd(), 1001, {376, 4, 396, 24}, L"Close");
    SendMessageW(f.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&close));
    SendMessageW(f.tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, 20);
    f.relay_move(380, 10);
    EXPECT_EQ(win_test::shown_tip(f.tooltip), L"");  // not before the delay
    ASSERT_TRUE(win_test::pump_until([&] { return !win_test::shown_tip(f.tooltip).empty(); }));
    EXPECT_EQ(win_test::shown_tip(f.tooltip), L"Close");
    EXPECT_TRUE(IsWindowVisible(f.tooltip));
    f.relay_move(10, 10);
    EXPECT_EQ(win_test::shown_tip(f.tooltip), L"");
    EXPECT_FALSE(IsWindowVisible(f.tooltip));

    // An inactive tooltip shows nothing.
    SendMessageW(f.tooltip, TTM_ACTIVATE, FALSE, 0);
    f.relay_move(380, 10);
    win_test::pump_until([] { return false; }, 100ms);
    EXPECT_EQ(win_test::shown_tip(f.tooltip), L"");
    // A press hides the tip until the pointer moves to another tool.
    SendMessageW(f.tooltip, TTM_ACTIVATE, TRUE, 0);
    f.relay_move(10, 10);
    f.relay_move(380, 10);
    ASSERT_TRUE(win_test::pump_until([&] { return !win_test::shown_tip(f.tooltip).empty(); }));
    MSG press{f.owner.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(380, 10), 0, {}};
    SendMessageW(f.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&press));
    f.relay_move(381, 11);
    win_test::pump_until([] { return false; }, 100ms);
    EXPECT_EQ(win_test::shown_tip(f.tooltip), L"");
}

TEST_F(Tooltips, TakeTextsFromStringTables) {
    win_dialogs::register_strings(GetModuleHandleW(nullptr), {{3001, L"Resume all"}});
    tooltip_fixture f;
    TOOLINFOW resume = tool(f.owner.hwnd(), 1003, {0, 0, 10, 10}, nullptr);
    resume.hinst = GetModuleHandleW(nullptr);
    resume.lpszText = MAKEINTRESOURCEW(3001);
    SendMessageW(f.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&resume));
    EXPECT_EQ(win_test::tooltip_tools(f.tooltip).at(0).text, L"Resume all");
}

}  // namespace
