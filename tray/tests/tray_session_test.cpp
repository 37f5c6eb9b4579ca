// The tick's log-in edges: the manager made for the user who logged in and
// gone when the session is.
#include "sync_rows.h"
#include "sync_window.h"
#include "tray_resource_ids.h"
#include "tray_test_support.h"
#include "utils/time_scale.h"
#include "win/test_journal.h"

namespace tray_testing {
namespace {

using TraySession = TrayContextTest;

TEST_F(TraySession, TheManagerIsMadeForTheUserWhoLoggedInAndGoesWithTheSession) {
    open();
    tick();
    EXPECT_TRUE(engines_->made_for().empty());

    session_.set_user(L"alice");
    session_.set_logged_in(true);
    tick();
    tick();
    EXPECT_EQ(engines_->made_for(), std::vector<std::wstring>{L"alice"});
    EXPECT_TRUE(context_->GetSyncWindow().HasManager());

    session_.set_logged_in(false);
    tick();
    EXPECT_FALSE(context_->GetSyncWindow().HasManager());
    EXPECT_EQ(engines_->alive(), 0);
}

TEST_F(TraySession, AtTheLoggedOutEdgeTheManagerGoesWithoutAQuestion) {
    open();
    session_.set_logged_in(true);
    tick();
    engines_->set_tasks({make_task(L"report.txt", syncer::task::state_queued),
                         make_task(L"notes.txt", syncer::task::state_running)});
    const RECT before = win_test::window_rect(context_->GetSyncWindow().GetSafeHwnd());
    context_->GetSyncWindow().SetAutoShow(false);

    // The session is already over: there is nobody to ask whether to end it.
    session_.set_logged_in(false);
    tick();
    EXPECT_TRUE(win_test::message_boxes().empty());
    EXPECT_FALSE(context_->GetSyncWindow().HasManager());
    EXPECT_EQ(engines_->alive(), 0);
    // The progress window stays where it was, as it was set.
    const RECT after = win_test::window_rect(context_->GetSyncWindow().GetSafeHwnd());
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_FALSE(context_->GetSyncWindow().IsAutoShow());
}

TEST_F(TraySession, AnotherUsersLogInGetsAManagerOfItsOwn) {
    open();
    session_.set_user(L"alice");
    session_.set_logged_in(true);
    tick();
    engines_->set_tasks({make_task(L"report.txt", syncer::task::state_queued)});
    win_test::scoped_message_box_responder no(
        [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
    session_.set_logged_in(false);
    tick();
    session_.set_user(L"bob");
    session_.set_logged_in(true);
    tick();

    EXPECT_EQ(engines_->made_for(), (std::vector<std::wstring>{L"alice", L"bob"}));
    EXPECT_EQ(engines_->alive(), 1);
}

TEST_F(TraySession, WithoutAUserNameNothingIsMadeAndTheNextTickTriesAgain) {
    open();
    session_.set_user(L"");
    session_.set_logged_in(true);
    session_.set_notifications({{L"Welcome", L"Hello", L""}});
    tick();
    EXPECT_TRUE(engines_->made_for().empty());
    EXPECT_FALSE(icon()->balloon);
    EXPECT_EQ(icon()->icon_id, 130);

    session_.set_user(L"alice");
    tick();
    EXPECT_EQ(engines_->made_for(), std::vector<std::wstring>{L"alice"});
    EXPECT_TRUE(icon()->balloon);
}

// Boxes run the thread's messages, the tray's tick among them. When the tick
// sees the log-out while one of the progress window's own boxes is open,
// the engine ends but the window stays: the box returns to it.
class TraySessionUnderABox : public TrayContextTest {
protected:
    // Logged in with a running task shown in the window.
    void syncing() {
        open();
        session_.set_logged_in(true);
        tick();
        ASSERT_EQ(engines_->alive(), 1);
        engines_->set_tasks({make_task(L"report.txt", syncer::task::state_running)});
        window().tasks_changed();
        win_test::pump();
        ASSERT_GT(window().GetTaskList().RowCount(), 0);
        window_before_ = window().GetSafeHwnd();
    }

    CCMSyncWindow& window() { return context_->GetSyncWindow(); }

    // Answers every box; under the first one the session ends elsewhere and
    // the tick runs before the answer.
    win_test::message_box_responder logging_out_under_the_box(int answer) {
        return [this, answer](const std::wstring& text, const std::wstring&, UINT) {
            texts_.push_back(text);
            if (texts_.size() == 1) {
                session_.set_logged_in(false);
                EXPECT_TRUE(win_test::fire_timer(context_->GetWindow(), 1));
                win_test::pump();
            }
            return answer;
        };
    }

    // The engine went, the window did not, and the next log-in syncs again.
    void expect_engine_ended_and_window_kept() {
        EXPECT_EQ(engines_->alive(), 0);
        EXPECT_FALSE(window().HasManager());
        EXPECT_EQ(window().GetSafeHwnd(), window_before_);
        EXPECT_TRUE(IsWindow(window_before_));
        win_test::pump();
        EXPECT_EQ(window().GetTaskList().RowCount(), 0);
        session_.set_logged_in(true);
        tick();
        EXPECT_EQ(engines_->alive(), 1);
    }

    HWND window_before_ = nullptr;
    std::vector<std::wstring> texts_;
};

TEST_F(TraySessionUnderABox, TheLogOutEdgeUnderLogoffAnyway) {
    syncing();
    win_test::scoped_message_box_responder yes(logging_out_under_the_box(IDYES));
    right_click_choosing(ID_TRAY_LOG_OUT);
    ASSERT_EQ(texts_.size(), 1u);
    EXPECT_EQ(texts_[0], L"Calvimora still has synchronization tasks queued. Logoff anyway?");
    EXPECT_EQ(session_.log_offs(), 0);  // the session was over already
    expect_engine_ended_and_window_kept();
}

TEST_F(TraySessionUnderABox, TheLogOutEdgeUnderTheCancelQuestion) {
    syncing();
    const CCMListCtrlItem* task_row = nullptr;
    for (const auto& row : window().GetTaskList().GetRows())
        if (const auto* item = dynamic_cast<const CCMListCtrlItem*>(row.get())) task_row = item;
    ASSERT_NE(task_row, nullptr);
    win_test::scoped_message_box_responder yes(logging_out_under_the_box(IDYES));
    // What the row's Cancel button sends.
    SendMessageW(window().GetSafeHwnd(), row_cancel_message,
                 reinterpret_cast<WPARAM>(&task_row->GetTask()), 0);
    ASSERT_EQ(texts_.size(), 1u);
    EXPECT_EQ(texts_[0],
              L"This file or folder will no longer be syncronized. Do you wish to cancel?");
    // Nothing was left to cancel, so Explorer is told nothing.
    EXPECT_TRUE(win_test::shell_notifications().empty());
    expect_engine_ended_and_window_kept();
}

TEST_F(TraySessionUnderABox, TheLogOutEdgeUnderAnErrorBox) {
    syncing();
    engines_->set_failing(true);
    win_test::scoped_message_box_responder ok(logging_out_under_the_box(IDOK));
    SendMessageW(window().GetSafeHwnd(), WM_COMMAND,
                 MAKEWPARAM(CCMSyncWindow::stop_all_button_id, BN_CLICKED), 0);
    ASSERT_EQ(texts_.size(), 1u);
    EXPECT_EQ(texts_[0], L"Error stopping syncing");
    engines_->set_failing(false);
    expect_engine_ended_and_window_kept();
}

// The answer to "Logoff anyway?" was about the tasks of the engine that
// the box was opened for: another user's engine, begun under the box, is
// asked about anew.
TEST_F(TraySessionUnderABox, AnotherUsersEngineBegunUnderTheBoxIsAskedAboutAnew) {
    syncing();
    int boxes = 0;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            if (++boxes == 1) {
                session_.set_logged_in(false);
                EXPECT_TRUE(win_test::fire_timer(context_->GetWindow(), 1));
                win_test::pump();
                session_.set_user(L"bob");
                session_.set_logged_in(true);
                EXPECT_TRUE(win_test::fire_timer(context_->GetWindow(), 1));
                win_test::pump();
                return IDYES;
            }
            return IDNO;
        });
    right_click_choosing(ID_TRAY_LOG_OUT);
    EXPECT_EQ(boxes, 2);
    EXPECT_EQ(engines_->made_for(), (std::vector<std::wstring>{L"alice", L"bob"}));
    EXPECT_EQ(engines_->alive(), 1);
    EXPECT_TRUE(window().HasManager());
    EXPECT_EQ(session_.log_offs(), 0);
}

TEST_F(TraySession, AManagerThatCannotBeMadeIsToldOnceAndTriedAgainAfterAMinute) {
    const auto minute = utils::scaled(CTrayContext::start_retry_interval);
    const auto second = utils::scaled(std::chrono::seconds(1));
    open();
    engines_->set_refusing(true);
    session_.set_logged_in(true);
    tick();
    EXPECT_EQ(engines_->attempts(), 1);
    EXPECT_EQ(box_texts(), std::vector<std::string>{
                               "Error starting syncing\r\nthe settings folder cannot be made"});
    ASSERT_FALSE(win_test::message_boxes().empty());
    EXPECT_EQ(win_test::message_boxes()[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(icon()->icon_id, 130);

    advance(minute - second);
    tick();
    EXPECT_EQ(engines_->attempts(), 1);
    advance(2 * second);
    tick();
    EXPECT_EQ(engines_->attempts(), 2);
    EXPECT_EQ(win_test::message_boxes().size(), 1u);  // told once, not every minute

    engines_->set_refusing(false);
    tick();
    EXPECT_FALSE(context_->GetSyncWindow().HasManager());
    advance(minute);
    tick();
    EXPECT_EQ(engines_->attempts(), 3);
    EXPECT_TRUE(context_->GetSyncWindow().HasManager());
    advance(2 * minute);
    tick();
    EXPECT_EQ(engines_->attempts(), 3);

    // A log-out ends the retrying; the next log-in tells a failure again.
    session_.set_logged_in(false);
    tick();
    engines_->set_refusing(true);
    session_.set_logged_in(true);
    tick();
    EXPECT_EQ(win_test::message_boxes().size(), 2u);
}

}  // namespace
}  // namespace tray_testing
