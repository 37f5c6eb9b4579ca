#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "user_dialog_test_support.h"
#include "win/shell_notify_icon.h"

namespace {

using namespace dialog_test;
using Answers = user_test::UserTest;

TEST_F(Answers, APersonTypesTheButtonOfAMessageBox) {
    typed_input person("7\n2\n");  // a number that is no button, then the second
    ASSERT_TRUE(win_test::answers_on_terminal());
    EXPECT_EQ(MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO | MB_ICONEXCLAMATION),
              IDNO);
    EXPECT_EQ(win_test::message_boxes().back().answer, IDNO);
}

TEST_F(Answers, APersonTicksAndPressesInADialog) {
    typed_input person("3\n\n");  // the first check box, then Enter for the default button
    probe p;
    EXPECT_EQ(run(question, p), IDOK);
    EXPECT_EQ(p.remembered, BST_CHECKED);
    EXPECT_EQ(p.commands, (std::vector<int>{remember, IDOK}));
    EXPECT_EQ(win_test::dialogs().back().answered_by, "terminal");
}

TEST_F(Answers, TheEndOfInputGivesTheDefaultAnswers) {
    typed_input person("");
    probe p;
    EXPECT_EQ(run(later, p), later_button);
    EXPECT_EQ(MessageBoxW(nullptr, L"Stop?", L"", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

// A program that repeats a failing step on Retry must tell a person's
// Retry from the default that nobody chose.
TEST_F(Answers, ADefaultThatNobodyChoseIsToldFromAPersonsAnswer) {
    {
        typed_input person("\n1\n");
        EXPECT_EQ(MessageBoxW(nullptr, L"Failed", L"", MB_RETRYCANCEL), IDRETRY);
        EXPECT_FALSE(win_user::last_box_unattended()) << "Enter for the default is a person's";
        EXPECT_EQ(MessageBoxW(nullptr, L"Failed", L"", MB_RETRYCANCEL), IDRETRY);
        EXPECT_FALSE(win_user::last_box_unattended());
        EXPECT_EQ(MessageBoxW(nullptr, L"Failed", L"", MB_RETRYCANCEL), IDRETRY);
        EXPECT_TRUE(win_user::last_box_unattended()) << "the input had ended";
        bool other_thread = true;
        std::thread([&] { other_thread = win_user::last_box_unattended(); }).join();
        EXPECT_FALSE(other_thread) << "each thread's own last box";
    }
    {
        win_test::scoped_message_box_responder script(
            [](const std::wstring&, const std::wstring&, UINT) { return IDRETRY; });
        MessageBoxW(nullptr, L"Failed", L"", MB_RETRYCANCEL);
        EXPECT_FALSE(win_user::last_box_unattended());
    }
    ASSERT_FALSE(win_test::answers_on_terminal());
    EXPECT_EQ(MessageBoxW(nullptr, L"Failed", L"", MB_RETRYCANCEL), IDRETRY);
    EXPECT_TRUE(win_user::last_box_unattended()) << "no terminal, no script";
}

TEST_F(Answers, QuestionsOnSeveralThreadsEachGetAWholeLine) {
    typed_input person("1\n2\n");
    std::atomic<int> first{0}, second{0};
    std::thread other([&] { first = MessageBoxW(nullptr, L"Upload?", L"", MB_YESNO); });
    second = MessageBoxW(nullptr, L"Download?", L"", MB_YESNO);
    other.join();
    EXPECT_EQ(first + second, IDYES + IDNO) << first << " and " << second;
    EXPECT_NE(first, second);
}

TEST_F(Answers, APersonUsesATrayIconThroughTheTerminal) {
    typed_input person("m\nnonsense\nc\no\nb\n");
    user_test::test_window owner;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner.hwnd();
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_APP + 7;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));

    auto events = [&] {
        std::vector<LPARAM> seen;
        for (const user_test::received& r : owner.log())
            if (r.message == WM_APP + 7) seen.push_back(r.lparam);
        return seen;
    };
    // The balloon click finds no balloon and goes nowhere.
    ASSERT_TRUE(win_test::pump_until([&] { return events().size() == 3; }));
    EXPECT_EQ(events(), (std::vector<LPARAM>{WM_RBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));
    Shell_NotifyIconW(NIM_DELETE, &data);
}

TEST_F(Answers, AScriptWinsOverTheTerminal) {
    typed_input person("2\n");
    win_test::scoped_dialog_responder script([](HWND dialog) { win_test::press(dialog, IDOK); });
    probe p;
    EXPECT_EQ(run(question, p), IDOK);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "script");
}

TEST_F(Answers, TheAnswersFileAnswersEachBoxMenuAndDialogOnce) {
    answers_file file(root_.path(),
                      "# a comment, then a line that is no answer\n"
                      "something else\n"
                      "box Logoff => no\n"
                      "box => retry\n"
                      "menu Log Out => 32772\n"
                      "dialog Question => check 1052; press ok\n"
                      "dialog 111 => press 7\n");
    EXPECT_EQ(MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO), IDNO);
    // The same box again: its line is used up, and "retry" is no button of it.
    EXPECT_EQ(MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"Failed", L"Calvimora", MB_RETRYCANCEL), IDRETRY);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].answered_by, "file");
    EXPECT_EQ(boxes[1].answered_by, "default");
    EXPECT_EQ(boxes[2].answered_by, "file");

    probe later_probe;
    EXPECT_EQ(run(later, later_probe), later_button);
    probe question_probe;
    EXPECT_EQ(run(question, question_probe), IDOK);
    EXPECT_EQ(question_probe.remembered, BST_CHECKED);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "file");

    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 32771, L"Log In");
    AppendMenuW(menu, MF_STRING, 32772, L"Log Out");
    user_test::test_window owner;
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner.hwnd(), nullptr), 32772);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner.hwnd(), nullptr), 0);
    EXPECT_EQ(win_test::menus().front().answered_by, "file");
    EXPECT_EQ(win_test::menus().back().answered_by, "nobody");
    DestroyMenu(menu);
}

}  // namespace
