// The application object and the program's entry, and what Ctrl+C does to
// a program run on a terminal.
#include "win/afx_app.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "kernel/process_command_line.h"
#include "kernel/wide_text.h"
#include "windowing/tests/user_test_support.h"

namespace {

using Application = user_test::UserTest;

class probe_app : public CWinApp {
public:
    BOOL InitInstance() override {
        command_line = m_lpCmdLine;
        instance = m_hInstance;
        return 7;
    }
    std::wstring command_line;
    HINSTANCE instance = nullptr;
};

int run_with(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return AfxWinMain(static_cast<int>(argv.size()), argv.data());
}

TEST_F(Application, TheEntryRunsTheApplicationObjectWithItsCommandLine) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(run_with({"prog"}), 1) << "no application object";
    {
        probe_app app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_EQ(run_with({"prog", "/Install"}), 7);
        EXPECT_EQ(app.command_line, L"/Install");
        EXPECT_EQ(app.instance, GetModuleHandleW(nullptr));
        EXPECT_EQ(run_with({"prog"}), 7);
        EXPECT_EQ(app.command_line, L"");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST_F(Application, TheCommandLineReadsBackAsTheArgumentsItWasMadeOf) {
    // A blank, a quote or nothing at all in an argument makes it quoted, so
    // that "/Install " or a quoted "/Install" never reads as "/Install".
    const std::vector<std::string> tricky = {"prog",   "/Install ",   "",
                                             "a\"b",   "c\\",         "x y\\",
                                             "q\\\"r", "plain\\path", "\xC3\xA9t\xC3\xA9"};
    std::vector<char*> argv;
    std::vector<std::string> copies = tricky;
    for (std::string& argument : copies) argv.push_back(argument.data());
    const std::wstring line = win_afx::command_line_of(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line.substr(0, 12), L"\"/Install \" ");

    const std::vector<std::wstring> read = win_process::split_command_line(L"prog " + line);
    ASSERT_EQ(read.size(), tricky.size());
    for (size_t index = 1; index < tricky.size(); ++index)
        EXPECT_EQ(read[index], win_detail::from_utf8(tricky[index])) << "argument " << index;
}

// In a child process of its own (the interruption lasts for the process):
// standard input a pipe that stays open, so the box waits for the person.
void box_open_when_ctrl_c_comes() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) std::exit(10);
    dup2(pipe_ends[0], STDIN_FILENO);
    setenv("CALVIMORA_ANSWERS", "terminal", 1);

    class app : public CWinApp {
    public:
        BOOL InitInstance() override {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                raise(SIGINT);
            }).detach();
            const auto start = std::chrono::steady_clock::now();
            if (MessageBoxW(nullptr, L"Logoff anyway?", L"Calvimora", MB_YESNO) != IDNO) return 11;
            // Asked after Ctrl+C: answered at once.
            if (MessageBoxW(nullptr, L"Retry?", L"Calvimora", MB_RETRYCANCEL) != IDCANCEL)
                return 12;
            if (GetMessageW(&message, nullptr, 0, 0) != 0) return 13;  // WM_QUIT
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) return 14;
            return 0;
        }
    } application;
    char program[] = "prog";
    char* argv[] = {program};
    std::exit(AfxWinMain(1, argv));
}

TEST_F(Application, CtrlCOnATerminalAnswersNoAndEndsTheLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(box_open_when_ctrl_c_comes(), testing::ExitedWithCode(0), "");
}

}  // namespace
