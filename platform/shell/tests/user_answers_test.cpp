#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "win/progress_dialog.h"
#include "win/shell_notify_icon.h"
#include "win/user_dialog.h"
#include "windowing/tests/user_dialog_test_support.h"

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

TEST_F(Answers, APersonSeesTheProgressDialogsFirstLineAndHowFarItCame) {
    typed_input person("");
    IProgressDialog* dialog = nullptr;
    ASSERT_EQ(win_com::create_system_object(CLSID_ProgressDialog, IID_IProgressDialog,
                                            reinterpret_cast<void**>(&dialog)),
              S_OK);
    testing::internal::CaptureStderr();
    dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_AUTOTIME, nullptr);
    dialog->SetTitle(L"Deleting...");
    dialog->SetLine(1, L"Deleting 'a.txt'", TRUE, nullptr);
    dialog->SetLine(2, L"not shown", FALSE, nullptr);
    dialog->SetProgress(1, 3);
    dialog->StopProgressDialog();
    dialog->Release();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[progress] Deleting...: Deleting 'a.txt'\n[progress] Deleting...: 1 of 3 done\n");
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

// Standard input is a pseudo-terminal whose other side the test types on
// and reads the echo from; what the program prints to standard error goes
// to a file. For the life of the object.
class pseudo_terminal {
public:
    explicit pseudo_terminal(const std::string& folder) : printed_(folder + "/printed.txt") {
        EXPECT_EQ(openpty(&person_, &program_, nullptr, nullptr, nullptr), 0);
        fcntl(person_, F_SETFL, fcntl(person_, F_GETFL) | O_NONBLOCK);
        saved_input_ = dup(STDIN_FILENO);
        dup2(program_, STDIN_FILENO);
        saved_errors_ = dup(STDERR_FILENO);
        const int printed = open(printed_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(printed, STDERR_FILENO);
        close(printed);
        setenv("CALVIMORA_ANSWERS", "terminal", 1);
    }
    ~pseudo_terminal() {
        dup2(saved_input_, STDIN_FILENO);
        dup2(saved_errors_, STDERR_FILENO);
        close(saved_input_);
        close(saved_errors_);
        close(program_);
        close(person_);
        setenv("CALVIMORA_ANSWERS", "default", 1);
    }
    pseudo_terminal(const pseudo_terminal&) = delete;
    pseudo_terminal& operator=(const pseudo_terminal&) = delete;

    void type(const std::string& text) {
        EXPECT_EQ(write(person_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // What the terminal showed of the typing: its echo.
    std::string echoed() {
        char buffer[4096];
        for (ssize_t got; (got = read(person_, buffer, sizeof buffer)) > 0;)
            echo_.append(buffer, static_cast<size_t>(got));
        return echo_;
    }
    bool echo_on() {
        termios now{};
        tcgetattr(program_, &now);
        return (now.c_lflag & ECHO) != 0;
    }
    // Typed bytes nobody has read yet.
    int unread() {
        int count = 0;
        ioctl(program_, FIONREAD, &count);
        return count;
    }
    std::string printed() const {
        std::ifstream in(printed_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string printed_;
    std::string echo_;
    int person_ = -1;
    int program_ = -1;
    int saved_input_ = -1;
    int saved_errors_ = -1;
};

bool within_seconds(int seconds, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

constexpr WORD password_dialog = 112;
constexpr int password_edit = 1060;

INT_PTR CALLBACK password_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    if (message != WM_COMMAND || LOWORD(wparam) != IDOK) return message == WM_INITDIALOG;
    wchar_t text[64];
    GetDlgItemTextW(dialog, password_edit, text, 64);
    *reinterpret_cast<std::wstring*>(GetWindowLongPtrW(dialog, DWLP_USER)) = text;
    EndDialog(dialog, IDOK);
    return TRUE;
}

// A password is typed with the terminal's echo off, and the dialog shows
// as many stars as it holds.
TEST_F(Answers, APasswordIsNotEchoedAndItsMaskHasItsLength) {
    using namespace win_dialogs;
    dialog_template t;
    t.caption = L"Log In";
    t.cx = 200;
    t.cy = 60;
    t.controls = {left_text(-1, L"Password:", 10, 10, 50, 10),
                  edit_text(password_edit, 65, 8, 120, 14, ES_PASSWORD),
                  default_push_button(IDOK, L"OK", 10, 40, 50, 14)};
    register_dialog(GetModuleHandleW(nullptr), password_dialog, t);

    pseudo_terminal terminal(root_.path());
    std::wstring entered;
    std::atomic<INT_PTR> result{0};
    std::thread asking([&] {
        result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(password_dialog),
                                 nullptr, password_procedure, reinterpret_cast<LPARAM>(&entered));
    });
    terminal.type("1\n");
    const bool echo_went_off = within_seconds(20, [&] { return !terminal.echo_on(); });
    terminal.type("correct horse\n\n");
    asking.join();
    EXPECT_TRUE(echo_went_off);
    EXPECT_TRUE(terminal.echo_on()) << "the echo comes back after the password";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(entered, L"correct horse");
    EXPECT_EQ(terminal.echoed().find("correct"), std::string::npos) << terminal.echoed();
    EXPECT_NE(terminal.printed().find("Password: [*************]"), std::string::npos)
        << terminal.printed();
}

constexpr WORD fields_dialog = 113;
constexpr int fixed_edit = 1061;
constexpr int open_edit = 1062;

// What the fields dialog saw: its edits' texts on OK and the changes its
// edits told it of after it had filled them.
struct fields_seen {
    std::wstring fixed, open;
    std::vector<int> changed;
    bool filled = false;
};

INT_PTR CALLBACK fields_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        SetDlgItemTextW(dialog, fixed_edit, L"Folder");
        reinterpret_cast<fields_seen*>(lparam)->filled = true;
        return TRUE;
    }
    auto* seen = reinterpret_cast<fields_seen*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || !seen) return FALSE;
    if (HIWORD(wparam) == EN_CHANGE && seen->filled) seen->changed.push_back(LOWORD(wparam));
    if (LOWORD(wparam) != IDOK || HIWORD(wparam) != BN_CLICKED) return FALSE;
    wchar_t text[64];
    GetDlgItemTextW(dialog, fixed_edit, text, 64);
    seen->fixed = text;
    GetDlgItemTextW(dialog, open_edit, text, 64);
    seen->open = text;
    EndDialog(dialog, IDOK);
    return TRUE;
}

INT_PTR run_fields(fields_seen& seen) {
    using namespace win_dialogs;
    dialog_template t;
    t.caption = L"Fields";
    t.cx = 200;
    t.cy = 80;
    t.controls = {left_text(-1, L"Type:", 10, 10, 50, 10),
                  edit_text(fixed_edit, 65, 8, 120, 14, ES_READONLY),
                  left_text(-1, L"Name:", 10, 30, 50, 10), edit_text(open_edit, 65, 28, 120, 14),
                  default_push_button(IDOK, L"OK", 10, 60, 50, 14)};
    register_dialog(GetModuleHandleW(nullptr), fields_dialog, t);
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(fields_dialog), nullptr,
                           fields_procedure, reinterpret_cast<LPARAM>(&seen));
}

// A read-only edit takes nothing a person types on the terminal or an
// answers file puts in, and says so; the other edit takes it.
TEST_F(Answers, AReadOnlyEditRefusesTheTerminalAndTheAnswersFile) {
    {
        // The read-only edit chosen: refused before any line is read for
        // it, so the next line is a choice again (and no number).
        typed_input person("1\nExecutable\n2\nnotes\n\n");
        testing::internal::CaptureStderr();
        fields_seen seen;
        EXPECT_EQ(run_fields(seen), IDOK);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(seen.fixed, L"Folder");
        EXPECT_EQ(seen.open, L"notes");
        EXPECT_EQ(seen.changed, std::vector<int>{open_edit});
        EXPECT_NE(printed.find("[1] Type: [Folder] (read-only)"), std::string::npos) << printed;
        EXPECT_NE(printed.find("(Type cannot be typed into)"), std::string::npos) << printed;
    }
    answers_file file(root_.path(),
                      "dialog Fields => text 1061 Executable; text 1062 notes; "
                      "press ok\n");
    fields_seen seen;
    EXPECT_EQ(run_fields(seen), IDOK);
    EXPECT_EQ(seen.fixed, L"Folder");
    EXPECT_EQ(seen.open, L"notes");
    EXPECT_EQ(seen.changed, std::vector<int>{open_edit});
}

// Lines typed ahead while a tray command opens a dialog are the dialog's:
// the tray's command reader waits until the command has run to its end.
TEST_F(Answers, ADialogOpenedByATrayCommandGetsTheLinesTypedForIt) {
    pseudo_terminal terminal(root_.path());
    probe p;
    INT_PTR answer = 0;
    bool handled = false;
    bool stolen = false;
    user_test::test_window owner(user_test::test_window::with().reacting(
        [&](HWND, UINT message, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
            if (message != WM_APP + 7 || lparam != WM_RBUTTONUP) return std::nullopt;
            // The person types the dialog's lines while the program is
            // still on its way to the dialog.
            terminal.type("3\n\n");
            EXPECT_TRUE(within_seconds(20, [&] { return terminal.unread() > 0; }));
            stolen = within_seconds(1, [&] { return terminal.unread() < 3; });
            // A dialog without its lines would wait for ever.
            if (!stolen) answer = run(question, p);
            handled = true;
            return 0;
        }));
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner.hwnd();
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_APP + 7;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    terminal.type("m\n");
    EXPECT_TRUE(win_test::pump_until([&] { return handled; }, std::chrono::seconds(20)));
    EXPECT_FALSE(stolen) << "the tray's reader took the dialog's line";
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(p.remembered, BST_CHECKED);
    const std::string printed = terminal.printed();
    const std::string help = "type a command and Enter";
    EXPECT_EQ(printed.find(help, printed.find(help) + 1), std::string::npos)
        << "the tray's help again, for a line that was no command: " << printed;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

// A dialog that another thread opens while the tray's reader waits for a
// line keeps the terminal to itself for as long as it is open, also while
// it acts on one line before it reads the next.
struct between_lines {
    pseudo_terminal* terminal = nullptr;
    bool stolen = false;
};

INT_PTR CALLBACK typing_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* seen = reinterpret_cast<between_lines*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED || !seen)
        return message == WM_INITDIALOG;
    if (LOWORD(wparam) == remember) {
        // The person answers the next question while the dialog is still
        // at its first answer.
        seen->terminal->type("1\n");
        // Typed once the terminal echoes it; who reads it may take it at once.
        EXPECT_TRUE(within_seconds(
            20, [&] { return seen->terminal->echoed().find("1\r\n") != std::string::npos; }));
        seen->stolen = within_seconds(1, [&] { return seen->terminal->unread() == 0; });
        // A dialog whose line was taken would wait for ever.
        if (seen->stolen) EndDialog(dialog, IDCANCEL);
    } else {
        EndDialog(dialog, LOWORD(wparam));
    }
    return TRUE;
}

TEST_F(Answers, ADialogOfAnotherThreadGetsTheLinesTypedWhileItIsOpen) {
    register_templates();
    pseudo_terminal terminal(root_.path());
    user_test::test_window owner;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner.hwnd();
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    const std::string help = "type a command and Enter";
    ASSERT_TRUE(
        within_seconds(20, [&] { return terminal.printed().find(help) != std::string::npos; }));
    between_lines seen{&terminal};
    std::atomic<INT_PTR> answer{0};
    std::thread asking([&] {
        answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(question), nullptr,
                                 typing_procedure, reinterpret_cast<LPARAM>(&seen));
    });
    // The icon's thread waits for messages meanwhile, as the tray's does
    // while its sync engine asks.
    EXPECT_TRUE(win_test::pump_until(
        [&] { return terminal.printed().find("Enter for the default: ") != std::string::npos; },
        std::chrono::seconds(20)));
    terminal.type("3\n");
    EXPECT_TRUE(win_test::pump_until([&] { return answer != 0; }, std::chrono::seconds(20)));
    asking.join();
    EXPECT_FALSE(seen.stolen) << "the tray's reader took the dialog's line";
    EXPECT_EQ(answer, IDOK);
    const std::string printed = terminal.printed();
    EXPECT_EQ(printed.find(help, printed.find(help) + 1), std::string::npos) << printed;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

// The commands for the tray's icons are read while the process has an icon
// somebody can use: they end with its last one, and the next icon gets a
// reader of its own, which tells the person what to type again.
TEST_F(Answers, TheTraysCommandsEndWithItsLastIconAndComeBackWithTheNext) {
    pseudo_terminal terminal(root_.path());
    const auto helps_printed = [&] {
        const std::string printed = terminal.printed();
        int count = 0;
        for (size_t at = printed.find("type a command and Enter"); at != std::string::npos;
             at = printed.find("type a command and Enter", at + 1))
            ++count;
        return count;
    };
    for (int round = 1; round <= 2; ++round) {
        user_test::test_window owner;
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = owner.hwnd();
        ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
        EXPECT_TRUE(within_seconds(20, [&] { return helps_printed() == round; })) << round;
        Shell_NotifyIconW(NIM_DELETE, &data);
    }
}

// A line typed while a dialog of another thread is being made, before its
// question is printed, is the dialog's too.
INT_PTR CALLBACK typing_at_start_procedure(HWND dialog, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* seen = reinterpret_cast<between_lines*>(lparam);
        // The box ticked, then Enter for the default.
        seen->terminal->type("3\n\n");
        EXPECT_TRUE(within_seconds(
            20, [&] { return seen->terminal->echoed().find("3\r\n\r\n") != std::string::npos; }));
        seen->stolen = within_seconds(1, [&] { return seen->terminal->unread() == 0; });
        // A dialog whose line was taken would wait for ever.
        if (seen->stolen) EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) != remember)
        EndDialog(dialog, LOWORD(wparam));
    return FALSE;
}

TEST_F(Answers, ALineTypedWhileADialogIsBeingMadeIsTheDialogs) {
    register_templates();
    pseudo_terminal terminal(root_.path());
    user_test::test_window owner;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner.hwnd();
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    const std::string help = "type a command and Enter";
    ASSERT_TRUE(
        within_seconds(20, [&] { return terminal.printed().find(help) != std::string::npos; }));
    between_lines seen{&terminal};
    std::atomic<INT_PTR> answer{0};
    std::thread asking([&] {
        answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(question), nullptr,
                                 typing_at_start_procedure, reinterpret_cast<LPARAM>(&seen));
    });
    EXPECT_TRUE(win_test::pump_until([&] { return answer != 0; }, std::chrono::seconds(20)));
    asking.join();
    EXPECT_FALSE(seen.stolen) << "the tray's reader took the dialog's line";
    EXPECT_EQ(answer, IDOK);
    Shell_NotifyIconW(NIM_DELETE, &data);
}

// A command typed while a box asks is no answer: the person is told what
// the terminal waits for, and the box keeps asking.
TEST_F(Answers, ALineThatIsNoAnswerIsToldWhatTheBoxWaitsFor) {
    pseudo_terminal terminal(root_.path());
    terminal.type("ls\n2\n");
    EXPECT_EQ(MessageBoxW(nullptr, L"Replace?", L"Calvimora", MB_YESNO), IDNO);
    EXPECT_NE(terminal.printed().find("a message box is open and waits for its answer: a number "
                                      "from 1 to 2, or Enter for the default"),
              std::string::npos)
        << terminal.printed();
}

// A command the program adds for the tray runs on its window's thread, its
// help is part of the tray's, and the reader waits for its answer before it
// takes the next line; the icon's own letters cannot be taken.
TEST_F(Answers, AProgramsOwnTrayCommandRunsOnItsWindowsThread) {
    pseudo_terminal terminal(root_.path());
    std::atomic<DWORD> answered_on{0};
    std::atomic<int> answers{0};
    user_test::test_window owner(user_test::test_window::with().reacting(
        [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message != WM_APP + 9) return std::nullopt;
            answered_on = GetCurrentThreadId();
            std::fprintf(stderr, "rows listed %d\n", ++answers);
            return 0;
        }));
    EXPECT_FALSE(win_shell::add_tray_terminal_command("m", "takes the menu", owner.hwnd(), WM_APP));
    EXPECT_FALSE(win_shell::add_tray_terminal_command("", "nothing", owner.hwnd(), WM_APP));
    EXPECT_FALSE(win_shell::add_tray_terminal_command("x", "no window", nullptr, WM_APP));
    ASSERT_TRUE(win_shell::add_tray_terminal_command("r", "lists the rows", owner.hwnd(), WM_APP));
    // The later command of the same word is the one that runs.
    ASSERT_TRUE(
        win_shell::add_tray_terminal_command("r", "lists the rows", owner.hwnd(), WM_APP + 9));
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner.hwnd();
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    terminal.type("r\nnonsense\nr\n");
    EXPECT_TRUE(win_test::pump_until([&] { return answers == 2; }, std::chrono::seconds(20)));
    EXPECT_EQ(answered_on, GetCurrentThreadId());
    const std::string printed = terminal.printed();
    const size_t first = printed.find("rows listed 1");
    const size_t help = printed.find("b clicks its balloon, r lists the rows;", first);
    EXPECT_NE(first, std::string::npos) << printed;
    EXPECT_NE(help, std::string::npos) << printed;
    EXPECT_NE(printed.find("rows listed 2", help), std::string::npos) << printed;
    Shell_NotifyIconW(NIM_DELETE, &data);
}

}  // namespace
