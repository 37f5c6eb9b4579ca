#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "user_dialog_test_support.h"

namespace {

using namespace dialog_test;
using namespace std::chrono_literals;
using user_test::patience;
using user_test::test_window;
using Dialogs = user_test::UserTest;

TEST_F(Dialogs, EndingInsideInitDialogReturnsWithoutShowingOrAsking) {
    probe p;
    p.end_in_init = true;
    bool asked = false;
    win_test::scoped_dialog_responder script([&](HWND) { asked = true; });
    EXPECT_EQ(run(question, p), 42);
    EXPECT_FALSE(asked);
    EXPECT_EQ(std::count(p.messages.begin(), p.messages.end(), WM_SHOWWINDOW), 0);
    const auto journal = win_test::dialogs();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].template_name, "110");
    EXPECT_EQ(journal[0].result, 42);
    EXPECT_EQ(journal[0].answered_by, "program");
}

TEST_F(Dialogs, EnterPressesTheFocusedOrDefaultButtonAndEscapeCancels) {
    probe p;
    win_test::scoped_dialog_responder script([](HWND dialog) {
        EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
        win_test::press_key(VK_RETURN);
        win_test::pump();
    });
    EXPECT_EQ(run(question, p), IDOK);

    // The focus is on a check box: Enter takes the default button.
    probe q;
    win_test::set_dialog_responder([](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, remember));
        EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(later_button, DC_HASDEFID));
        win_test::press_key(VK_RETURN);
        win_test::pump();
    });
    EXPECT_EQ(run(later, q), later_button);

    probe r;
    win_test::set_dialog_responder([](HWND) {
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    EXPECT_EQ(run(later, r), IDCANCEL);  // even without a Cancel button
    EXPECT_EQ(r.commands, std::vector<int>{IDCANCEL});
}

TEST_F(Dialogs, ClosingTheWindowCancels) {
    probe p;
    win_test::scoped_dialog_responder script([](HWND dialog) {
        SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        win_test::pump();
    });
    EXPECT_EQ(run(question, p), IDCANCEL);

    // The close box of the caption, with the mouse.
    probe q;
    win_test::set_dialog_responder([](HWND dialog) {
        const RECT r = win_test::window_rect(dialog);
        const POINT close_box{r.right - 8, r.top + 12};
        win_test::move_mouse(close_box);
        win_test::click(close_box);
        win_test::pump();
    });
    EXPECT_EQ(run(question, q), IDCANCEL);
    EXPECT_EQ(q.commands, std::vector<int>{IDCANCEL});
}

TEST_F(Dialogs, CheckBoxesToggleOnClicksAndTellTheDialog) {
    probe p;
    win_test::scoped_dialog_responder script([](HWND dialog) {
        const HWND box = GetDlgItem(dialog, remember);
        win_test::press(dialog, remember);
        EXPECT_TRUE(win_test::checked(box));
        win_test::press(dialog, remember);
        EXPECT_FALSE(win_test::checked(box));
        CheckDlgButton(dialog, apply_to_all, BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, apply_to_all), BST_CHECKED);
        // A disabled box ignores clicks of every kind.
        EnableWindow(GetDlgItem(dialog, apply_to_all), FALSE);
        win_test::press(dialog, apply_to_all);
        SendDlgItemMessageW(dialog, apply_to_all, BM_CLICK, 0, 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, apply_to_all), BST_CHECKED);
        win_test::press(dialog, remember);
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(run(question, p), IDOK);
    EXPECT_EQ(p.commands, (std::vector<int>{remember, remember, remember, IDOK}));
    EXPECT_EQ(p.remembered, BST_CHECKED);
}

TEST_F(Dialogs, DialogUnitsComeFromTheFontsAverageCharacter) {
    // The base units measured here the way the dialog manager must.
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font =
        CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg");
    SelectObject(dc, font);
    SIZE extent;
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    DeleteDC(dc);
    DeleteObject(font);
    const LONG bx = (extent.cx / 26 + 1) / 2, by = metrics.tmHeight;
    ASSERT_GT(bx, 3);
    ASSERT_GT(by, 8);
    auto px = [](int units, LONG base, int divisor) {
        return static_cast<LONG>((units * base + divisor / 2) / divisor);
    };

    probe p;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        RECT unit{0, 0, 4, 8};
        ASSERT_TRUE(MapDialogRect(dialog, &unit));
        EXPECT_EQ(unit.right, bx);
        EXPECT_EQ(unit.bottom, by);
        const RECT client = win_test::client_rect(dialog);
        EXPECT_EQ(client.right, px(320, bx, 4));
        EXPECT_EQ(client.bottom, px(113, by, 8));
        RECT text = win_test::window_rect(GetDlgItem(dialog, message_text));
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&text), 2);
        EXPECT_EQ(text.left, px(60, bx, 4));
        EXPECT_EQ(text.top, px(12, by, 8));
        EXPECT_EQ(text.right, px(306, bx, 4));
        EXPECT_EQ(text.bottom, px(78, by, 8));
        win_test::press(dialog, IDCANCEL);
    });
    EXPECT_EQ(run(question, p), IDCANCEL);
    EXPECT_EQ(LOWORD(GetDialogBaseUnits()), bx);  // the system font is the same face and size
    EXPECT_EQ(HIWORD(GetDialogBaseUnits()), by);
}

TEST_F(Dialogs, AModalDialogOnAWorkerThreadIsAnsweredInsideItsOwnLoop) {
    probe p;
    DWORD script_thread = 0;
    bool shown = false, topmost = false;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        script_thread = GetCurrentThreadId();
        shown = IsWindowVisible(dialog);
        topmost = win_test::topmost(dialog);
        win_test::press(dialog, remember);
        win_test::press(dialog, IDOK);
    });
    INT_PTR result = 0;
    DWORD worker_thread = 0;
    std::thread worker([&] {
        worker_thread = GetCurrentThreadId();
        result = run(question, p);
    });
    worker.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(script_thread, worker_thread);
    EXPECT_EQ(p.thread, worker_thread);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(topmost);
    EXPECT_EQ(p.remembered, BST_CHECKED);
    const auto journal = win_test::dialogs();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].caption, "Question");
    EXPECT_EQ(journal[0].answered_by, "script");
}

TEST_F(Dialogs, WithoutScriptOrTerminalTheDefaultButtonAnswersAtOnce) {
    setenv("CALVIMORA_ANSWERS", "default", 1);
    ASSERT_FALSE(win_test::answers_on_terminal());
    probe p;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run(later, p), later_button);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    probe q;
    EXPECT_EQ(run(question, q), IDOK);
    const auto journal = win_test::dialogs();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].answered_by, "default");
    EXPECT_EQ(journal[1].result, IDOK);
    // A script that leaves the dialog open gets the default after it.
    probe r;
    win_test::scoped_dialog_responder idle([](HWND) {});
    EXPECT_EQ(run(later, r), later_button);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "default");
}

TEST_F(Dialogs, ModalLoopsRunTheirThreadsOtherWindowsAndNest) {
    test_window owner(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    win_test::pump();
    PostMessageW(owner.hwnd(), WM_APP, 0, 0);
    SetTimer(owner.hwnd(), 5, 60000, nullptr);
    bool owner_disabled_inside = false;
    size_t posted_seen_inside = 0;
    probe inner;
    INT_PTR inner_result = 0;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        if (win_test::text(dialog) == L"Later") {
            win_test::fire_timer(owner.hwnd(), 5);
            EXPECT_TRUE(win_test::pump_until([&] { return owner.count(WM_TIMER) == 2; }));
            win_test::press(dialog, IDOK);
            return;
        }
        owner_disabled_inside = !IsWindowEnabled(owner.hwnd());
        posted_seen_inside = owner.count(WM_APP);
        win_test::fire_timer(owner.hwnd(), 5);
        EXPECT_TRUE(win_test::pump_until([&] { return owner.count(WM_TIMER) == 1; }));
        inner_result = run(later, inner, dialog);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        win_test::press(dialog, IDCANCEL);
    });
    probe outer;
    EXPECT_EQ(run(question, outer, owner.hwnd()), IDCANCEL);
    EXPECT_EQ(inner_result, IDOK);
    EXPECT_TRUE(owner_disabled_inside);
    EXPECT_EQ(posted_seen_inside, 1u);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    EXPECT_EQ(GetActiveWindow(), owner.hwnd());
}

TEST_F(Dialogs, AnotherThreadsSendIsServedWhileTheDialogIsUp) {
    std::promise<HWND> made;
    std::atomic<bool> answered{false};
    probe p;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        EXPECT_TRUE(win_test::pump_until([&] { return answered.load(); }));
        win_test::press(dialog, IDOK);
    });
    INT_PTR result = 0;
    std::thread worker([&] {
        test_window w(test_window::with().reacting(
            [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
                if (m == WM_APP) return static_cast<LRESULT>(wp + 1);
                return std::nullopt;
            }));
        made.set_value(w.hwnd());
        result = run(question, p);
    });
    const HWND target = made.get_future().get();
    ASSERT_TRUE(win_test::pump_until(
        [] { return win_test::find_window(L"#32770", L"Question") != nullptr; }));
    EXPECT_EQ(SendMessageW(target, WM_APP, 20, 0), 21);
    answered = true;
    worker.join();
    EXPECT_EQ(result, IDOK);
}

TEST_F(Dialogs, ModelessDialogsShowAndTakeTheirKeysThroughIsDialogMessage) {
    using namespace win_dialogs;
    dialog_template t;
    t.style |= WS_VISIBLE;
    t.caption = L"Modeless";
    t.cx = 100;
    t.cy = 40;
    t.controls = {push_button(IDCANCEL, L"Close", 10, 10, 50, 14)};
    register_dialog(GetModuleHandleW(nullptr), 120, t);
    probe p;
    const HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(120),
                                           nullptr, probe_procedure, reinterpret_cast<LPARAM>(&p));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    win_test::press_key(VK_ESCAPE);
    win_test::pump_until([&] { return !p.commands.empty(); });
    EXPECT_EQ(p.commands, std::vector<int>{IDCANCEL});
    DestroyWindow(dialog);
    EXPECT_TRUE(win_test::dialogs().empty());  // only modal dialogs are answered and journalled
}

TEST_F(Dialogs, TemplateBytesAreCheckedBeforeUse) {
    static const char garbage[] = "CVDT\x01\x00\xff\xff\xff\xff";
    win_resources::register_resource(nullptr, RT_DIALOG, MAKEINTRESOURCEW(300), garbage,
                                     sizeof garbage);
    probe p;
    EXPECT_EQ(run(300, p), -1);
    EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(300), nullptr, probe_procedure, 0),
              nullptr);
    EXPECT_EQ(run(301, p), -1);  // missing
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));

    // Every cut of a good template is refused, and so is one byte too many.
    register_templates();
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(question), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string good(bytes, SizeofResource(nullptr, found));
    win_dialogs::dialog_template parsed;
    ASSERT_TRUE(win_dialogs::parse_dialog(good.data(), good.size(), &parsed));
    EXPECT_EQ(parsed.controls.size(), 5u);
    EXPECT_EQ(parsed.controls[3].text, L"Remember my answer");
    for (size_t cut = 0; cut < good.size(); ++cut) {
        const std::string part = good.substr(0, cut);
        EXPECT_FALSE(win_dialogs::parse_dialog(part.data(), part.size(), &parsed)) << cut;
    }
    const std::string longer = good + '\0';
    EXPECT_FALSE(win_dialogs::parse_dialog(longer.data(), longer.size(), &parsed));
}

TEST_F(Dialogs, StringTablesCopyCutAndPointToTheirTexts) {
    const HMODULE self = GetModuleHandleW(nullptr);
    win_dialogs::register_strings(self, {{2024, L"Calvimora synchronizer"}, {2031, L"Cancel?"}});
    win_dialogs::register_strings(self, {{2000, L"Logoff anyway?"}});
    wchar_t buffer[64];
    EXPECT_EQ(LoadStringW(self, 2024, buffer, 64), 22);
    EXPECT_EQ(std::wstring(buffer), L"Calvimora synchronizer");
    EXPECT_EQ(LoadStringW(self, 2031, buffer, 64), 7);  // kept when its block was added to
    EXPECT_EQ(LoadStringW(self, 2000, buffer, 6), 5);
    EXPECT_EQ(std::wstring(buffer), L"Logof");
    const wchar_t* direct = nullptr;
    EXPECT_EQ(LoadStringW(self, 2024, reinterpret_cast<LPWSTR>(&direct), 0), 22);
    EXPECT_EQ(std::wstring(direct, 22), L"Calvimora synchronizer");
    EXPECT_EQ(LoadStringW(self, 2025, buffer, 64), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(LoadStringW(self, 9999, buffer, 64), 0);

    // A block whose length runs past its end yields nothing.
    static const uint32_t hostile[] = {0x7FFFFFFF, 'x'};
    win_resources::register_resource(self, RT_STRING, MAKEINTRESOURCEW(4000 / 16 + 1), hostile,
                                     sizeof hostile);
    EXPECT_EQ(LoadStringW(self, 4000, buffer, 64), 0);
}

TEST_F(Dialogs, AMessageBoxDisablesItsOwnerWhileItsResponderPumps) {
    test_window owner(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    PostMessageW(owner.hwnd(), WM_APP, 0, 0);
    bool disabled = false;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            disabled = !IsWindowEnabled(owner.hwnd());
            win_test::pump();
            return IDNO;
        });
    EXPECT_EQ(MessageBoxW(owner.hwnd(), L"Logoff anyway?", L"Calvimora", MB_YESNO), IDNO);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(owner.count(WM_APP), 1u);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

// Under a box the thread's messages run before anyone answers, as they do
// under the system's boxes: what was posted, a timer that fell due and a
// message another thread sends, while the owner is disabled.
TEST_F(Dialogs, AMessageBoxRunsItsThreadsMessagesBeforeItIsAnswered) {
    test_window owner(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    bool owner_enabled_while_served = true;
    owner.set_reaction([&](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_APP + 1) owner_enabled_while_served = IsWindowEnabled(window);
        return std::nullopt;
    });
    PostMessageW(owner.hwnd(), WM_APP, 0, 0);
    ASSERT_NE(SetTimer(owner.hwnd(), 7, 60000, nullptr), 0u);
    ASSERT_TRUE(win_test::fire_timer(owner.hwnd(), 7));
    std::atomic<bool> delivered{false};
    std::thread sender([&] {
        SendMessageW(owner.hwnd(), WM_APP + 1, 0, 0);
        delivered = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!(GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    size_t posted = 0, timers = 0, sent = 0;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            posted = owner.count(WM_APP);
            timers = owner.count(WM_TIMER);
            sent = owner.count(WM_APP + 1);
            return IDYES;
        });
    EXPECT_EQ(MessageBoxW(owner.hwnd(), L"Logoff anyway?", L"Calvimora", MB_YESNO), IDYES);
    EXPECT_TRUE(win_test::pump_until([&] { return delivered.load(); }));
    sender.join();
    EXPECT_EQ(posted, 1u);
    EXPECT_EQ(timers, 1u);
    EXPECT_EQ(sent, 1u);
    EXPECT_FALSE(owner_enabled_while_served);
    KillTimer(owner.hwnd(), 7);
}

// A WM_QUIT that reaches the box's loop ends the box as refused and is left
// for the program's own loop; nobody is asked.
TEST_F(Dialogs, AQuitUnderAMessageBoxEndsItRefused) {
    bool asked = false;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            asked = true;
            return IDYES;
        });
    PostQuitMessage(3);
    EXPECT_EQ(MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO), IDNO);
    EXPECT_FALSE(asked);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_FALSE(win_test::message_boxes().empty());
    EXPECT_EQ(win_test::message_boxes().back().answered_by, "quit");
}

TEST_F(Dialogs, TheFocusComesBackToTheOwnersControlAfterAMessageBox) {
    test_window owner(test_window::with().styled(WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    HWND edit = CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, owner.hwnd(),
                                nullptr, nullptr, nullptr);
    SetFocus(edit);
    HWND focus_during = edit;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            focus_during = GetFocus();
            return IDOK;
        });
    MessageBoxW(owner.hwnd(), L"Done", L"Calvimora", MB_OK);
    EXPECT_EQ(focus_during, nullptr);
    EXPECT_EQ(GetFocus(), edit);
}

}  // namespace
