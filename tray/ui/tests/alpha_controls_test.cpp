// The alpha controls: the button's click, the scroll bar's parts and
// drag, and the list's geometry, scrolling and groups.
#include <algorithm>

#include "demo/demo_controls.h"
#include "toolkit_test_support.h"
#include "ui/alpha_button.h"
#include "ui/alpha_scroll_bar.h"
#include "ui/resource_ids.h"

namespace {

using namespace toolkit_test;
using Controls = ToolkitTest;

// A 20 by 20 button at (100, 50).
struct button_window {
    recording_window window;
    CAlphaButton button;
    button_window() {
        EXPECT_TRUE(window.Create(CRect(500, 300, 900, 520), TRUE));
        button.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED,
                      IDB_CLOSE_PRESSED, IDB_CLOSE_DISABLED, L"", 100, 50);
    }
    void click(int x, int y, int release_x, int release_y) {
        move(window, x, y);
        press(window, x, y);
        move(window, release_x, release_y);
        release(window, release_x, release_y);
    }
};

TEST_F(Controls, AButtonClicksOnlyWhenPressedAndReleasedOnIt) {
    button_window b;
    b.click(110, 60, 112, 62);
    EXPECT_EQ(b.window.commands, std::vector<int>{1001});
    b.click(110, 60, 150, 60);  // released outside
    b.click(150, 60, 110, 60);  // pressed outside
    EXPECT_EQ(b.window.commands.size(), 1u);

    // Out and back in before the release still clicks; the press shows
    // while held, outside too.
    move(b.window, 110, 60);
    press(b.window, 110, 60);
    EXPECT_EQ(b.button.GetState(), CAlphaButton::state_hovered | CAlphaButton::state_pressed);
    move(b.window, 150, 60);
    EXPECT_EQ(b.button.GetState(), CAlphaButton::state_pressed);
    move(b.window, 111, 61);
    release(b.window, 111, 61);
    EXPECT_EQ(b.window.commands.size(), 2u);
    EXPECT_EQ(b.button.GetState(), CAlphaButton::state_hovered);

    b.button.Enable(FALSE);
    b.click(110, 60, 110, 60);
    EXPECT_EQ(b.window.commands.size(), 2u);
    b.button.Enable(TRUE);
    // A double click is a press: with the release it clicks again.
    move(b.window, 110, 60);
    win_test::double_click(at(b.window, 110, 60));
    win_test::pump();
    EXPECT_EQ(b.window.commands.size(), 4u);
}

TEST_F(Controls, AButtonLeftWithoutTheCaptureForgetsItsPress) {
    button_window b;
    move(b.window, 110, 60);
    press(b.window, 110, 60);
    // The window's capture is taken away (a box opens, the window hides).
    ReleaseCapture();
    win_test::pump();
    move(b.window, 150, 60);
    EXPECT_EQ(b.button.GetState(), 0);
    move(b.window, 110, 60);
    release(b.window, 110, 60);
    EXPECT_TRUE(b.window.commands.empty());
}

TEST_F(Controls, AButtonMayBeDeletedByItsOwnClick) {
    recording_window window;
    ASSERT_TRUE(window.Create(CRect(500, 300, 900, 520), TRUE));
    auto button = std::make_unique<CAlphaButton>();
    button->Create(&window, nullptr, 1002, IDB_BUTTON_STOP, IDB_BUTTON_STOP, IDB_BUTTON_STOP,
                   IDB_BUTTON_STOP, L"Stop all", 300, 190);
    window.on_command = [&](int) { button.reset(); };
    move(window, 320, 195);
    press(window, 320, 195);
    release(window, 320, 195);
    EXPECT_EQ(window.commands, std::vector<int>{1002});
    EXPECT_EQ(button, nullptr);
    move(window, 321, 196);
}

// A bar 16 wide and 200 high: arrows of 16, a track of 168.
struct fixed_bar : CAlphaVScrollBar {
    int GetBarWidth() override { return 16; }
};

struct bar_window {
    recording_window window;
    fixed_bar bar;
    bar_window() {
        EXPECT_TRUE(window.Create(CRect(500, 300, 900, 520), TRUE));
        bar.Create(&window, nullptr, 300, 10, 316, 210, 776, L"", 0);
    }
    // A window point at the bar's y.
    void press_at(int y) {
        move(window, 308, 10 + y);
        press(window, 308, 10 + y);
    }
    void release_at(int y) { release(window, 308, 10 + y); }
};

TEST_F(Controls, TheScrollBarsPartsMoveItsPositionWithinItsRange) {
    bar_window b;
    b.bar.SetScrollInfo(100, 10, 1, 0);
    EXPECT_EQ(b.bar.GetThumbLength(b.bar.GetTrackLength()), 16);  // 168 * 10 / 100 is shorter
    EXPECT_EQ(b.bar.HitTest(CPoint(8, 5)), CAlphaVScrollBar::hit_up);
    EXPECT_EQ(b.bar.HitTest(CPoint(8, 20)), CAlphaVScrollBar::hit_thumb);
    EXPECT_EQ(b.bar.HitTest(CPoint(8, 100)), CAlphaVScrollBar::hit_track_below);
    EXPECT_EQ(b.bar.HitTest(CPoint(8, 195)), CAlphaVScrollBar::hit_down);

    b.press_at(5);  // the up arrow at 0 changes nothing
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_press_up);
    b.release_at(5);
    EXPECT_TRUE(b.window.scrolls.empty());
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_hover_up);
    b.press_at(195);
    b.release_at(195);
    b.press_at(100);
    b.release_at(100);
    EXPECT_EQ(b.window.scrolls, (std::vector<int>{1, 11}));
    EXPECT_EQ(b.bar.GetThumbTop(), 16 + 152 * 11 / 90);
    b.press_at(20);  // the track above the thumb
    b.release_at(20);
    EXPECT_EQ(b.bar.GetPosition(), 1);
    // The wheel: a notch of 120 is three lines; never past the end.
    win_test::wheel(at(b.window, 308, 100), -120);
    win_test::pump();
    EXPECT_EQ(b.bar.GetPosition(), 4);
    b.bar.SetScrollInfo(100, 10, 25, 85);
    win_test::wheel(at(b.window, 308, 100), -120);
    win_test::pump();
    EXPECT_EQ(b.bar.GetPosition(), 90);
    b.press_at(195);
    b.release_at(195);
    EXPECT_EQ(b.window.scrolls.back(), 90);

    // Hover states follow the pointer and end when it leaves.
    move(b.window, 308, 10 + 195);
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_hover_down);
    move(b.window, 250, 100);
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_idle);
}

TEST_F(Controls, TheThumbFollowsTheDragAndStaysWhenItFillsTheTrack) {
    bar_window b;
    b.bar.SetScrollInfo(100, 10, 1, 0);
    b.press_at(24);  // 8 below the thumb's top
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_drag_thumb);
    move(b.window, 308, 10 + 24 + 76);
    EXPECT_EQ(b.bar.GetPosition(), 45);  // half of the room of 152, half of 90
    move(b.window, 308, 500);
    EXPECT_EQ(b.bar.GetPosition(), 90);
    move(b.window, 308, -100);
    EXPECT_EQ(b.bar.GetPosition(), 0);
    b.release_at(24);
    EXPECT_EQ(b.window.scrolls, (std::vector<int>{45, 90, 0}));

    // The page holds the whole range: the thumb fills the track.
    b.bar.SetScrollInfo(100, 100, 1, 0);
    EXPECT_EQ(b.bar.GetThumbLength(b.bar.GetTrackLength()), 168);
    b.press_at(100);
    EXPECT_EQ(b.bar.GetState(), CAlphaVScrollBar::state_drag_thumb);
    move(b.window, 308, 150);
    b.release_at(140);
    EXPECT_EQ(b.bar.GetPosition(), 0);
    EXPECT_EQ(b.window.scrolls.size(), 3u);

    // Content shorter than the page: the position stays at 0, not below.
    b.bar.SetScrollInfo(50, 100, 1, 30);
    EXPECT_EQ(b.bar.GetPosition(), 0);
    b.press_at(195);
    b.release_at(195);
    EXPECT_EQ(b.bar.GetPosition(), 0);
    EXPECT_EQ(b.window.scrolls.size(), 3u);
}

// A demo list of 390 by 190 inside a demo window.
struct list_window {
    demo::CDemoWindow window;
    demo::CDemoList list;
    list_window() {
        EXPECT_TRUE(window.Create(CRect(1000, 500, 1400, 720), TRUE));
        list.Create(&window, nullptr, 5, 30, 395, 192, 1004, L"", 0);
    }
    void rows(int count) {
        std::vector<CAlphaRowKey> keys;
        for (int i = 0; i < count; ++i)
            keys.push_back(demo::demo_row{L"file " + std::to_wstring(i), i * 5, i % 2 == 0});
        list.SetRows(keys, {}, TRUE);
    }
    CRect place_of(size_t row) const { return list.GetRows()[row]->GetRect(); }
};

TEST_F(Controls, AShortListHidesItsScrollBarAndKeepsItsOffsetAtZero) {
    list_window l;
    l.rows(3);
    EXPECT_FALSE(l.list.GetScrollBar()->IsVisible());
    l.list.ScrollTo(50);
    EXPECT_EQ(l.list.GetScrollOffset(), 0);
    EXPECT_EQ(l.place_of(0), CRect(0, 0, 388, 30));
    EXPECT_EQ(l.place_of(2), CRect(0, 60, 388, 90));
    EXPECT_EQ(l.list.GetScrollBar()->GetPosition(), 0);
    win_test::wheel(at(l.window, 100, 60), -120);
    win_test::pump();
    EXPECT_EQ(l.list.GetScrollOffset(), 0);
    // Nothing drawn where the bar's down arrow would be.
    l.window.Redraw();
    const picture p(l.window, "short-list");
    EXPECT_EQ(p.at(392, 189).GetValue(), p.at(385, 189).GetValue()) << describe(p.at(392, 189));
}

TEST_F(Controls, ALongListShowsItsBarAndScrollsByTheWheelToItsEnd) {
    list_window l;
    l.rows(20);  // 600 high in 162
    CAlphaVScrollBar* bar = l.list.GetScrollBar();
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(bar->GetRect(), CRect(384, 0, 390, 162));
    EXPECT_EQ(l.place_of(0), CRect(0, 0, 378, 30));  // 6 short of the bar
    EXPECT_FALSE(l.list.GetRows()[6]->IsVisible());
    EXPECT_EQ(bar->GetRange(), 600);
    EXPECT_EQ(bar->GetPage(), 162);
    EXPECT_EQ(bar->GetLine(), 25);

    win_test::wheel(at(l.window, 100, 60), -120);
    win_test::pump();
    EXPECT_EQ(l.list.GetScrollOffset(), 75);
    EXPECT_FALSE(l.list.GetRows()[1]->IsVisible());
    EXPECT_EQ(l.place_of(2), CRect(0, -15, 378, 15));
    EXPECT_EQ(bar->GetPosition(), 75);
    for (int notch = 0; notch < 10; ++notch) win_test::wheel(at(l.window, 100, 60), -120);
    win_test::pump();
    EXPECT_EQ(l.list.GetScrollOffset(), 600 - 162);
    EXPECT_EQ(l.place_of(19), CRect(0, 132, 378, 162));
    win_test::wheel(at(l.window, 100, 60), 120);
    win_test::pump();
    EXPECT_EQ(l.list.GetScrollOffset(), 600 - 162 - 75);

    // Dragging the thumb scrolls the list with it.
    l.list.ScrollTo(0);
    l.window.Redraw();
    const CRect thumb =
        l.window.ControlToWindow(bar, CRect(0, bar->GetThumbTop(), 6, bar->GetThumbTop() + 4));
    move(l.window, thumb.left + 3, thumb.top + 1);
    press(l.window, thumb.left + 3, thumb.top + 1);
    move(l.window, thumb.left + 3, thumb.top + 1 + 60);
    release(l.window, thumb.left + 3, thumb.top + 1 + 60);
    EXPECT_GT(l.list.GetScrollOffset(), 150);
    EXPECT_EQ(l.list.GetScrollOffset(), bar->GetPosition());
    // The bar is drawn at the right edge: its down arrow over the body.
    const picture p(l.window, "long-list");
    EXPECT_NE(p.at(392, 189).GetValue(), p.at(385, 189).GetValue()) << describe(p.at(392, 189));
}

TEST_F(Controls, GroupKeysInAnyOrderEndInOneGroupEach) {
    list_window l;
    auto row = [](const wchar_t* name) { return CAlphaRowKey(demo::demo_row{name, 50, true}); };
    auto group = [](const wchar_t* folder) { return CAlphaRowKey(std::wstring(folder)); };
    l.list.SetRows(
        {row(L"a1"), row(L"b1"), row(L"a2"), row(L"plain"), row(L"b2"), row(L"a3")},
        {group(L"A"), group(L"B"), group(L"A"), CAlphaRowKey(), group(L"B"), group(L"A")}, TRUE);
    const auto& rows = l.list.GetRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(l.list.RowCount(), 6);
    auto* a = dynamic_cast<demo::CDemoGroup*>(rows[0].get());
    auto* b = dynamic_cast<demo::CDemoGroup*>(rows[1].get());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Folder(), L"A");
    EXPECT_EQ(b->Folder(), L"B");
    EXPECT_TRUE(rows[2]->IsPlainRow());
    std::vector<std::wstring> in_a;
    for (const auto& child : a->GetRows())
        in_a.push_back(static_cast<demo::CDemoRow*>(child.get())->Row().name);
    EXPECT_EQ(in_a, (std::vector<std::wstring>{L"a1", L"a2", L"a3"}));
    EXPECT_EQ(b->GetChildCount(), 2);
    // Stacked under the header at the indents, each with its own id.
    EXPECT_EQ(a->GetHeight(), 30 + 3 + 3 * 30);
    EXPECT_EQ(a->GetRows()[1]->GetRect(), CRect(5, 60, a->GetRect().Width() - 5, 90));
    EXPECT_EQ(a->GetRows()[1]->GetData(), 1);
    std::vector<int> ids{a->GetId(), b->GetId(), rows[2]->GetId()};
    for (const auto* g : {a, b})
        for (const auto& child : g->GetRows()) ids.push_back(child->GetId());
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids.front(), 777);
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_NE(b->FindChild(row(L"b2")), nullptr);
    b->Remove(row(L"b1"));
    EXPECT_EQ(b->GetChildCount(), 1);
    EXPECT_EQ(b->GetRows()[0]->GetRect().top, 30);
}

TEST_F(Controls, RowsRebuiltUnderAPressLeaveNoCaptureBehind) {
    list_window l;
    l.rows(5);
    move(l.window, 100, 45);
    press(l.window, 100, 45);
    EXPECT_TRUE(l.list.HoldsCapture());
    l.rows(5);
    EXPECT_FALSE(l.window.IsCapturing());
    EXPECT_EQ(GetCapture(), nullptr);
    move(l.window, 100, 46);
    release(l.window, 100, 46);
    EXPECT_EQ(l.list.RowCount(), 5);
}

}  // namespace
