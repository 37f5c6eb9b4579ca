// The layered window: resizing and dragging, hit codes and cursors, the
// composed picture, and tooltips.
#include "demo/demo_controls.h"
#include "toolkit_test_support.h"
#include "ui/resource_ids.h"

namespace {

using namespace toolkit_test;
using Window = ToolkitTest;

// A 300 by 200 window at (500, 300) with 5-pixel borders and a minimum of
// 200 by 120.
struct sizable {
    recording_window window;
    sizable() {
        window.SetBorders(5, 5, 5, 5);
        window.SetMinimumSize(200, 120);
        EXPECT_TRUE(window.Create(CRect(500, 300, 800, 500), TRUE));
    }
    CRect rect() const {
        CRect r;
        window.GetWindowRect(&r);
        return r;
    }
};

TEST_F(Window, ResizingByEachBorderStopsAtTheMinimumSize) {
    struct edge {
        const char* name;
        int x, y;          // the press, in the window
        int far_x, far_y;  // the pointer moved far inwards, on the screen
        int out_x, out_y;  // then outwards, on the screen
        CRect at_minimum;  // the window after the inward move
        CRect grown;       // and after the outward move
    };
    const edge edges[] = {
        {"left", 2, 100, 750, 400, 440, 400, {600, 300, 800, 500}, {438, 300, 800, 500}},
        {"right", 297, 100, 550, 400, 900, 400, {500, 300, 700, 500}, {500, 300, 903, 500}},
        {"top", 150, 2, 650, 480, 650, 250, {500, 380, 800, 500}, {500, 248, 800, 500}},
        {"bottom", 150, 197, 650, 320, 650, 600, {500, 300, 800, 420}, {500, 300, 800, 603}},
        {"top-left", 2, 2, 790, 490, 480, 280, {600, 380, 800, 500}, {478, 278, 800, 500}},
        {"top-right", 297, 2, 510, 490, 820, 280, {500, 380, 700, 500}, {500, 278, 823, 500}},
        {"bottom-left", 2, 197, 790, 310, 480, 520, {600, 300, 800, 420}, {478, 300, 800, 523}},
        {"bottom-right", 297, 197, 510, 310, 820, 520, {500, 300, 700, 420}, {500, 300, 823, 523}},
    };
    for (const edge& e : edges) {
        SCOPED_TRACE(e.name);
        sizable s;
        move(s.window, e.x, e.y);
        press(s.window, e.x, e.y);
        win_test::move_mouse({e.far_x, e.far_y});
        win_test::pump();
        EXPECT_EQ(s.rect(), e.at_minimum);
        win_test::move_mouse({e.out_x, e.out_y});
        win_test::pump();
        EXPECT_EQ(s.rect(), e.grown);
        win_test::release_mouse({e.out_x, e.out_y});
        win_test::pump();
        // The region follows, so the grown part takes the mouse.
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        GetWindowRgn(s.window, region);
        RECT box{};
        GetRgnBox(region, &box);
        DeleteObject(region);
        EXPECT_EQ(CRect(box), CRect(0, 0, e.grown.Width(), e.grown.Height()));
        // The picture has the window's new size.
        picture p(s.window, std::string("resized-") + e.name);
        EXPECT_EQ(p.width(), e.grown.Width());
        EXPECT_EQ(p.height(), e.grown.Height());
        // Released: moving on changes nothing.
        win_test::move_mouse({e.out_x + 30, e.out_y + 30});
        win_test::pump();
        EXPECT_EQ(s.rect(), e.grown);
    }
}

TEST_F(Window, DraggingTheBodyMovesTheWindowButPressingAControlDoesNot) {
    sizable s;
    probe button;
    button.Create(&s.window, nullptr, 20, 20, 60, 40, 1, L"", 0);
    move(s.window, 150, 100);
    press(s.window, 150, 100);
    win_test::move_mouse({710, 360});
    win_test::pump();
    EXPECT_EQ(s.rect(), CRect(560, 260, 860, 460));
    release(s.window, 150, 100);
    EXPECT_FALSE(s.window.IsCapturing());

    move(s.window, 30, 30);
    press(s.window, 30, 30);
    win_test::move_mouse({900, 700});
    win_test::pump();
    EXPECT_EQ(s.rect(), CRect(560, 260, 860, 460));
    EXPECT_EQ(button.downs, 1);
    win_test::release_mouse({900, 700});
    win_test::pump();
}

TEST_F(Window, EachPlaceHasItsHitCodeAndCursor) {
    sizable s;
    probe plain, hand;
    plain.Create(&s.window, nullptr, 100, 50, 140, 70, 1, L"", 0);
    hand.Create(&s.window, nullptr, 160, 50, 200, 70, 2, L"", 0);
    hand.cursor = LoadCursorW(nullptr, IDC_HAND);
    struct place {
        int x, y, code, cursor;
    };
    const place places[] = {
        {1, 1, HTTOPLEFT, 32642},     {150, 1, HTTOP, 32645},
        {298, 1, HTTOPRIGHT, 32643},  {1, 100, HTLEFT, 32644},
        {298, 100, HTRIGHT, 32644},   {1, 198, HTBOTTOMLEFT, 32643},
        {150, 198, HTBOTTOM, 32645},  {298, 198, HTBOTTOMRIGHT, 32642},
        {150, 100, HTCAPTION, 32512}, {110, 60, HTOBJECT, 32512},
        {170, 60, HTOBJECT, 32649},
    };
    for (const place& p : places) {
        SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
        EXPECT_EQ(s.window.HitTest(CPoint(p.x, p.y)), p.code);
        move(s.window, p.x, p.y);
        EXPECT_EQ(win_test::current_cursor_id(), p.cursor);
    }
    // The control is asked with the point in its own coordinates.
    EXPECT_EQ(hand.last_point, CPoint(10, 10));
    EXPECT_EQ(s.window.HitTest(CPoint(-3, 50)), HTBORDER);
    s.window.SetRegion(CRect(0, 0, 250, 200));
    EXPECT_EQ(s.window.HitTest(CPoint(260, 100)), HTCLIENT);
}

TEST_F(Window, ThePictureIsTheFrameWithItsControlsAndKeepsTransparency) {
    const int before = CAlphaWindow::GetWindowCount();
    {
        demo::CDemoWindow window;
        ASSERT_TRUE(window.Create(CRect(1000, 500, 1400, 720), TRUE));
        EXPECT_EQ(CAlphaWindow::GetWindowCount(), before + 1);
        probe red, hidden;
        red.Create(&window, nullptr, 100, 80, 140, 100, 1, L"", 0);
        hidden.Create(&window, nullptr, 200, 80, 240, 100, 2, L"", 0);
        window.SetVisible(&hidden, FALSE, FALSE);
        // The close button's corners are transparent: the frame shows there.
        CAlphaButton close;
        close.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_NORMAL, IDB_CLOSE_NORMAL,
                     IDB_CLOSE_NORMAL, L"", 376, 4);
        // Drawing again and again blends nothing twice.
        for (int i = 0; i < 5; ++i) window.Redraw();
        picture p(window, "composed");
        ASSERT_TRUE(p.valid());
        EXPECT_EQ(p.width(), 400);
        EXPECT_EQ(p.at(120, 90).GetValue(), 0xFFC81E1Eu) << describe(p.at(120, 90));
        // Outside the rounded corner nothing; the body a translucent dark blue.
        EXPECT_EQ(p.at(0, 0).GetA(), 0) << describe(p.at(0, 0));
        const Gdiplus::Color body = p.at(220, 90);
        EXPECT_GT(body.GetA(), 200) << describe(body);
        EXPECT_LT(body.GetA(), 255) << describe(body);
        EXPECT_GT(body.GetB(), body.GetR()) << describe(body);
        const Gdiplus::Color band = p.at(360, 5);
        EXPECT_EQ(p.at(377, 5).GetValue(), band.GetValue()) << describe(p.at(377, 5));
        EXPECT_NE(p.at(386, 14).GetValue(), band.GetValue());  // the cross

        // Showing the hidden control draws it.
        window.SetVisible(&hidden, TRUE, TRUE);
        EXPECT_EQ(picture(window, "composed-shown").at(220, 90).GetValue(), 0xFFC81E1Eu);

        // Controls made while the window is hidden show with it.
        window.ShowWindow(SW_HIDE);
        probe late;
        late.Create(&window, nullptr, 300, 80, 340, 100, 3, L"", 0);
        window.ShowWindow(SW_SHOW);
        EXPECT_EQ(picture(window, "composed-late").at(320, 90).GetValue(), 0xFFC81E1Eu);
    }
    EXPECT_EQ(CAlphaWindow::GetWindowCount(), before);
}

// A message loop as the program's own: each message is offered for
// pre-translation before it is dispatched.
bool pump_with_pre_translation_until(const std::function<bool()>& done) {
    const DWORD deadline = GetTickCount() + 10000;
    while (!done()) {
        if (GetTickCount() > deadline) return false;
        MSG m;
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (CWnd::WalkPreTranslateTree(nullptr, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return true;
}

TEST_F(Window, TooltipsShowForTheHoveredControlWhenTheLoopRelays) {
    recording_window window;
    ASSERT_TRUE(window.Create(CRect(1000, 500, 1400, 720), TRUE));
    probe close, resume, stop, nameless;
    close.Create(&window, nullptr, 376, 4, 396, 24, 1001, L"Close", 0);
    // Two tools at one place: only the visible control's answers.
    resume.Create(&window, nullptr, 300, 190, 382, 208, 1003, L"Resume all", 0);
    stop.Create(&window, nullptr, 300, 190, 382, 208, 1002, L"Stop all", 0);
    nameless.Create(&window, nullptr, 10, 10, 50, 50, 1005, L"", 0);
    window.SetVisible(&resume, FALSE, TRUE);
    SendMessageW(window.GetToolTip().m_hWnd, TTM_SETDELAYTIME, TTDT_INITIAL, 10);

    const auto tools = win_test::tooltip_tools(window.GetToolTip().m_hWnd);
    ASSERT_EQ(tools.size(), 3u);  // none for the control without a text
    EXPECT_EQ(tools[1].text, L"Resume all");
    EXPECT_TRUE(IsRectEmpty(&tools[1].rect));
    EXPECT_EQ(CRect(tools[2].rect), CRect(300, 190, 382, 208));

    const HWND tips = window.GetToolTip().m_hWnd;
    win_test::move_mouse(at(window, 340, 200));
    ASSERT_TRUE(
        pump_with_pre_translation_until([&] { return !win_test::shown_tip(tips).empty(); }));
    EXPECT_EQ(win_test::shown_tip(tips), L"Stop all");
    win_test::move_mouse(at(window, 380, 10));
    ASSERT_TRUE(
        pump_with_pre_translation_until([&] { return win_test::shown_tip(tips) == L"Close"; }));

    // A moved control's tool follows it; a deleted control's tool goes.
    window.SetRect(&close, CRect(350, 4, 370, 24), FALSE);
    EXPECT_EQ(CRect(win_test::tooltip_tools(tips)[0].rect), CRect(350, 4, 370, 24));
    {
        probe gone;
        gone.Create(&window, nullptr, 0, 0, 5, 5, 1006, L"Gone", 0);
        EXPECT_EQ(win_test::tooltip_tools(tips).size(), 4u);
    }
    EXPECT_EQ(win_test::tooltip_tools(tips).size(), 3u);
}

TEST_F(Window, AChildsToolFollowsItsParent) {
    recording_window window;
    ASSERT_TRUE(window.Create(CRect(1000, 500, 1400, 720), TRUE));
    probe row, button;
    row.Create(&window, nullptr, 0, 30, 390, 60, 777, L"", 0);
    button.Create(&window, &row, 300, 5, 380, 23, 1, L"Stop", 0);
    window.SetRect(&row, CRect(0, 90, 390, 120), FALSE);
    const HWND tips = window.GetToolTip().m_hWnd;
    EXPECT_EQ(CRect(win_test::tooltip_tools(tips)[0].rect), CRect(300, 95, 380, 113));
    window.SetVisible(&row, FALSE, FALSE);
    EXPECT_TRUE(IsRectEmpty(&win_test::tooltip_tools(tips)[0].rect));
    window.SetVisible(&row, TRUE, FALSE);
    EXPECT_EQ(CRect(win_test::tooltip_tools(tips)[0].rect), CRect(300, 95, 380, 113));
}

}  // namespace
