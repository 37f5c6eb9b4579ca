// The hidden window, the tray icon and the balloons of the notifications.
#include <dlfcn.h>

#include <string>

#include "sync_window.h"
#include "tray_error.h"
#include "tray_test_support.h"
#include "win/process.h"
#include "win/user_icon.h"

namespace tray_testing {
namespace {

using TrayIcon = TrayContextTest;

TEST_F(TrayIcon, OpensHiddenWithTheLoggedOutIconAndTheProgressWindowInTheCorner) {
    const int icons_before = win_icons::live_icons();
    open();
    const HWND window = context_->GetWindow();
    EXPECT_EQ(win_test::class_name(window), L"Calvimora tray menu");
    EXPECT_EQ(win_test::text(window), L"Calvimora tray menu");
    EXPECT_FALSE(win_test::visible(window));
    EXPECT_EQ(FindWindowW(L"Calvimora tray menu", L"Calvimora tray menu"), window);

    ASSERT_TRUE(icon());
    EXPECT_EQ(icon()->icon_id, 129);
    EXPECT_EQ(icon()->callback_message, static_cast<UINT>(WM_USER + 1));
    EXPECT_TRUE(icon()->tip.empty());

    // 400 by 220, its right and bottom edges on the work area's.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT at = win_test::window_rect(window);
    GetMonitorInfoW(MonitorFromRect(&at, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT progress = win_test::window_rect(context_->GetSyncWindow().GetSafeHwnd());
    EXPECT_EQ(progress.right, monitor.rcWork.right);
    EXPECT_EQ(progress.bottom, monitor.rcWork.bottom);
    EXPECT_EQ(progress.right - progress.left, 400);
    EXPECT_EQ(progress.bottom - progress.top, 220);
    EXPECT_FALSE(win_test::visible(context_->GetSyncWindow().GetSafeHwnd()));

    context_.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(win_test::tray_icons().empty());
    EXPECT_EQ(win_icons::live_icons(), icons_before);
}

TEST_F(TrayIcon, ShowsLoggedInWhileAUserIsLoggedInOrTheAutomaticLogInRuns) {
    open();
    // Not asked for: the automatic log-in ends at once.
    EXPECT_TRUE(tick_until([&] { return icon()->icon_id == 129; }));

    session_.set_logged_in(true);
    tick();
    EXPECT_EQ(icon()->icon_id, 130);
    session_.set_logged_in(false);
    tick();
    EXPECT_EQ(icon()->icon_id, 129);

    // Asked for, with no saved login: the automatic log-in keeps trying.
    context_.reset();
    set_setting(L"AutoLogin", 1);
    open();
    tick();
    EXPECT_EQ(icon()->icon_id, 130);
}

TEST_F(TrayIcon, WhenTheShellForgotTheIconItIsAddedAgain) {
    open();
    win_test::forget_tray_icons();
    win_test::set_tray_modify_refused(true);
    win_test::clear_tray_journal();
    session_.set_logged_in(true);
    tick();

    ASSERT_TRUE(icon());
    EXPECT_EQ(icon()->icon_id, 130);
    const std::vector<win_test::tray_record> journal = win_test::tray_journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal[0].operation, "modify");
    EXPECT_FALSE(journal[0].succeeded);
    EXPECT_EQ(journal[1].operation, "add");
    EXPECT_TRUE(journal[1].succeeded);

    // The icon the tray now knows is removed at the end.
    context_.reset();
    EXPECT_TRUE(win_test::tray_icons().empty());
}

TEST_F(TrayIcon, TheNotificationsAreShownOneBalloonAfterAnother) {
    session_.set_notifications({{L"Welcome", L"Hello there.", L"https://example.com/welcome"},
                                {L"Storage", L"You use half of it.", L"https://example.com/plan"}});
    open();
    session_.set_logged_in(true);
    tick();

    ASSERT_TRUE(icon()->balloon);
    EXPECT_EQ(icon()->balloon->title, L"Welcome");
    EXPECT_EQ(icon()->balloon->text, L"Hello there.");
    EXPECT_EQ(icon()->balloon->timeout_ms, 30000u);
    EXPECT_EQ(icon()->balloon->flags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(icon()->icon_id, 130);

    icon_event(NIN_BALLOONTIMEOUT);
    ASSERT_TRUE(icon()->balloon);
    EXPECT_EQ(icon()->balloon->title, L"Storage");
    EXPECT_EQ(context_->GetCurrentNotification(), 1u);

    // Past the last one nothing is current, and later events change nothing.
    icon_event(NIN_BALLOONTIMEOUT);
    EXPECT_FALSE(icon()->balloon);
    EXPECT_FALSE(context_->GetCurrentNotification());
    EXPECT_EQ(icon()->balloons_shown, 2);
    EXPECT_TRUE(win_test::shell_executions().empty());
}

TEST_F(TrayIcon, BalloonEventsWithNoNotificationCurrentAreIgnored) {
    open();
    session_.set_logged_in(true);
    tick();  // an empty queue
    EXPECT_FALSE(context_->GetCurrentNotification());
    PostMessageW(context_->GetWindow(), CTrayContext::tray_message, 0, NIN_BALLOONUSERCLICK);
    PostMessageW(context_->GetWindow(), CTrayContext::tray_message, 0, NIN_BALLOONTIMEOUT);
    win_test::pump();
    EXPECT_TRUE(win_test::shell_executions().empty());
    EXPECT_TRUE(win_test::message_boxes().empty());

    // A new log-in replaces the queue and starts it again from its first entry.
    session_.set_notifications({{L"One", L"1", L""}, {L"Two", L"2", L""}});
    session_.set_logged_in(false);
    tick();
    session_.set_logged_in(true);
    tick();
    EXPECT_EQ(context_->GetCurrentNotification(), 0u);
    session_.set_notifications({});
    session_.set_logged_in(false);
    tick();
    session_.set_logged_in(true);
    tick();
    EXPECT_FALSE(context_->GetCurrentNotification());
    PostMessageW(context_->GetWindow(), CTrayContext::tray_message, 0, NIN_BALLOONTIMEOUT);
    win_test::pump();
    EXPECT_FALSE(context_->GetCurrentNotification());
}

TEST_F(TrayIcon, LongTitlesAndTextsAreCut) {
    const std::wstring title(61, L'T');
    const std::wstring text(256, L'x');
    session_.set_notifications({{title, text, L""}});
    open();
    session_.set_logged_in(true);
    tick();
    ASSERT_TRUE(icon()->balloon);
    EXPECT_EQ(icon()->balloon->title, title.substr(0, 60));
    EXPECT_EQ(icon()->balloon->text, text.substr(0, 255));
}

TEST_F(TrayIcon, ClickingABalloonOpensOnlyAWebAddress) {
    session_.set_notifications({{L"Plan", L"See the plans", L"HTTPS://example.com/plans?a=1"},
                                {L"Trap", L"A program", L"C:\\Windows\\System32\\calc.exe"},
                                {L"Trap", L"A local file", L"file:///etc/passwd"},
                                {L"Trap", L"No host", L"http://"},
                                {L"Trap", L"A blank inside", L"http://example.com/a b"},
                                {L"News", L"Read it", L"http://example.com/news"}});
    open();
    session_.set_logged_in(true);
    tick();
    for (int balloon = 0; balloon < 6; ++balloon) icon_event(NIN_BALLOONUSERCLICK);

    const std::vector<win_test::shell_execution> opened = win_test::shell_executions();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].verb, "open");
    EXPECT_EQ(opened[0].file, "HTTPS://example.com/plans?a=1");
    EXPECT_EQ(opened[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(opened[1].file, "http://example.com/news");
    EXPECT_FALSE(context_->GetCurrentNotification());
}

TEST_F(TrayIcon, WithoutItsIconsTheContextCannotBeMade) {
    // A module that holds none of the program's resources.
    void* library = dlopen(TRAY_TEST_FOLDER, RTLD_NOW);
    ASSERT_NE(library, nullptr);
    HMODULE other = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(dlsym(library, "DllCanUnloadNow")), &other));
    const int icons_before = win_icons::live_icons();
    try {
        CTrayContext context(other, session_);
        ADD_FAILURE() << "made without icons";
    } catch (const CTrayError& failure) {
        EXPECT_EQ(failure.Text(), L"Error loading icons");
    }
    EXPECT_EQ(win_icons::live_icons(), icons_before);
    dlclose(library);
}

TEST_F(TrayIcon, AMessageForAWindowWithoutContextShowsTheErrorBox) {
    WNDCLASSW stray{};
    stray.lpfnWndProc = CTrayContext::TrayWndProc;
    stray.hInstance = GetModuleHandleW(nullptr);
    stray.lpszClassName = L"stray tray";
    ASSERT_TRUE(RegisterClassW(&stray));
    const HWND window = CreateWindowW(L"stray tray", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(SendMessageW(window, WM_TIMER, 1, 0), 0);
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), 0);
    const std::vector<win_test::message_box> boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Error: pThis == NULL");
    EXPECT_EQ(boxes[0].caption, "Calvimora");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_SYSTEMMODAL | MB_ICONERROR));
    DestroyWindow(window);
    UnregisterClassW(L"stray tray", GetModuleHandleW(nullptr));
}

}  // namespace
}  // namespace tray_testing
