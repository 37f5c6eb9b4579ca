#include <signal.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kernel/tests/helper_process.h"
#include "win/shell_test.h"
#include "windowing/tests/user_test_support.h"

namespace {

using user_test::test_window;

class SessionWindows : public user_test::UserTest {
protected:
    std::string log_file() const { return root_.path() + "/received.log"; }

    std::vector<std::string> received() const {
        std::vector<std::string> lines;
        std::ifstream in(log_file());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // A window of another process, up and published.
    pid_t start_window(const char* class_name, const char* caption) {
        const pid_t pid =
            helper_process::start({"window", class_name, caption, log_file()}, "ui_helper");
        const std::wstring title(caption, caption + std::strlen(caption));
        EXPECT_TRUE(helper_process::eventually(
            [&] { return !received().empty() && FindWindowW(nullptr, title.c_str()); }));
        return pid;
    }

    // What the session folder holds of published windows.
    std::vector<std::string> session_files() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator(win_machine::session_dir() + "/windows", ignored))
            names.push_back(entry.path().filename().string());
        return names;
    }

    int post_from_other_process(const char* caption, UINT message, WPARAM wparam, LPARAM lparam) {
        return helper_process::run({"post", "CalvimoraTestWindow", caption, std::to_string(message),
                                    std::to_string(wparam), std::to_string(lparam)},
                                   "ui_helper");
    }
};

TEST_F(SessionWindows, AnotherProcesssWindowIsFoundAndGetsWhatIsPosted) {
    const pid_t pid = start_window("Calvimora tray menu", "Calvimora tray menu");
    HWND window = FindWindowW(L"calvimora TRAY menu", L"Calvimora tray menu");
    ASSERT_NE(window, nullptr);
    DWORD process = 0;
    EXPECT_NE(GetWindowThreadProcessId(window, &process), 0u);
    EXPECT_EQ(process, static_cast<DWORD>(pid));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(window) >> 32, static_cast<uintptr_t>(pid));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(FindWindowW(L"Calvimora tray menu", L"Another title"), nullptr);
    EXPECT_EQ(SendMessageW(window, WM_USER + 5, 1, 2), 0);

    EXPECT_TRUE(PostMessageW(window, WM_USER + 5, 7, -3));
    EXPECT_TRUE(PostMessageW(window, WM_USER + 2, 0, 0));
    EXPECT_TRUE(
        helper_process::eventually([&] { return FindWindowW(nullptr, L"Renamed") == window; }));
    EXPECT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(helper_process::wait(pid), 3);
    EXPECT_EQ(received(), (std::vector<std::string>{"ready", "1029 7 -3", "1026 0 0", "16 0 0"}));

    EXPECT_EQ(FindWindowW(nullptr, L"Renamed"), nullptr);
    EXPECT_FALSE(IsWindow(window));
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(window, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(session_files().empty());
}

TEST_F(SessionWindows, AKilledProcesssWindowsAreGoneForEveryone) {
    const pid_t pid = start_window("Calvimora tray menu", "Calvimora tray menu");
    HWND window = FindWindowW(nullptr, L"Calvimora tray menu");
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(session_files().empty());
    kill(pid, SIGKILL);
    helper_process::wait(pid);
    EXPECT_EQ(FindWindowW(nullptr, L"Calvimora tray menu"), nullptr);
    EXPECT_FALSE(PostMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(session_files().empty());  // whoever looked cleared the dead one's files
}

TEST_F(SessionWindows, OurWindowsGetWhatAnotherProcessPosts) {
    test_window window(test_window::with().named(L"Posted to"));
    EXPECT_EQ(post_from_other_process("Posted to", WM_USER + 6, 11, -12), 0);
    ASSERT_TRUE(win_test::pump_until([&] { return window.count(WM_USER + 6) == 1; }));
    const auto log = window.log();
    const auto posted = std::find_if(log.begin(), log.end(),
                                     [](const auto& r) { return r.message == WM_USER + 6; });
    EXPECT_EQ(posted->wparam, 11u);
    EXPECT_EQ(posted->lparam, -12);
    EXPECT_EQ(window.count(WM_USER + 9), 0u);  // the other process's send never came

    SetWindowTextW(window.hwnd(), L"New title");
    EXPECT_EQ(post_from_other_process("Posted to", WM_USER + 6, 0, 0), 1);
    EXPECT_EQ(post_from_other_process("New title", WM_USER + 6, 0, 0), 0);
    ASSERT_TRUE(win_test::pump_until([&] { return window.count(WM_USER + 6) == 2; }));

    // Children are not published; the last window gone takes our files.
    test_window child(test_window::with().styled(WS_CHILD | WS_VISIBLE).child_of(window.hwnd(), 5));
    EXPECT_EQ(session_files().size(), 3u);  // the window, our presence and our socket
    DestroyWindow(window.hwnd());
    EXPECT_EQ(post_from_other_process("New title", WM_USER + 6, 0, 0), 1);
    EXPECT_TRUE(session_files().empty());
}

// The answers file drives a program run as its own process, and the
// journals tell what it showed.
using ProgramAnswers = user_test::UserTest;

TEST_F(ProgramAnswers, AProgramOfItsOwnIsAnsweredFromTheFileAndJournalled) {
    const std::string answers = root_.path() + "/answers.txt";
    std::ofstream(answers) << "box Logoff anyway => no\n"
                              "menu Show Task Manager => 32774\n"
                              "dialog synchronizer => check 1052; press ok\n";
    setenv(win_test::answers_file_variable, answers.c_str(), 1);
    const int exit_code = helper_process::run({"show-all"}, "ui_helper");
    unsetenv(win_test::answers_file_variable);
    ASSERT_EQ(exit_code, 0);

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].answer, IDNO);
    EXPECT_EQ(boxes[0].answered_by, "file");
    const auto menus = win_test::menus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].chosen, 32774u);
    EXPECT_EQ(menus[0].answered_by, "file");
    ASSERT_EQ(menus[0].items.size(), 3u);
    EXPECT_EQ(menus[0].items[2].state, MF_CHECKED);
    const auto dialogs = win_test::dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].result, IDOK + 100);  // with the check box ticked
    EXPECT_EQ(dialogs[0].answered_by, "file");
    EXPECT_EQ(dialogs[0].template_name, "110");
    const auto tray = win_test::tray_journal();
    ASSERT_EQ(tray.size(), 2u);
    EXPECT_EQ(tray[0].operation, "add");
    EXPECT_EQ(tray[0].info, "Your storage is almost full");
    EXPECT_EQ(tray[0].info_title, "Calvimora");
    EXPECT_EQ(tray[1].operation, "delete");
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 1u);
    EXPECT_EQ(executions[0].file, "https://example.org/notice");
}

TEST_F(ProgramAnswers, ABalloonEndsByItselfAfterItsTimeOut) {
    setenv("CALVIMORA_TIME_SCALE", "0.005", 1);
    const int exit_code = helper_process::run({"balloon"}, "ui_helper");
    unsetenv("CALVIMORA_TIME_SCALE");
    EXPECT_EQ(exit_code, 0);
    const auto tray = win_test::tray_journal();
    ASSERT_EQ(tray.size(), 2u);
    EXPECT_EQ(tray[1].operation, "event");
    EXPECT_EQ(tray[1].flags, static_cast<UINT>(NIN_BALLOONTIMEOUT));
}

}  // namespace
