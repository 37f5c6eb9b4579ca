#include "user_test_support.h"

namespace {

using user_test::test_window;
using Input = user_test::UserTest;

POINT screen_point(HWND w, int x, int y) {
    POINT p{x, y};
    ClientToScreen(w, &p);
    return p;
}

POINT client_point(LPARAM lparam) {
    return {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
}

TEST_F(Input, MouseMessagesComeAfterTheHitTestAndTheCursorMessage) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({200, 200, 400, 400}));
    win_test::pump();
    w.clear();
    win_test::move_mouse({250, 260});
    win_test::pump();
    const auto log = w.log();
    ASSERT_EQ(w.messages({WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE}),
              (std::vector<UINT>{WM_NCHITTEST, WM_SETCURSOR, WM_MOUSEMOVE}));
    for (const auto& r : log) {
        if (r.message == WM_NCHITTEST) {
            EXPECT_EQ(r.lparam, MAKELPARAM(250, 260));  // screen
        }
        if (r.message == WM_SETCURSOR) {
            EXPECT_EQ(reinterpret_cast<HWND>(r.wparam), w.hwnd());
            EXPECT_EQ(r.lparam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        }
        if (r.message == WM_MOUSEMOVE) {
            EXPECT_EQ(client_point(r.lparam).x, 50);  // client
            EXPECT_EQ(client_point(r.lparam).y, 60);
        }
    }
    POINT where;
    GetCursorPos(&where);
    EXPECT_EQ(where.x, 250);
    EXPECT_EQ(WindowFromPoint({250, 260}), w.hwnd());
}

TEST_F(Input, TheCaptureKeepsTheMouseWhenItLeavesTheWindow) {
    test_window left(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    test_window right(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({200, 0, 300, 100}));
    left.set_reaction([](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) SetCapture(h);
        if (m == WM_LBUTTONUP) ReleaseCapture();
        return std::nullopt;
    });
    win_test::pump();
    win_test::press_mouse({50, 50});
    win_test::pump();
    EXPECT_EQ(GetCapture(), left.hwnd());
    left.clear();
    right.clear();
    win_test::move_mouse({250, 50});
    win_test::release_mouse({250, 50});
    win_test::pump();
    EXPECT_EQ(right.messages({WM_MOUSEMOVE, WM_LBUTTONUP, WM_SETCURSOR}).size(), 0u);
    const auto got = left.log();
    const auto up =
        std::find_if(got.begin(), got.end(), [](auto& r) { return r.message == WM_LBUTTONUP; });
    ASSERT_NE(up, got.end());
    EXPECT_EQ(client_point(up->lparam).x, 250);  // beyond its own client area
    EXPECT_EQ(left.count(WM_CAPTURECHANGED), 1u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Input, HidingOrDestroyingTheCaptureWindowReleasesTheCapture) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    SetCapture(w.hwnd());
    ShowWindow(w.hwnd(), SW_HIDE);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(w.count(WM_CAPTURECHANGED), 1u);

    auto other = std::make_unique<test_window>(
        test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    test_window child(test_window::with().styled(WS_CHILD | WS_VISIBLE).child_of(other->hwnd(), 1));
    SetCapture(child.hwnd());
    EXPECT_EQ(SetCapture(other->hwnd()), child.hwnd());
    EXPECT_EQ(child.count(WM_CAPTURECHANGED), 1u);
    other.reset();
    EXPECT_EQ(GetCapture(), nullptr);
    // Another thread sees no capture of its own.
    HWND seen = reinterpret_cast<HWND>(1);
    SetCapture(w.hwnd());
    std::thread([&] { seen = GetCapture(); }).join();
    EXPECT_EQ(seen, nullptr);
    ReleaseCapture();
}

TEST_F(Input, MouseTrackingGivesOneLeavePerArming) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    win_test::move_mouse({50, 50});
    win_test::pump();
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, w.hwnd(), HOVER_DEFAULT};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    win_test::move_mouse({60, 60});
    win_test::pump();
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 0u);
    win_test::move_mouse({500, 500});
    win_test::pump();
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 1u);
    win_test::move_mouse({50, 50});
    win_test::move_mouse({500, 500});
    win_test::pump();
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 1u);  // not armed again

    // Arming while the pointer is elsewhere leaves at once.
    ASSERT_TRUE(TrackMouseEvent(&tme));
    win_test::pump();
    EXPECT_EQ(w.count(WM_MOUSELEAVE), 2u);
    TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, nullptr);
}

TEST_F(Input, TheCursorFollowsTheHitCodeOfEachPlace) {
    test_window w(test_window::with()
                      .styled(WS_POPUP | WS_VISIBLE | WS_THICKFRAME | WS_CAPTION | WS_SYSMENU)
                      .at({100, 100, 400, 300}));
    test_window hand(test_window::with()
                         .styled(WS_CHILD | WS_VISIBLE)
                         .child_of(w.hwnd(), 9)
                         .at({0, 0, 50, 50})
                         .reacting([](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                             if (m != WM_SETCURSOR) return std::nullopt;
                             SetCursor(LoadCursorW(nullptr, IDC_HAND));
                             return TRUE;
                         }));
    win_test::pump();
    struct place {
        POINT at;
        LRESULT hit;
        int cursor;
    };
    const RECT r = win_test::window_rect(w.hwnd());
    const POINT client = screen_point(w.hwnd(), 100, 100);
    const place places[] = {
        {{r.left + 1, 200}, HTLEFT, 32644},
        {{r.right - 1, 200}, HTRIGHT, 32644},
        {{250, r.top + 1}, HTTOP, 32645},
        {{250, r.bottom - 1}, HTBOTTOM, 32645},
        {{r.left + 1, r.top + 1}, HTTOPLEFT, 32642},
        {{r.right - 1, r.bottom - 1}, HTBOTTOMRIGHT, 32642},
        {{r.right - 1, r.top + 1}, HTTOPRIGHT, 32643},
        {{r.left + 1, r.bottom - 1}, HTBOTTOMLEFT, 32643},
        {{200, r.top + 12}, HTCAPTION, 32512},
        {client, HTCLIENT, 32512},
        {screen_point(hand.hwnd(), 5, 5), HTCLIENT, 32649},
    };
    for (const place& p : places) {
        w.clear();
        SetCursor(nullptr);
        win_test::move_mouse(p.at);
        win_test::pump();
        EXPECT_EQ(win_test::current_cursor_id(), p.cursor) << p.at.x << "," << p.at.y;
        if (p.cursor != 32649) {
            const auto log = w.log();
            const auto set = std::find_if(log.begin(), log.end(),
                                          [](auto& e) { return e.message == WM_SETCURSOR; });
            ASSERT_NE(set, log.end());
            EXPECT_EQ(static_cast<SHORT>(LOWORD(set->lparam)), p.hit) << p.at.x << "," << p.at.y;
        }
    }
    // Outside the client area the messages are the non-client ones.
    w.clear();
    win_test::move_mouse({200, r.top + 12});
    win_test::pump();
    EXPECT_EQ(w.count(WM_NCMOUSEMOVE), 1u);
    EXPECT_EQ(w.count(WM_MOUSEMOVE), 0u);
}

TEST_F(Input, AWindowRegionLetsTheMouseThroughOutsideIt) {
    test_window below(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 200, 200}));
    test_window above(test_window::with()
                          .styled(WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOPMOST)
                          .at({0, 0, 200, 200}));
    EXPECT_TRUE(SetWindowRgn(above.hwnd(), CreateRectRgn(0, 0, 100, 100), TRUE));
    win_test::pump();
    below.clear();
    above.clear();
    win_test::move_mouse({150, 150});
    win_test::move_mouse({50, 50});
    win_test::pump();
    EXPECT_EQ(below.count(WM_MOUSEMOVE), 1u);
    EXPECT_EQ(above.count(WM_MOUSEMOVE), 1u);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(above.hwnd(), copy), SIMPLEREGION);
    RECT box;
    GetRgnBox(copy, &box);
    EXPECT_EQ(box.right, 100);
    DeleteObject(copy);
    EXPECT_EQ(GetWindowRgn(below.hwnd(), copy), ERROR);
}

TEST_F(Input, SecondPressesBecomeDoubleClicksForClassesThatAskForThem) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    win_test::pump();
    w.clear();
    win_test::double_click({10, 10});
    win_test::pump();
    EXPECT_EQ(w.messages({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    // A class without CS_DBLCLKS gets two presses.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"NoDoubleClicks";
    RegisterClassExW(&wc);
    const HWND plain = CreateWindowExW(WS_EX_TOPMOST, L"NoDoubleClicks", L"", WS_POPUP | WS_VISIBLE,
                                       0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    int downs = 0, doubles = 0;
    win_test::double_click({10, 10});
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.hwnd == plain && m.message == WM_LBUTTONDOWN) ++downs;
        if (m.hwnd == plain && m.message == WM_LBUTTONDBLCLK) ++doubles;
        DispatchMessageW(&m);
    }
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(doubles, 0);
    DestroyWindow(plain);
}

TEST_F(Input, TheWheelReachesTheWindowUnderThePointerAndRisesToItsParent) {
    test_window parent(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 200, 200}));
    test_window child(test_window::with()
                          .styled(WS_CHILD | WS_VISIBLE)
                          .child_of(parent.hwnd(), 1)
                          .at({0, 0, 100, 100}));
    win_test::pump();
    win_test::wheel({50, 50}, -WHEEL_DELTA);
    win_test::pump();
    for (const test_window* w : {&child, &parent}) {
        const auto log = w->log();
        const auto wheel = std::find_if(log.begin(), log.end(),
                                        [](auto& r) { return r.message == WM_MOUSEWHEEL; });
        ASSERT_NE(wheel, log.end());
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel->wparam), -WHEEL_DELTA);
        EXPECT_EQ(wheel->lparam, MAKELPARAM(50, 50));  // screen coordinates
    }
}

TEST_F(Input, ADisabledWindowGetsNoClicks) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    EnableWindow(w.hwnd(), FALSE);
    win_test::pump();
    w.clear();
    win_test::click(POINT{10, 10});
    win_test::pump();
    EXPECT_EQ(w.count(WM_LBUTTONDOWN), 0u);
    const auto log = w.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().message, WM_SETCURSOR);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(log.back().lparam)), HTERROR);
}

TEST_F(Input, FocusAndActivationChangesAreAnnounced) {
    test_window first(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    test_window second(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(GetActiveWindow(), second.hwnd());
    EXPECT_EQ(GetForegroundWindow(), second.hwnd());
    first.clear();
    second.clear();
    EXPECT_EQ(SetActiveWindow(first.hwnd()), second.hwnd());
    EXPECT_EQ(second.messages({WM_ACTIVATE, WM_KILLFOCUS}),
              (std::vector<UINT>{WM_ACTIVATE, WM_KILLFOCUS}));
    EXPECT_EQ(first.messages({WM_ACTIVATE, WM_SETFOCUS}),
              (std::vector<UINT>{WM_ACTIVATE, WM_SETFOCUS}));
    EXPECT_EQ(GetFocus(), first.hwnd());  // the default handling of activation
    EXPECT_TRUE(SetForegroundWindow(second.hwnd()));
    EXPECT_EQ(GetForegroundWindow(), second.hwnd());
    EXPECT_EQ(GetFocus(), second.hwnd());
}

TEST_F(Input, KeysGoToTheFocusWindowAndTranslateIntoCharacters) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    SetFocus(w.hwnd());
    w.clear();
    win_test::press_key('A');
    win_test::type_text(L"\u00e9");
    win_test::pump();
    const auto log = w.log();
    std::vector<std::pair<UINT, WPARAM>> keys;
    for (const auto& r : log)
        if (r.message == WM_KEYDOWN || r.message == WM_KEYUP || r.message == WM_CHAR)
            keys.emplace_back(r.message, r.wparam);
    EXPECT_EQ(keys, (std::vector<std::pair<UINT, WPARAM>>{
                        {WM_KEYDOWN, 'A'}, {WM_CHAR, 'a'}, {WM_KEYUP, 'A'}, {WM_CHAR, 0xE9}}));
}

TEST_F(Input, TheScreenHasOneMonitorWithAWorkArea) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    EXPECT_LT(work.bottom, 1080);
    const RECT near{1800, 900, 2200, 1120};
    HMONITOR monitor = MonitorFromRect(&near, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(monitor, &info));
    EXPECT_TRUE(EqualRect(&info.rcWork, &work));
    EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
    const RECT away{5000, 5000, 5100, 5100};
    EXPECT_EQ(MonitorFromRect(&away, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromRect(&away, MONITOR_DEFAULTTONEAREST), monitor);
    info.cbSize = 0;
    EXPECT_FALSE(GetMonitorInfoW(monitor, &info));
}

}  // namespace
