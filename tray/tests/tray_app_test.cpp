// The program's start-up: the two options, one instance per session, and
// failures shown in the error box.
#include "tray_app.h"

#include <atomic>
#include <memory>
#include <thread>

#include "tray_test_support.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/test_journal.h"

namespace tray_testing {
namespace {

const wchar_t* const run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const tray_window = L"Calvimora tray menu";

std::optional<std::wstring> run_entry() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, run_key, &key) != ERROR_SUCCESS) return std::nullopt;
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    const LONG status = RegQueryValueExW(key, L"Calvimora Tray", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(path);
}

bool tray_mutex_exists() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

void CALLBACK end_program(HWND, UINT, UINT_PTR timer, DWORD) {
    if (const HWND window = FindWindowW(tray_window, tray_window)) {
        KillTimer(nullptr, timer);
        PostMessageW(window, WM_DESTROY, 0, 0);
    }
}

// Ends the program's loop from inside it once its window is there, as
// "/Uninstall" of another instance does.
void end_once_open() {
    SetTimer(nullptr, 0, 20, end_program);
}

class TrayProgram : public TrayTest {
protected:
    ~TrayProgram() override { win_test::refuse_timers_for_class(L""); }

    int run(const std::wstring& command_line) {
        return RunTrayProgram(GetModuleHandleW(nullptr), command_line, session_);
    }

    scripted_session session_;
};

TEST_F(TrayProgram, OnlyTheExactOptionsInstall) {
    for (const wchar_t* near_miss :
         {L"/install", L"/Install ", L"/Install x", L"\"/Install\"", L"-Install", L"/INSTALL"}) {
        win_test::clear_tray_journal();
        end_once_open();
        EXPECT_EQ(run(near_miss), 0) << "started with " << near_miss;
        EXPECT_FALSE(win_test::tray_journal().empty()) << near_miss << " did not start normally";
        EXPECT_FALSE(run_entry()) << near_miss << " installed";
        EXPECT_FALSE(tray_mutex_exists()) << "another instance could not start after it";
        EXPECT_TRUE(win_test::tray_icons().empty());
        drain_queue();
    }

    win_test::clear_tray_journal();
    EXPECT_EQ(run(L"/Install"), 0);
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    EXPECT_EQ(run_entry(), std::wstring(program));
    EXPECT_TRUE(win_test::tray_journal().empty()) << "an option started the program";
}

TEST_F(TrayProgram, UninstallWithNoTrayRunningStartsNoneAndRemovesTheEntry) {
    ASSERT_EQ(run(L"/Install"), 0);
    ASSERT_TRUE(run_entry());
    session_.set_logged_in(true);

    EXPECT_EQ(run(L"/Uninstall"), 0);
    EXPECT_FALSE(run_entry());
    EXPECT_EQ(session_.logged_in_tests(), 0) << "the log-in test would start a tray program";
    EXPECT_EQ(session_.log_offs(), 0);
    EXPECT_FALSE(tray_mutex_exists());
    EXPECT_TRUE(win_test::message_boxes().empty());

    EXPECT_EQ(run(L"/Uninstall"), 0) << "nothing left to remove";
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(TrayProgram, UninstallLogsOffAndEndsARunningTrayEvenOneStillStarting) {
    ASSERT_EQ(run(L"/Install"), 0);
    session_.set_logged_in(true);
    // The running tray program makes its window only after a while, and
    // its mutex goes when it ends.
    auto running = std::make_unique<held_tray_mutex>();
    std::atomic<bool> told_to_end{false};
    std::thread tray([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_DESTROY) PostQuitMessage(0);
            return DefWindowProcW(w, m, wp, lp);
        };
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = tray_window;
        RegisterClassW(&window_class);
        const HWND window = CreateWindowW(tray_window, tray_window, 0, 0, 0, 10, 10, nullptr,
                                          nullptr, GetModuleHandleW(nullptr), nullptr);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        told_to_end = true;
        DestroyWindow(window);
        UnregisterClassW(tray_window, GetModuleHandleW(nullptr));
        running.reset();
    });

    EXPECT_EQ(run(L"/Uninstall"), 0);
    EXPECT_TRUE(told_to_end) << "/Uninstall ends after the program it ended";
    EXPECT_FALSE(tray_mutex_exists());
    EXPECT_EQ(session_.log_offs(), 1);
    EXPECT_FALSE(run_entry());
    tray.join();
}

TEST_F(TrayProgram, UninstallWhileTheAutomaticLogInRunsLeavesNobodyLoggedIn) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    std::atomic<bool> logging_in{false};
    session_.set_login([&](const std::wstring& user, const std::wstring&) {
        logging_in = true;
        // The service answers slowly: "/Uninstall" comes while it logs in.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        session_.set_user(user);
        session_.set_logged_in(true);
    });
    std::thread tray([&] { run(L""); });
    ASSERT_TRUE(eventually([&] { return logging_in.load(); }));

    EXPECT_EQ(run(L"/Uninstall"), 0);
    tray.join();
    EXPECT_FALSE(session_.IsLoggedIn()) << "the log-in ended after the log-off";
    EXPECT_EQ(session_.log_offs(), 1);
    EXPECT_EQ(session_.logins().size(), 1u) << "logged in again after the log-off";
    EXPECT_FALSE(tray_mutex_exists());
}

TEST_F(TrayProgram, ASecondInstanceEndsAtOnceAndSilently) {
    const held_tray_mutex first;
    win_test::clear_tray_journal();
    EXPECT_EQ(run(L""), 0);
    EXPECT_TRUE(win_test::message_boxes().empty());
    EXPECT_TRUE(win_test::tray_journal().empty());
    EXPECT_EQ(FindWindowW(tray_window, tray_window), nullptr);
}

TEST_F(TrayProgram, ATimerThatCannotBeHadIsShownAndEndsTheProgramWithItsIcon) {
    win_test::refuse_timers_for_class(tray_window);
    win_test::clear_tray_journal();
    EXPECT_EQ(run(L""), -1);

    const std::vector<win_test::message_box> boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error running tray menu - can't create timer");
    EXPECT_EQ(boxes[0].caption, "Calvimora");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_SYSTEMMODAL | MB_ICONERROR));
    const std::vector<win_test::tray_record> journal = win_test::tray_journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].operation, "add");
    EXPECT_EQ(journal[1].operation, "delete");
    EXPECT_TRUE(win_test::tray_icons().empty());
    EXPECT_EQ(FindWindowW(tray_window, tray_window), nullptr);
    EXPECT_FALSE(tray_mutex_exists());
}

}  // namespace
}  // namespace tray_testing
