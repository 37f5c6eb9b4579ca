// The routing of the mouse, the capture, timers and notifications through
// the control tree, and controls that go while the mouse is on them.
#include "toolkit_test_support.h"

namespace {

using namespace toolkit_test;
using Routing = ToolkitTest;

// A parent (100, 50)-(300, 150) holding a child at (20, 20)-(80, 60) of
// its own, and a second top-level control beside it.
struct tree {
    recording_window window;
    probe parent, child, other;
    tree() {
        EXPECT_TRUE(window.Create(CRect(500, 300, 900, 520), TRUE));
        parent.Create(&window, nullptr, 100, 50, 300, 150, 1, L"", 0);
        child.Create(&window, &parent, 20, 20, 80, 60, 2, L"", 0);
        other.Create(&window, nullptr, 320, 50, 380, 150, 3, L"", 0);
    }
};

TEST_F(Routing, EnterAndLeaveComeOncePerHoverAndMovesGoToTheDeepest) {
    tree t;
    move(t.window, 110, 60);
    move(t.window, 115, 65);
    EXPECT_EQ(t.parent.enters, 1);
    EXPECT_EQ(t.parent.moves, 2);
    EXPECT_EQ(t.parent.last_point, CPoint(15, 15));
    move(t.window, 130, 80);
    move(t.window, 140, 90);
    EXPECT_EQ(t.child.enters, 1);
    EXPECT_EQ(t.child.moves, 2);
    EXPECT_EQ(t.child.last_point, CPoint(20, 20));
    EXPECT_EQ(t.parent.enters, 1);
    EXPECT_EQ(t.parent.moves, 2);  // the deepest control gets the moves
    move(t.window, 110, 60);
    EXPECT_EQ(t.child.leaves, 1);
    EXPECT_EQ(t.parent.leaves, 0);
    // Straight from the child to the other control: both of the tree leave.
    move(t.window, 130, 80);
    move(t.window, 330, 60);
    EXPECT_EQ(t.child.leaves, 2);
    EXPECT_EQ(t.parent.leaves, 1);
    EXPECT_EQ(t.other.enters, 1);
    // Out of the window: the window's leave ends the hover once.
    win_test::move_mouse({100, 100});
    win_test::pump();
    EXPECT_EQ(t.other.leaves, 1);
    EXPECT_FALSE(t.other.IsHovered());
    move(t.window, 330, 60);
    EXPECT_EQ(t.other.enters, 2);
}

TEST_F(Routing, ThePressedControlKeepsTheMouseUntilTheRelease) {
    tree t;
    move(t.window, 130, 80);
    press(t.window, 130, 80);
    EXPECT_EQ(t.child.downs, 1);
    EXPECT_EQ(t.parent.downs, 0);
    EXPECT_EQ(GetCapture(), t.window.m_hWnd);
    EXPECT_EQ(t.window.GetCapturedControl(), &t.parent);
    EXPECT_TRUE(t.child.HoldsCapture());
    EXPECT_TRUE(t.parent.HoldsCapture());
    EXPECT_FALSE(t.other.HoldsCapture());
    EXPECT_EQ(t.child.GetCaptureOffsets(), CRect(10, 10, 50, 30));
    EXPECT_EQ(t.parent.GetCaptureOffsets(), CRect(30, 30, 170, 70));
    // Over the other control, and out of the window: only the child hears.
    move(t.window, 330, 60);
    EXPECT_EQ(t.other.enters, 0);
    EXPECT_EQ(t.other.moves, 0);
    EXPECT_EQ(t.child.leaves, 1);
    EXPECT_EQ(t.parent.leaves, 1);
    EXPECT_EQ(t.child.last_point, CPoint(210, -10));
    win_test::move_mouse(at(t.window, 450, 250));
    win_test::pump();
    EXPECT_EQ(t.child.last_point, CPoint(330, 180));
    // Back inside: hovered again, once.
    move(t.window, 125, 75);
    EXPECT_EQ(t.child.enters, 2);
    EXPECT_EQ(t.parent.enters, 2);
    win_test::move_mouse(at(t.window, 450, 250));
    win_test::release_mouse(at(t.window, 450, 250));
    win_test::pump();
    EXPECT_EQ(t.child.ups, 1);
    EXPECT_EQ(t.child.last_point, CPoint(330, 180));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(t.window.IsCapturing());
    EXPECT_FALSE(t.child.HoldsCapture());
}

TEST_F(Routing, HidingThePressedControlEndsThePress) {
    tree t;
    move(t.window, 130, 80);
    press(t.window, 130, 80);
    t.window.SetVisible(&t.child, FALSE, TRUE);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(t.window.IsCapturing());
    EXPECT_EQ(t.window.GetCapturedControl(), nullptr);
    EXPECT_EQ(t.child.leaves, 1);
    EXPECT_TRUE(t.parent.IsHovered());  // still under the mouse
    release(t.window, 130, 80);
    EXPECT_EQ(t.child.ups, 0);
    EXPECT_EQ(t.parent.ups, 1);  // the control under the point now

    // Hiding a parent ends its children's hover too.
    t.window.SetVisible(&t.child, TRUE, FALSE);
    move(t.window, 131, 81);
    EXPECT_TRUE(t.child.IsHovered());
    t.window.SetVisible(&t.parent, FALSE, FALSE);
    EXPECT_FALSE(t.child.IsHovered());
    EXPECT_FALSE(t.parent.IsHovered());
}

// A control holding one of its own, as a row holds its buttons.
struct row : probe {
    probe button;
};

TEST_F(Routing, DeletingControlsUnderTheMouseLeavesNothingPointingAtThem) {
    recording_window window;
    ASSERT_TRUE(window.Create(CRect(500, 300, 900, 520), TRUE));
    probe list;
    list.Create(&window, nullptr, 5, 30, 395, 190, 1004, L"", 0);
    auto first = std::make_unique<row>();
    first->Create(&window, &list, 0, 0, 390, 30, 777, L"", 0);
    first->button.Create(&window, first.get(), 300, 5, 380, 23, 1, L"Stop", 0);
    // Pressed on the row's button, the rows are rebuilt.
    move(window, 340, 45);
    press(window, 340, 45);
    EXPECT_EQ(first->button.downs, 1);
    first.reset();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(window.GetCapturedControl(), nullptr);
    EXPECT_TRUE(list.GetChildren().empty());
    auto second = std::make_unique<row>();
    second->Create(&window, &list, 0, 0, 390, 30, 777, L"", 0);
    move(window, 345, 46);
    release(window, 345, 46);
    EXPECT_EQ(second->enters, 1);
    EXPECT_EQ(second->ups, 1);
    EXPECT_EQ(list.ups, 0);

    // A control deleted by its own event: the routing stops with it.
    struct self_deleting : probe {
        std::unique_ptr<self_deleting>* owner = nullptr;
        void OnButtonDown(CPoint) override { owner->reset(); }
    };
    auto victim = std::make_unique<self_deleting>();
    victim->owner = &victim;
    victim->Create(&window, &list, 0, 40, 390, 70, 780, L"", 0);
    move(window, 100, 80);
    press(window, 100, 80);
    EXPECT_EQ(victim, nullptr);
    EXPECT_FALSE(window.IsCapturing());
    move(window, 101, 81);
    release(window, 101, 81);
    EXPECT_EQ(list.ups, 1);
}

TEST_F(Routing, TimersReachTheVisibleControlsThatAnswerToThem) {
    tree t;
    probe hidden, under_hidden, ticking;
    hidden.Create(&t.window, nullptr, 0, 160, 50, 200, 4, L"", 0);
    under_hidden.Create(&t.window, &hidden, 0, 0, 10, 10, 5, L"", 0);
    t.window.SetVisible(&hidden, FALSE, FALSE);
    ticking.Create(&t.window, nullptr, 60, 160, 90, 200, 6, L"", 0);

    t.window.SetTimer(1000000777, 500);
    ASSERT_TRUE(win_test::fire_timer(t.window, 1000000777));
    win_test::pump();
    const std::vector<UINT_PTR> shared{1000000777};
    EXPECT_EQ(t.parent.timers, shared);
    EXPECT_EQ(t.child.timers, shared);
    EXPECT_EQ(t.other.timers, shared);
    EXPECT_EQ(ticking.timers, shared);
    EXPECT_TRUE(hidden.timers.empty());
    EXPECT_TRUE(under_hidden.timers.empty());

    t.window.SetTimer(2, 500);
    ASSERT_TRUE(win_test::fire_timer(t.window, 2));
    win_test::pump();
    EXPECT_EQ(t.child.timers, (std::vector<UINT_PTR>{1000000777, 2}));
    EXPECT_EQ(t.parent.timers, shared);
    EXPECT_EQ(t.other.timers, shared);

    // A control that goes takes its timer along.
    {
        probe brief;
        brief.Create(&t.window, nullptr, 0, 0, 1, 1, 7, L"", 0);
        t.window.SetTimer(7, 500);
    }
    EXPECT_FALSE(win_test::fire_timer(t.window, 7));
}

TEST_F(Routing, NotificationsRiseThroughTheAncestorsToTheWindow) {
    tree t;
    probe grandchild;
    grandchild.Create(&t.window, &t.child, 0, 0, 10, 10, 8, L"", 0);
    t.parent.consumes = WM_VSCROLL;
    EXPECT_EQ(t.window.Notify(&grandchild, WM_VSCROLL, 5, 0), 1);
    EXPECT_TRUE(t.window.scrolls.empty());
    t.parent.consumes = 0;
    t.child.consumes = WM_COMMAND;
    t.window.Notify(&grandchild, WM_VSCROLL, 6, 0);
    EXPECT_EQ(t.window.scrolls, std::vector<int>{6});
    // A control's own OnNotify is not asked: only its ancestors.
    t.window.Notify(&t.child, WM_COMMAND, 9, 0);
    EXPECT_EQ(t.window.commands, std::vector<int>{9});

    // An ancestor rebuilt while it is asked: the others are still asked.
    struct rebuilt : probe {
        std::unique_ptr<rebuilt>* owner = nullptr;
        LRESULT OnNotify(UINT, WPARAM, LPARAM) override {
            owner->reset();
            return 0;
        }
    };
    probe leaf;
    auto middle = std::make_unique<rebuilt>();
    middle->owner = &middle;
    middle->Create(&t.window, &t.parent, 0, 0, 10, 10, 9, L"", 0);
    leaf.Create(&t.window, middle.get(), 0, 0, 5, 5, 10, L"", 0);
    t.parent.consumes = WM_COMMAND;
    EXPECT_EQ(t.window.Notify(&leaf, WM_COMMAND, 11, 0), 1);
    EXPECT_EQ(middle, nullptr);
    EXPECT_EQ(leaf.GetParent(), nullptr);
    EXPECT_EQ(t.window.commands, std::vector<int>{9});
}

TEST_F(Routing, TheWheelGoesFromTheDeepestControlUpwards) {
    tree t;
    t.parent.wheel_answer = TRUE;
    win_test::wheel(at(t.window, 130, 80), -120);
    win_test::pump();
    EXPECT_EQ(t.child.wheels, 1);
    EXPECT_EQ(t.parent.wheels, 1);
    EXPECT_EQ(t.child.last_point, CPoint(10, 10));
    t.child.wheel_answer = TRUE;
    win_test::wheel(at(t.window, 130, 80), 120);
    win_test::pump();
    EXPECT_EQ(t.child.wheels, 2);
    EXPECT_EQ(t.parent.wheels, 1);
}

TEST_F(Routing, ADoubleClickGoesToTheDeepestControl) {
    tree t;
    move(t.window, 130, 80);
    win_test::double_click(at(t.window, 130, 80));
    win_test::pump();
    EXPECT_EQ(t.child.double_clicks, 1);
    EXPECT_EQ(t.parent.double_clicks, 0);
}

}  // namespace
