// The tray menu and the icon's clicks.
#include "sync_window.h"
#include "tray_resource_ids.h"
#include "tray_test_support.h"
#include "win/test_journal.h"

namespace tray_testing {
namespace {

using TrayMenu = TrayContextTest;

constexpr UINT grayed = MF_GRAYED | MF_DISABLED;

TEST_F(TrayMenu, LogInAndLogOutAreGrayedByTheLogInState) {
    open();
    ASSERT_TRUE(tick_until([&] { return icon()->icon_id == 129; }));
    right_click_choosing(0);
    EXPECT_EQ(shown_state(ID_TRAY_LOG_IN) & grayed, 0u) << "logged out";
    EXPECT_EQ(shown_state(ID_TRAY_LOG_OUT) & grayed, grayed);

    session_.set_logged_in(true);
    tick();
    right_click_choosing(0);
    EXPECT_EQ(shown_state(ID_TRAY_LOG_IN) & grayed, grayed) << "logged in";
    EXPECT_EQ(shown_state(ID_TRAY_LOG_OUT) & grayed, 0u);

    // Logging in: the automatic log-in runs (asked for, no saved login yet).
    context_.reset();
    session_.set_logged_in(false);
    set_setting(L"AutoLogin", 1);
    open();
    right_click_choosing(0);
    EXPECT_EQ(shown_state(ID_TRAY_LOG_IN) & grayed, grayed) << "logging in";
    EXPECT_EQ(shown_state(ID_TRAY_LOG_OUT) & grayed, 0u);
    EXPECT_EQ(win_test::menus().back().flags & TPM_RETURNCMD, static_cast<UINT>(TPM_RETURNCMD));
}

TEST_F(TrayMenu, ShowTaskManagerFollowsAutoShowMgrAndWritesIt) {
    open();
    EXPECT_TRUE(context_->GetSyncWindow().IsAutoShow()) << "missing counts as on";
    right_click_choosing(ID_TRAY_SHOW_TASK_MANAGER);
    EXPECT_EQ(shown_state(ID_TRAY_SHOW_TASK_MANAGER) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(read_setting(L"AutoShowMgr"), 0u);
    EXPECT_FALSE(context_->GetSyncWindow().IsAutoShow());

    right_click_choosing(ID_TRAY_SHOW_TASK_MANAGER);
    EXPECT_EQ(shown_state(ID_TRAY_SHOW_TASK_MANAGER) & MF_CHECKED, 0u);
    EXPECT_EQ(read_setting(L"AutoShowMgr"), 1u);
    EXPECT_TRUE(context_->GetSyncWindow().IsAutoShow());

    // A later start reads it into the progress window.
    set_setting(L"AutoShowMgr", 0);
    context_.reset();
    open();
    EXPECT_FALSE(context_->GetSyncWindow().IsAutoShow());
}

TEST_F(TrayMenu, LogInOpensTheFolderAndTicksAtOnce) {
    open();
    session_.set_folder_logs_in(true);
    right_click_choosing(ID_TRAY_LOG_IN);
    EXPECT_EQ(session_.folder_openings(), 1);
    // The tick right after the menu found the new log-in.
    EXPECT_TRUE(context_->GetSyncWindow().HasManager());
    EXPECT_EQ(icon()->icon_id, 130);
}

TEST_F(TrayMenu, LogOutAsksWhileTasksAreQueuedAndLogsOffOnYes) {
    set_setting(L"AutoLogin", 1);
    session_.set_logged_in(true);
    open();
    tick();
    ASSERT_TRUE(context_->GetSyncWindow().HasManager());
    engines_->set_tasks({make_task(L"report.txt", syncer::task::state_queued)});

    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    right_click_choosing(ID_TRAY_LOG_OUT);
    const std::vector<std::string> boxes = box_texts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Calvimora still has synchronization tasks queued. Logoff anyway?");
    EXPECT_EQ(session_.log_offs(), 1);
    EXPECT_FALSE(context_->GetSyncWindow().HasManager());
    EXPECT_EQ(engines_->alive(), 0);
    EXPECT_EQ(icon()->icon_id, 129) << "the automatic log-in ended with Log Out";
    tick();
    EXPECT_EQ(icon()->icon_id, 129);
}

TEST_F(TrayMenu, LogOutAnsweredNoStaysLoggedInWithoutTheAutomaticLogIn) {
    set_setting(L"AutoLogin", 1);
    session_.set_logged_in(true);
    open();
    tick();
    engines_->set_tasks({make_task(L"report.txt", syncer::task::state_queued)});

    win_test::scoped_message_box_responder no(
        [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
    right_click_choosing(ID_TRAY_LOG_OUT);
    EXPECT_EQ(session_.log_offs(), 0);
    EXPECT_TRUE(context_->GetSyncWindow().HasManager());

    // Logged out elsewhere later: nothing logs in by itself again.
    session_.set_logged_in(false);
    tick();
    EXPECT_EQ(icon()->icon_id, 129);
    right_click_choosing(0);
    EXPECT_EQ(shown_state(ID_TRAY_LOG_IN) & grayed, 0u);
}

TEST_F(TrayMenu, TheIconsClicks) {
    open();
    // No manager: a click shows nothing.
    icon_event(WM_LBUTTONDOWN);
    EXPECT_FALSE(win_test::visible(context_->GetSyncWindow().GetSafeHwnd()));

    icon_event(WM_LBUTTONDBLCLK);
    EXPECT_EQ(session_.folder_openings(), 1);

    // A manager with an empty list: still nothing to show.
    session_.set_logged_in(true);
    tick();
    icon_event(WM_LBUTTONDOWN);
    EXPECT_FALSE(win_test::visible(context_->GetSyncWindow().GetSafeHwnd()));
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(TrayMenu, TheEndOfTheWindowsSessionIsVetoedWhileTheUserKeepsTheTasks) {
    session_.set_logged_in(true);
    open();
    const HWND window = context_->GetWindow();
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE) << "no manager yet";

    tick();
    engines_->set_tasks({make_task(L"report.txt", syncer::task::state_running)});
    {
        win_test::scoped_message_box_responder no(
            [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
        EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), FALSE);
    }
    EXPECT_TRUE(context_->GetSyncWindow().HasManager());
    {
        win_test::scoped_message_box_responder yes(
            [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
        EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE);
    }
    EXPECT_FALSE(context_->GetSyncWindow().HasManager());
}

}  // namespace
}  // namespace tray_testing
