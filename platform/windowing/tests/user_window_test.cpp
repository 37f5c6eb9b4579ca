#include <string>

#include "user_test_support.h"

namespace {

using user_test::test_window;
using Windows = user_test::UserTest;

TEST_F(Windows, CreationSendsItsMessagesInOrderAndRefusalUndoesIt) {
    test_window w(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(IsWindow(w.hwnd()));
    const std::vector<UINT> order =
        w.messages({WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_WINDOWPOSCHANGED});
    EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW,
                                        WM_WINDOWPOSCHANGED}));
    EXPECT_EQ(win_test::text(w.hwnd()), L"test");

    test_window refused(
        test_window::with().reacting([](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_CREATE) return -1;
            return std::nullopt;
        }));
    EXPECT_EQ(refused.hwnd(), nullptr);
    EXPECT_EQ(refused.messages({WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));

    EXPECT_EQ(
        CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(CreateWindowExW(0, WC_STATICW, L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
}

TEST_F(Windows, ClassesAreFoundWithoutRegardToCaseAndRegisteredOnce) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.cbWndExtra = 16;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Calvimora tray menu";
    const ATOM atom = RegisterClassExW(&wc);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    const HWND by_name = CreateWindowExW(0, L"CALVIMORA TRAY MENU", L"Calvimora tray menu", 0,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                         nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(by_name, nullptr);
    const HWND by_atom = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                         nullptr, wc.hInstance, nullptr);
    ASSERT_NE(by_atom, nullptr);
    EXPECT_EQ(win_test::class_name(by_atom), L"Calvimora tray menu");
    EXPECT_EQ(FindWindowW(L"Calvimora tray menu", L"Calvimora tray menu"), by_name);
    // Default position and size for an overlapped window, which gets a
    // caption as such windows always do.
    const RECT r = win_test::window_rect(by_name);
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_EQ(GetWindowLongW(by_name, GWL_STYLE) & WS_CAPTION, static_cast<LONG>(WS_CAPTION));

    EXPECT_FALSE(UnregisterClassW(L"Calvimora tray menu", wc.hInstance));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(by_name);
    DestroyWindow(by_atom);
    EXPECT_TRUE(UnregisterClassW(L"calvimora tray menu", wc.hInstance));
    // The dialog class is there from the start, by name and by atom.
    WNDCLASSEXW dialog{};
    dialog.cbSize = sizeof dialog;
    EXPECT_TRUE(GetClassInfoExW(nullptr, L"#32770", &dialog));
    EXPECT_GE(dialog.cbWndExtra, DWLP_USER + static_cast<int>(sizeof(LONG_PTR)));
    EXPECT_TRUE(GetClassInfoExW(nullptr, WC_DIALOG, &dialog));
}

TEST_F(Windows, DestructionGoesOwnedFirstThenParentsBeforeChildrenThenChildrenBeforeParents) {
    std::vector<std::pair<std::wstring, UINT>> order;
    std::vector<bool> child_alive_in_parent_destroy;
    auto recorder = [&](const wchar_t* name) {
        return [&, name](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_DESTROY || m == WM_NCDESTROY) order.emplace_back(name, m);
            return std::nullopt;
        };
    };
    auto parent = std::make_unique<test_window>(test_window::with().reacting(recorder(L"parent")));
    test_window child(test_window::with()
                          .styled(WS_CHILD | WS_VISIBLE)
                          .child_of(parent->hwnd(), 1)
                          .at({0, 0, 50, 50})
                          .reacting(recorder(L"child")));
    test_window grandchild(test_window::with()
                               .styled(WS_CHILD | WS_VISIBLE)
                               .child_of(child.hwnd(), 2)
                               .at({0, 0, 10, 10})
                               .reacting(recorder(L"grandchild")));
    test_window owned(
        test_window::with().styled(WS_POPUP).owned_by(child.hwnd()).reacting(recorder(L"owned")));
    EXPECT_EQ(GetParent(child.hwnd()), parent->hwnd());
    EXPECT_EQ(GetParent(owned.hwnd()), parent->hwnd());  // owners are top-level windows
    parent->set_reaction([&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_DESTROY) child_alive_in_parent_destroy.push_back(IsWindow(child.hwnd()));
        if (m == WM_DESTROY || m == WM_NCDESTROY) order.emplace_back(L"parent", m);
        return std::nullopt;
    });
    const HWND child_handle = child.hwnd();
    EXPECT_TRUE(DestroyWindow(parent->hwnd()));
    const std::vector<std::pair<std::wstring, UINT>> expected{
        {L"owned", WM_DESTROY},   {L"owned", WM_NCDESTROY},    {L"parent", WM_DESTROY},
        {L"child", WM_DESTROY},   {L"grandchild", WM_DESTROY}, {L"grandchild", WM_NCDESTROY},
        {L"child", WM_NCDESTROY}, {L"parent", WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(child_alive_in_parent_destroy, std::vector<bool>{true});
    EXPECT_FALSE(IsWindow(child_handle));
    EXPECT_FALSE(IsWindow(owned.hwnd()));
    EXPECT_FALSE(DestroyWindow(child_handle));
}

TEST_F(Windows, OnlyTheOwningThreadDestroysAWindow) {
    test_window w;
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread([&] {
        destroyed = DestroyWindow(w.hwnd());
        error = GetLastError();
    }).join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(w.hwnd()));
}

std::vector<std::string> chain;
WNDPROC original_procedure = nullptr, first_subclass_next = nullptr, second_subclass_next = nullptr;

LRESULT CALLBACK first_subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SETTEXT) chain.push_back("first");
    return CallWindowProcW(first_subclass_next, h, m, w, l);
}
LRESULT CALLBACK second_subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SETTEXT) chain.push_back("second");
    if (m == WM_GETTEXTLENGTH) return 99;  // answers without the rest of the chain
    return CallWindowProcW(second_subclass_next, h, m, w, l);
}

TEST_F(Windows, SubclassesFormAChainThroughCallWindowProc) {
    test_window w(
        test_window::with().reacting([](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_SETTEXT) chain.push_back("original");
            return std::nullopt;
        }));
    original_procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC));
    first_subclass_next = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(first_subclass)));
    second_subclass_next = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(second_subclass)));
    EXPECT_EQ(first_subclass_next, original_procedure);
    EXPECT_EQ(second_subclass_next, first_subclass);

    EXPECT_TRUE(SetWindowTextW(w.hwnd(), L"renamed"));
    EXPECT_EQ(chain, (std::vector<std::string>{"second", "first", "original"}));
    EXPECT_EQ(win_test::text(w.hwnd()), L"renamed");
    EXPECT_EQ(GetWindowTextLengthW(w.hwnd()), 99);
    wchar_t buffer[4];
    EXPECT_EQ(GetWindowTextW(w.hwnd(), buffer, 4), 3);
    EXPECT_EQ(std::wstring(buffer), L"ren");
    SetWindowLongPtrW(w.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_procedure));
}

TEST_F(Windows, LongsCoverStylesUserDataAndTheClassesExtraBytes) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.cbWndExtra = 2 * sizeof(LONG_PTR);
    wc.lpszClassName = L"WithExtraBytes";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    const HWND w = CreateWindowExW(0, L"WithExtraBytes", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SetWindowLongPtrW(w, sizeof(LONG_PTR), 1234), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, sizeof(LONG_PTR)), 1234);
    EXPECT_EQ(GetWindowLongPtrW(w, 0), 0);
    EXPECT_EQ(SetWindowLongPtrW(w, sizeof(LONG_PTR) + 1, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrW(w, -100), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

    SetWindowLongPtrW(w, GWLP_USERDATA, 77);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 77);
    SetWindowLongW(w, GWL_STYLE, GetWindowLongW(w, GWL_STYLE) | WS_DISABLED);
    EXPECT_FALSE(IsWindowEnabled(w));
    DestroyWindow(w);
}

TEST_F(Windows, TopmostFollowsSetWindowPosAndKeepsItsBand) {
    test_window normal(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    test_window layered(test_window::with().styled(
        WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
    EXPECT_TRUE(win_test::topmost(layered.hwnd()));
    test_window later(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    // A new normal window goes below the topmost band.
    auto order = win_test::top_level_windows();
    auto position = [&](HWND h) {
        return std::find(order.begin(), order.end(), h) - order.begin();
    };
    EXPECT_LT(position(layered.hwnd()), position(later.hwnd()));
    EXPECT_LT(position(later.hwnd()), position(normal.hwnd()));

    // The extended style's bit alone does not move a window out of the band.
    SetWindowLongW(layered.hwnd(), GWL_EXSTYLE,
                   GetWindowLongW(layered.hwnd(), GWL_EXSTYLE) & ~static_cast<LONG>(WS_EX_TOPMOST));
    EXPECT_TRUE(win_test::topmost(layered.hwnd()));
    EXPECT_TRUE(SetWindowPos(layered.hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_FALSE(win_test::topmost(layered.hwnd()));
    order = win_test::top_level_windows();
    EXPECT_LT(position(layered.hwnd()), position(later.hwnd()));
    EXPECT_TRUE(SetWindowPos(normal.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    order = win_test::top_level_windows();
    EXPECT_EQ(order.front(), normal.hwnd());
    EXPECT_TRUE(SetWindowPos(normal.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(win_test::top_level_windows().back(), normal.hwnd());
    EXPECT_FALSE(win_test::topmost(normal.hwnd()));
}

TEST_F(Windows, AnOwnerMovedInTheOrderKeepsItsOwnedWindowsAboveItAndInItsBand) {
    test_window owner(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    test_window owned(test_window::with().styled(WS_POPUP | WS_VISIBLE).owned_by(owner.hwnd()));
    test_window other(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    auto position = [](HWND h) {
        const auto order = win_test::top_level_windows();
        return std::find(order.begin(), order.end(), h) - order.begin();
    };
    EXPECT_TRUE(SetWindowPos(owner.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_LT(position(owned.hwnd()), position(owner.hwnd()));
    EXPECT_LT(position(owner.hwnd()), position(other.hwnd()));
    EXPECT_TRUE(SetWindowPos(owner.hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(win_test::top_level_windows().front(), owned.hwnd());
    EXPECT_TRUE(win_test::topmost(owned.hwnd()));
    EXPECT_TRUE(SetWindowPos(owner.hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(win_test::top_level_windows().back(), owner.hwnd());
    EXPECT_LT(position(other.hwnd()), position(owned.hwnd()));
    EXPECT_FALSE(win_test::topmost(owned.hwnd()));
}

TEST_F(Windows, PositionChangesAskFirstAndReportMovesAndSizesOnlyWhenTheyHappen) {
    test_window w(test_window::with().styled(WS_POPUP).at({10, 20, 110, 120}));
    w.set_reaction([](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_WINDOWPOSCHANGING) {
            auto* pos = reinterpret_cast<WINDOWPOS*>(l);
            pos->cx = std::min(pos->cx, 300);  // a maximum width
        }
        return std::nullopt;
    });
    w.clear();
    EXPECT_TRUE(SetWindowPos(w.hwnd(), nullptr, 50, 60, 500, 200, SWP_NOZORDER));
    EXPECT_EQ(w.messages({WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE, WM_MOVE}));
    const RECT r = win_test::window_rect(w.hwnd());
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right, 350);
    EXPECT_EQ(r.bottom, 260);
    const auto log = w.log();
    const auto size =
        std::find_if(log.begin(), log.end(), [](auto& e) { return e.message == WM_SIZE; });
    ASSERT_NE(size, log.end());
    EXPECT_EQ(size->lparam, MAKELPARAM(300, 200));

    w.clear();
    EXPECT_TRUE(MoveWindow(w.hwnd(), 70, 60, 300, 200, TRUE));
    EXPECT_EQ(w.count(WM_MOVE), 1u);
    EXPECT_EQ(w.count(WM_SIZE), 0u);
    w.clear();
    EXPECT_TRUE(
        SetWindowPos(w.hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER));
    EXPECT_EQ(w.count(WM_MOVE) + w.count(WM_SIZE), 0u);
}

TEST_F(Windows, ShowingAndHidingReportTheChange) {
    test_window w(test_window::with().styled(WS_POPUP));
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    EXPECT_FALSE(ShowWindow(w.hwnd(), SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
    EXPECT_EQ(GetActiveWindow(), w.hwnd());
    EXPECT_TRUE(ShowWindow(w.hwnd(), SW_SHOW));
    test_window child(test_window::with().styled(WS_CHILD | WS_VISIBLE).child_of(w.hwnd(), 5));
    EXPECT_TRUE(IsWindowVisible(child.hwnd()));
    EXPECT_TRUE(ShowWindow(w.hwnd(), SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(child.hwnd()));  // a hidden parent hides its children
    EXPECT_NE(GetActiveWindow(), w.hwnd());
    EXPECT_EQ(w.messages({WM_SHOWWINDOW}).size(), 2u);
}

TEST_F(Windows, RectanglesAndCoordinatesFollowTheFrameAndTheParents) {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    test_window w(test_window::with().styled(style, WS_EX_DLGMODALFRAME).at({100, 50, 500, 350}));
    RECT client = win_test::client_rect(w.hwnd());
    RECT adjusted = client;
    AdjustWindowRectEx(&adjusted, style, FALSE, WS_EX_DLGMODALFRAME);
    const RECT window = win_test::window_rect(w.hwnd());
    EXPECT_EQ(adjusted.right - adjusted.left, window.right - window.left);
    EXPECT_EQ(adjusted.bottom - adjusted.top, window.bottom - window.top);
    EXPECT_LT(client.bottom, 300);  // the caption takes its part

    test_window child(test_window::with()
                          .styled(WS_CHILD | WS_VISIBLE)
                          .child_of(w.hwnd(), 1052)
                          .at({10, 20, 60, 40}));
    POINT p{0, 0};
    ClientToScreen(child.hwnd(), &p);
    POINT origin{0, 0};
    ClientToScreen(w.hwnd(), &origin);
    EXPECT_EQ(p.x, origin.x + 10);
    EXPECT_EQ(p.y, origin.y + 20);
    ScreenToClient(w.hwnd(), &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    POINT points[2] = {{0, 0}, {5, 5}};
    EXPECT_EQ(MapWindowPoints(child.hwnd(), w.hwnd(), points, 2), MAKELONG(10, 20));
    EXPECT_EQ(points[1].x, 15);
    EXPECT_EQ(points[1].y, 25);

    EXPECT_EQ(GetDlgItem(w.hwnd(), 1052), child.hwnd());
    EXPECT_EQ(GetDlgCtrlID(child.hwnd()), 1052);
    EXPECT_EQ(GetDlgItem(w.hwnd(), 1051), nullptr);
    EXPECT_TRUE(IsChild(w.hwnd(), child.hwnd()));
}

TEST_F(Windows, DisablingReportsThePreviousStateAndTakesTheFocus) {
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE));
    test_window child(test_window::with().styled(WS_CHILD | WS_VISIBLE).child_of(w.hwnd(), 1));
    SetFocus(child.hwnd());
    ASSERT_EQ(GetFocus(), child.hwnd());
    EXPECT_FALSE(EnableWindow(child.hwnd(), FALSE));
    EXPECT_TRUE(EnableWindow(child.hwnd(), FALSE));
    EXPECT_NE(GetFocus(), child.hwnd());
    EXPECT_EQ(child.count(WM_ENABLE), 1u);
    EXPECT_EQ(SetFocus(child.hwnd()), nullptr);  // a disabled window takes no focus
    EXPECT_TRUE(EnableWindow(child.hwnd(), TRUE));
    EXPECT_TRUE(IsWindowEnabled(child.hwnd()));
}

}  // namespace
