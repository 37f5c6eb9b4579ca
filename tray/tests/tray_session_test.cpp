// The tick's log-in edges: the manager made for the user who logged in and
// gone when the session is.
#include "sync_window.h"
#include "tray_test_support.h"
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

}  // namespace
}  // namespace tray_testing
