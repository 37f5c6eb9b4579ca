// The question box, asked on a thread of its own as the engine's scan
// thread asks it, and answered by scripts inside its modal loop.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "toolkit_test_support.h"
#include "ui/resource_ids.h"
#include "ui/yes_no_message_box.h"

namespace {

using namespace toolkit_test;
using QuestionBox = ToolkitTest;

struct answer {
    INT_PTR button = 0;
    int apply_to_all = -1;
    int dont_ask_again = -1;
};

answer ask_on_a_thread(CYesNoMessageBox& box, bool show_apply_to_all, bool show_dont_ask) {
    answer out;
    std::thread asker([&] {
        out.button = box.Ask(L"Calvimora synchronizer", L"File 'a.txt' exists on local drive.",
                             show_apply_to_all, show_dont_ask);
        out.apply_to_all = box.m_applyToAll;
        out.dont_ask_again = box.m_dontAskAgain;
    });
    asker.join();
    return out;
}

HWND item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

TEST_F(QuestionBox, WithBothBoxesHiddenItAnswersOnlyYesOrNo) {
    CYesNoMessageBox box;
    std::wstring caption, text;
    bool apply_shown = true, dont_ask_shown = true;
    int button = IDOK;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        caption = win_test::text(dialog);
        text = win_test::text(item(dialog, IDC_YESNO_MESSAGE));
        apply_shown = win_test::visible(item(dialog, IDC_YESNO_APPLY_TO_ALL));
        dont_ask_shown = win_test::visible(item(dialog, IDC_YESNO_DONT_ASK));
        win_test::press(dialog, button);
    });
    const answer yes = ask_on_a_thread(box, false, false);
    EXPECT_EQ(yes.button, IDOK);
    EXPECT_EQ(yes.apply_to_all, 0);
    EXPECT_EQ(yes.dont_ask_again, 0);
    EXPECT_EQ(caption, L"Calvimora synchronizer");
    EXPECT_EQ(text, L"File 'a.txt' exists on local drive.");
    EXPECT_FALSE(apply_shown);
    EXPECT_FALSE(dont_ask_shown);
    button = IDCANCEL;
    const answer no = ask_on_a_thread(box, false, false);
    EXPECT_EQ(no.button, IDCANCEL);
    EXPECT_EQ(no.apply_to_all, 0);
    EXPECT_EQ(no.dont_ask_again, 0);
}

TEST_F(QuestionBox, DontAskAgainClearsAndDisablesApplyToAll) {
    CYesNoMessageBox box;
    std::vector<int> clicks;
    bool apply_checked_after = true, apply_enabled_after = true, apply_enabled_again = false;
    bool started_cleared = false;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        started_cleared = !win_test::checked(item(dialog, IDC_YESNO_APPLY_TO_ALL)) &&
                          !win_test::checked(item(dialog, IDC_YESNO_DONT_ASK));
        for (size_t i = 0; i + 1 < clicks.size(); ++i) win_test::press(dialog, clicks[i]);
        if (clicks.size() > 2) {
            apply_checked_after = win_test::checked(item(dialog, IDC_YESNO_APPLY_TO_ALL));
            apply_enabled_after = win_test::enabled(item(dialog, IDC_YESNO_APPLY_TO_ALL));
        }
        win_test::press(dialog, clicks.back());
    });
    for (int button : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(button);
        clicks = {IDC_YESNO_APPLY_TO_ALL, IDC_YESNO_DONT_ASK, button};
        const answer a = ask_on_a_thread(box, true, true);
        EXPECT_EQ(a.button, button);
        EXPECT_EQ(a.apply_to_all, 0);
        EXPECT_EQ(a.dont_ask_again, 1);
        EXPECT_FALSE(apply_checked_after);
        EXPECT_FALSE(apply_enabled_after);
    }
    // Apply to all alone; then the next question starts with both cleared.
    clicks = {IDC_YESNO_APPLY_TO_ALL, IDOK};
    const answer all = ask_on_a_thread(box, true, true);
    EXPECT_EQ(all.apply_to_all, 1);
    EXPECT_EQ(all.dont_ask_again, 0);
    clicks = {IDCANCEL};
    const answer next = ask_on_a_thread(box, true, true);
    EXPECT_TRUE(started_cleared);
    EXPECT_EQ(next.button, IDCANCEL);
    EXPECT_EQ(next.apply_to_all, 0);
    EXPECT_EQ(next.dont_ask_again, 0);

    // Cleared again, "Don't ask me again" gives "Apply to all" back.
    win_test::set_dialog_responder([&](HWND dialog) {
        win_test::press(dialog, IDC_YESNO_DONT_ASK);
        win_test::press(dialog, IDC_YESNO_DONT_ASK);
        apply_enabled_again = win_test::enabled(item(dialog, IDC_YESNO_APPLY_TO_ALL));
        win_test::press(dialog, IDC_YESNO_APPLY_TO_ALL);
        win_test::press(dialog, IDOK);
    });
    const answer back = ask_on_a_thread(box, true, true);
    EXPECT_TRUE(apply_enabled_again);
    EXPECT_EQ(back.apply_to_all, 1);
    EXPECT_EQ(back.dont_ask_again, 0);

    // A question whose box cannot open reports no ticks of the one before.
    box.m_lpszTemplateName = MAKEINTRESOURCEW(IDD_YESNO_MESSAGEBOX + 1000);
    const answer failed = ask_on_a_thread(box, true, true);
    EXPECT_EQ(failed.button, -1);
    EXPECT_EQ(failed.apply_to_all, 0);
    EXPECT_EQ(failed.dont_ask_again, 0);
}

TEST_F(QuestionBox, EscapeIsNoWithTheBoxesRead) {
    CYesNoMessageBox box;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        win_test::press(dialog, IDC_YESNO_DONT_ASK);
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    const answer a = ask_on_a_thread(box, true, true);
    EXPECT_EQ(a.button, IDCANCEL);
    EXPECT_EQ(a.dont_ask_again, 1);
    EXPECT_EQ(a.apply_to_all, 0);
}

// A name of 250 characters without a blank cannot wrap between words: it
// breaks between characters, and the question keeps within its box, every
// part of it shown.
TEST_F(QuestionBox, ALongNameKeepsWithinTheBox) {
    std::wstring name;
    for (int i = 1; name.size() < 246; ++i) name += L"minutes-part" + std::to_wstring(i) + L"-";
    name.resize(246);
    name += L".txt";
    const auto ink = [](const Gdiplus::Color& c) { return c.GetR() + c.GetG() + c.GetB() < 300; };
    int ink_beside = 0, ink_in_last_third = 0;
    RECT box{};
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        const picture p(dialog, "question-box-long-name");
        const RECT frame = win_test::window_rect(dialog);
        RECT client{};
        GetClientRect(dialog, &client);
        POINT corner{client.right, client.bottom};
        ClientToScreen(dialog, &corner);
        box = win_test::window_rect(item(dialog, IDC_YESNO_MESSAGE));
        OffsetRect(&box, -frame.left, -frame.top);
        // Between the box and the dialog's right edge, along the box.
        for (int x = box.right; x < corner.x - frame.left; ++x)
            for (int y = box.top; y < box.bottom; ++y) ink_beside += ink(p.at(x, y)) ? 1 : 0;
        for (int x = box.left; x < box.right; ++x)
            for (int y = box.bottom - (box.bottom - box.top) / 3; y < box.bottom; ++y)
                ink_in_last_third += ink(p.at(x, y)) ? 1 : 0;
        win_test::press(dialog, IDOK);
    });
    std::thread asker([&] {
        CYesNoMessageBox question;
        question.Ask(L"Calvimora synchronizer",
                     L"File '" + name + L"' exists on local drive, but not on 'Documents'.", true,
                     true);
    });
    asker.join();
    ASSERT_GT(box.right - box.left, 0);
    EXPECT_EQ(ink_beside, 0) << "the text runs past the box's right edge";
    EXPECT_GT(ink_in_last_third, 0) << "the name's end is not shown in the box";
}

// What the question says is shown as it is: an "&" in a file name is no
// mnemonic, and eight of them take the width of eight.
TEST_F(QuestionBox, AnAmpersandInTheQuestionIsShownAsItIs) {
    const std::wstring text = L"&&&&&&&&";
    const auto ink = [](const Gdiplus::Color& c) { return c.GetR() + c.GetG() + c.GetB() < 300; };
    LONG ink_width = 0, text_width = 0;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        const picture p(dialog, "question-box-ampersands");
        const HWND message = item(dialog, IDC_YESNO_MESSAGE);
        const RECT frame = win_test::window_rect(dialog);
        RECT box = win_test::window_rect(message);
        OffsetRect(&box, -frame.left, -frame.top);
        for (int x = box.left; x < box.right; ++x)
            for (int y = box.top; y < box.bottom; ++y)
                if (ink(p.at(x, y))) ink_width = std::max<LONG>(ink_width, x - box.left + 1);
        const HDC dc = GetDC(message);
        const HGDIOBJ old_font =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(message, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old_font);
        ReleaseDC(message, dc);
        text_width = size.cx;
        win_test::press(dialog, IDOK);
    });
    std::thread asker([&] {
        CYesNoMessageBox question;
        question.Ask(L"Calvimora synchronizer", text, false, false);
    });
    asker.join();
    ASSERT_GT(text_width, 0);
    EXPECT_GT(ink_width, text_width * 3 / 4) << "some of the ampersands were taken as prefixes";
}

// Where a top-level window stands in the z-order, 0 the top.
size_t z_order_of(HWND window) {
    const std::vector<HWND> all = win_test::top_level_windows();
    return static_cast<size_t>(std::find(all.begin(), all.end(), window) - all.begin());
}

TEST_F(QuestionBox, ItIsTopmostUntilTheFirstTickAndShowsItsImage) {
    CYesNoMessageBox box;
    bool topmost_at_open = false, topmost_after_tick = true, open_after_tick = false;
    bool above_a_new_window = false, below_a_newer_window = false;
    Gdiplus::Color beside_image, image_corner, image_inside;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        topmost_at_open = win_test::topmost(dialog);
        const HWND early = CreateWindowExW(0, WC_STATICW, L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                           nullptr, nullptr, nullptr, nullptr);
        above_a_new_window = z_order_of(dialog) < z_order_of(early);

        const picture p(dialog, "question-box");
        const RECT frame = win_test::window_rect(dialog);
        POINT client{0, 0};
        ClientToScreen(dialog, &client);
        const int x = client.x - frame.left + 25, y = client.y - frame.top + 20;
        beside_image = p.at(x - 1, y + 24);
        image_corner = p.at(x, y);
        image_inside = p.at(x + 5, y + 24);

        win_test::fire_timer(dialog, 1);
        win_test::pump();
        topmost_after_tick = win_test::topmost(dialog);
        open_after_tick = win_test::visible(dialog);
        const HWND late = CreateWindowExW(0, WC_STATICW, L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                          nullptr, nullptr, nullptr, nullptr);
        below_a_newer_window = z_order_of(late) < z_order_of(dialog);
        DestroyWindow(early);
        DestroyWindow(late);
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(ask_on_a_thread(box, true, true).button, IDOK);
    EXPECT_TRUE(topmost_at_open);
    EXPECT_TRUE(above_a_new_window);
    EXPECT_FALSE(topmost_after_tick);
    EXPECT_TRUE(open_after_tick);
    EXPECT_TRUE(below_a_newer_window);
    // The image at (25, 20) of the client area, its transparent corner
    // showing the dialog's face.
    EXPECT_EQ(beside_image.GetValue(), image_corner.GetValue()) << describe(image_corner);
    EXPECT_GT(image_inside.GetB(), image_inside.GetR() + 60) << describe(image_inside);
}

// A window of the asking thread: it answers WM_USER + 7 with 42 and counts
// its timer's ticks.
std::atomic<int> helper_ticks{0};

LRESULT CALLBACK helper_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER + 7) return 42;
    if (message == WM_TIMER) ++helper_ticks;
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(QuestionBox, ItsModalLoopServesSendsFromOtherThreadsAndRunsItsThreadsTimers) {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = helper_procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CalvimoraQuestionHelper";
        return RegisterClassExW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    helper_ticks = 0;
    CYesNoMessageBox box;
    std::atomic<HWND> helper{nullptr};
    std::atomic<bool> in_loop{false}, served{false};
    bool ticked = false;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        in_loop = true;
        ticked = win_test::pump_until([&] { return served && helper_ticks >= 2; });
        win_test::press(dialog, IDOK);
    });
    INT_PTR button = 0;
    std::thread asker([&] {
        const HWND made = CreateWindowExW(0, L"CalvimoraQuestionHelper", L"", WS_POPUP, 0, 0, 1, 1,
                                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetTimer(made, 5, 10, nullptr);
        helper = made;
        button = box.Ask(L"Calvimora synchronizer", L"Download it?", true, true);
        DestroyWindow(made);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!in_loop && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(in_loop);
    if (in_loop) {
        EXPECT_EQ(SendMessageW(helper, WM_USER + 7, 0, 0), 42);
    }
    served = true;
    asker.join();
    EXPECT_TRUE(ticked);
    EXPECT_EQ(button, IDOK);
}

}  // namespace
