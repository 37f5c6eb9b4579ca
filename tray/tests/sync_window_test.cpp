// The sync window over a scripted engine: the refresh, the big buttons, the
// rows' buttons, Cancel, and the ends of syncing, with boxes answered by
// scripts that run other messages first, as a person's box would.
#include <filesystem>

#include "serializer/exceptions.h"
#include "sync_test_support.h"
#include "syncer/core/exceptions.h"
#include "win/shell.h"

namespace sync_test {
namespace {

using syncer::task;

using RefreshRules = SyncWindowTest;
using Buttons = SyncWindowTest;
using CancelQuestion = SyncWindowTest;
using EndOfSyncing = SyncWindowTest;

// A pair whose tasks stand without a group row.
const syncer::binding saved =
    sync_samples::folder_pair(L"Calvimora", L"C:\\Saved", syncer::binding::type_saved_files);

// The list fills the frame's inside; the buttons keep to their corners.
TEST_F(RefreshRules, TheControlsFollowTheWindowsSize) {
    EXPECT_EQ(window.GetTaskList().GetRect(), CRect(5, 30, 395, 192));
    EXPECT_EQ(window.GetCloseButton().GetRect(), CRect(376, 4, 396, 24));
    EXPECT_EQ(window.GetStopAllButton().GetRect(), CRect(307, 197, 389, 215));
    EXPECT_EQ(window.GetResumeAllButton().GetRect(), window.GetStopAllButton().GetRect());
    CRect place;
    window.GetWindowRect(&place);
    place.left -= 100;
    place.top -= 100;
    window.Redraw(place, CRect(0, 0, place.Width(), place.Height()));
    win_test::pump();
    EXPECT_EQ(window.GetTaskList().GetRect(), CRect(5, 30, 495, 292));
    EXPECT_EQ(window.GetCloseButton().GetRect(), CRect(476, 4, 496, 24));
    EXPECT_EQ(window.GetStopAllButton().GetRect(), CRect(407, 297, 489, 315));
}

TEST_F(RefreshRules, RowsAppearWithTheWindowAndGoWithIt) {
    scripted_engine& e = start({task_in(pair, L"a", task::state_queued)});
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 0);
    EXPECT_FALSE(window.IsWindowVisible());
    // Only when rows are there does the tray icon's click show anything.
    window.BringToFront();
    EXPECT_FALSE(window.IsWindowVisible());

    e.set_tasks(
        {task_in(pair, L"a", task::state_running), task_in(saved, L"b", task::state_running)});
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 2);
    EXPECT_EQ(groups().size(), 1u);
    EXPECT_EQ(plain_rows().size(), 1u);
    EXPECT_TRUE(window.IsWindowVisible());

    // Closed by the person, shown again only by more rows.
    click(window.GetCloseButton());
    EXPECT_FALSE(window.IsWindowVisible());
    refresh();
    EXPECT_FALSE(window.IsWindowVisible());
    window.SetAutoShow(false);
    e.tasks.push_back(task_in(saved, L"c", task::state_running));
    refresh();
    EXPECT_FALSE(window.IsWindowVisible());
    window.BringToFront();
    EXPECT_TRUE(window.IsWindowVisible());

    e.tasks.clear();
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 0);
    EXPECT_FALSE(window.IsWindowVisible());
}

// The pictures a person's run keeps of the window are named after it.
TEST_F(RefreshRules, ThePicturesOfTheWindowAreNamedAfterIt) {
    const std::string folder = root_.path() + "/pictures";
    setenv("CALVIMORA_SNAPSHOT_DIR", folder.c_str(), 1);
    start({task_in(pair, L"a", task::state_running)});
    refresh();
    win_test::pump();
    unsetenv("CALVIMORA_SNAPSHOT_DIR");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("Calvimora-Sync_tasks-", 0), 0u) << names[0];
}

TEST_F(RefreshRules, ResumeAllReplacesStopAllWhenEveryTaskIsStopped) {
    scripted_engine& e = start();
    refresh();
    EXPECT_TRUE(shows(window.GetStopAllButton()));
    EXPECT_FALSE(shows(window.GetResumeAllButton()));
    e.set_tasks(
        {task_in(pair, L"a", task::state_stopped), task_in(saved, L"b", task::state_stopped)});
    refresh();
    EXPECT_FALSE(shows(window.GetStopAllButton()));
    EXPECT_TRUE(shows(window.GetResumeAllButton()));
    e.tasks.push_back(task_in(saved, L"c", task::state_failed));
    refresh();
    EXPECT_TRUE(shows(window.GetStopAllButton()));
    EXPECT_FALSE(shows(window.GetResumeAllButton()));
}

TEST_F(RefreshRules, ABusyOrFailingTaskListKeepsTheRowsAsTheyWere) {
    scripted_engine& e = start({task_in(saved, L"a", task::state_running)});
    refresh();
    ASSERT_EQ(window.GetTaskList().RowCount(), 1);
    e.tasks.clear();
    e.failures.push_back(std::make_exception_ptr(syncer::busy_exception("test", L"busy")));
    e.failures.push_back(std::make_exception_ptr(serializer::serializer_exception("test", "bad")));
    refresh();
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 1);
    EXPECT_TRUE(win_test::message_boxes().empty());
    // The timer refreshes too.
    win_test::fire_timer(window, CCMSyncWindow::refresh_timer_id);
    win_test::pump();
    EXPECT_EQ(window.GetTaskList().RowCount(), 0);
}

// The error box of a failed refresh runs the window's messages, the refresh
// timer's among them: the refresh inside it is skipped, not waited for.
TEST_F(RefreshRules, ARefreshInsideTheErrorBoxOfARefreshIsSkipped) {
    scripted_engine& e = start({task_in(saved, L"a", task::state_running)});
    window.failing_shows = 1;
    int calls_in_box = -1;
    std::wstring box_text;
    {
        win_test::scoped_message_box_responder script(
            [&](const std::wstring& text, const std::wstring&, UINT) {
                box_text = text;
                const int before = e.get_tasks_calls;
                win_test::fire_timer(window, CCMSyncWindow::refresh_timer_id);
                window.tasks_changed();
                win_test::pump();
                calls_in_box = e.get_tasks_calls - before;
                return IDOK;
            });
        refresh();
    }
    EXPECT_EQ(box_text, L"Error updating task info");
    EXPECT_EQ(calls_in_box, 0);
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 1);
}

TEST_F(Buttons, TheBigButtonsStopAndResumeEverythingAndTellFailures) {
    scripted_engine& e = start({task_in(saved, L"a", task::state_running)});
    refresh();
    ASSERT_TRUE(window.IsWindowVisible());
    int reads = e.get_tasks_calls;
    click(window.GetStopAllButton());
    EXPECT_EQ(e.stop_all_calls, 1);
    EXPECT_GT(e.get_tasks_calls, reads);  // and the list follows

    e.set_tasks({task_in(saved, L"a", task::state_stopped)});
    refresh();
    click(window.GetResumeAllButton());
    EXPECT_EQ(e.resume_all_calls, 1);

    e.operation_failure = std::make_exception_ptr(std::runtime_error("engine gone"));
    std::vector<std::wstring> texts;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring& text, const std::wstring&, UINT type) {
            texts.push_back(text);
            EXPECT_EQ(type, static_cast<UINT>(MB_OK));
            return IDOK;
        });
    click(window.GetResumeAllButton());
    e.set_tasks({task_in(saved, L"a", task::state_running)});
    refresh();
    click(window.GetStopAllButton());
    EXPECT_EQ(texts,
              (std::vector<std::wstring>{L"Error restarting syncing", L"Error stopping syncing"}));
}

TEST_F(Buttons, EachRowsButtonsActOnItsTaskOrItsWholePair) {
    scripted_engine& e = start({task_in(pair, L"in the pair", task::state_running),
                                task_in(saved, L"alone", task::state_running)});
    refresh();
    ASSERT_EQ(plain_rows().size(), 1u);
    ASSERT_EQ(groups().size(), 1u);
    // A row inside a group has no buttons of its own.
    const auto* child = dynamic_cast<CCMListCtrlItem*>(groups()[0]->GetRows()[0].get());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->GetStopButton(), nullptr);

    click(*plain_rows()[0]->GetStopButton());
    click(groups()[0]->GetStopButton());
    EXPECT_EQ(e.stopped_tasks, std::vector<std::wstring>{L"alone"});
    ASSERT_EQ(e.stopped_bindings.size(), 1u);
    EXPECT_TRUE(e.stopped_bindings[0].is_same_as(pair));

    e.set_tasks({task_in(pair, L"in the pair", task::state_stopped),
                 task_in(saved, L"alone", task::state_failed)});
    refresh();
    EXPECT_TRUE(shows(*plain_rows()[0]->GetCancelButton()));
    EXPECT_FALSE(shows(*plain_rows()[0]->GetStopButton()));
    EXPECT_TRUE(shows(groups()[0]->GetCancelButton()));
    click(*plain_rows()[0]->GetResumeButton());
    click(groups()[0]->GetResumeButton());
    EXPECT_EQ(e.restarted_tasks, std::vector<std::wstring>{L"alone"});
    ASSERT_EQ(e.resumed_bindings.size(), 1u);
    EXPECT_TRUE(e.resumed_bindings[0].is_same_as(pair));

    // A failing engine is not the person's business: no box, nothing more.
    e.operation_failure = std::make_exception_ptr(std::runtime_error("engine gone"));
    click(*plain_rows()[0]->GetResumeButton());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

// Stop and Resume are pressed on a row's button, which is still on its way
// out of its click when the window handles the message: the rows must still
// be there then, and follow the engine right after.
TEST_F(Buttons, RowsAreRebuiltOnlyOnceTheRowsMessageIsHandled) {
    scripted_engine& e = start({task_in(saved, L"a", task::state_running)});
    refresh();
    const int reads_before = e.get_tasks_calls;
    int reads_while_handling = -1;
    window.after_row_message = [&](UINT) {
        reads_while_handling = e.get_tasks_calls - reads_before;
    };
    e.set_tasks({task_in(saved, L"a", task::state_stopped)});
    click(*plain_rows()[0]->GetStopButton());
    EXPECT_EQ(reads_while_handling, 0);
    EXPECT_TRUE(shows(*plain_rows()[0]->GetResumeButton()));
}

// Row messages carry pointers; one that points at no row of the list now
// (another process can post anything to a top-level window) is dropped.
TEST_F(Buttons, AMessageThatNamesNoRowIsIgnored) {
    scripted_engine& e = start({task_in(saved, L"a", task::state_stopped)});
    refresh();
    syncer::binding stray = pair;
    window.SendMessage(row_stop_message, reinterpret_cast<WPARAM>(&stray), 1);
    window.SendMessage(row_cancel_message, 12345, 0);
    PostMessageW(window, row_resume_message, 0x7fff0000, 0);
    // A group's binding is no task.
    window.SendMessage(row_stop_message,
                       reinterpret_cast<WPARAM>(&plain_rows()[0]->GetTask().get_binding()), 0);
    win_test::pump();
    EXPECT_TRUE(e.stopped_bindings.empty());
    EXPECT_TRUE(e.stopped_tasks.empty());
    EXPECT_TRUE(e.restarted_tasks.empty());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(CancelQuestion, NoChangesNothingAndYesEndsThePairForExplorerToo) {
    scripted_engine& e = start({task_in(pair, L"a", task::state_stopped)});
    refresh();
    int answer = IDNO;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) { return answer; });
    win_test::clear_shell_notifications();
    click(groups()[0]->GetCancelButton());
    EXPECT_TRUE(e.removed_bindings.empty());
    EXPECT_TRUE(win_test::shell_notifications().empty());

    answer = IDYES;
    click(groups()[0]->GetCancelButton());
    ASSERT_EQ(e.removed_bindings.size(), 1u);
    EXPECT_TRUE(e.removed_bindings[0].is_same_as(pair));
    const auto notified = win_test::shell_notifications();
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(notified[0].event, SHCNE_ASSOCCHANGED);

    const auto asked = win_test::message_boxes();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text,
              "This file or folder will no longer be syncronized. Do you wish to cancel?");
    EXPECT_EQ(asked[0].caption, "Calvimora synchronizer");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
}

// While the question is up the refresh timer fires and a refresh arrives:
// every row is rebuilt under the question. The answer still acts on the pair
// that was asked about (and under the sanitizer nothing reads a freed row).
TEST_F(CancelQuestion, TheAnswerOutlivesTheRowsRebuiltWhileItIsAsked) {
    const syncer::binding upload_only =
        sync_samples::folder_pair(L"Camera", L"C:\\Camera", syncer::binding::type_upload_only);
    scripted_engine& e =
        start({task_in(pair, L"a", task::state_stopped),
               task_in(upload_only, L"b", task::state_failed, 0, task::kind_upload)});
    refresh();
    const auto rebuilt_under_the_question = [&] {
        const int reads_before = e.get_tasks_calls;
        e.set_tasks({task_in(pair, L"a", task::state_stopped),
                     task_in(upload_only, L"b", task::state_failed, 0, task::kind_upload),
                     task_in(saved, L"new", task::state_running)});
        win_test::fire_timer(window, CCMSyncWindow::refresh_timer_id);
        win_test::pump();
        window.tasks_changed();
        win_test::pump();
        return e.get_tasks_calls - reads_before == 2;
    };
    bool rebuilt = false;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            rebuilt = rebuilt_under_the_question();
            return IDYES;
        });
    click(groups()[0]->GetCancelButton());
    EXPECT_TRUE(rebuilt);
    rebuilt = false;
    click(*plain_rows()[0]->GetCancelButton());
    EXPECT_TRUE(rebuilt);
    ASSERT_EQ(e.removed_bindings.size(), 2u);
    EXPECT_TRUE(e.removed_bindings[0].is_same_as(pair));
    EXPECT_TRUE(e.removed_bindings[1].is_same_as(upload_only));
}

TEST_F(CancelQuestion, SyncingEndedWhileAskingCancelsNothing) {
    start({task_in(pair, L"a", task::state_stopped)});
    refresh();
    win_test::scoped_message_box_responder script(
        [&](const std::wstring& text, const std::wstring&, UINT) {
            // Log Out from the tray menu, while the question is up.
            if (text.find(L"no longer") != std::wstring::npos) {
                EXPECT_TRUE(window.StopSyncing());
            }
            return IDYES;
        });
    click(groups()[0]->GetCancelButton());
    EXPECT_FALSE(window.HasManager());
}

TEST_F(EndOfSyncing, StartingMakesOneEngineForANamedUser) {
    EXPECT_TRUE(window.StopSyncing());
    EXPECT_FALSE(window.StartSyncing(L""));
    window.SetEngineFactory(
        [](const std::wstring&, syncer::user_interface*) -> std::unique_ptr<CSyncEngine> {
            throw syncer::create_directory_exception("test", "files_saved");
        });
    EXPECT_FALSE(window.StartSyncing(L"Ann"));
    EXPECT_FALSE(window.HasManager());
    start();
    EXPECT_TRUE(window.HasManager());
    EXPECT_FALSE(window.StartSyncing(L"Bob"));
}

TEST_F(EndOfSyncing, ABusyTaskListIsWaitedForAndAnyOtherFailureGivesUp) {
    scripted_engine& e = start();
    e.failures.push_back(std::make_exception_ptr(syncer::busy_exception("test", L"busy")));
    e.failures.push_back(std::make_exception_ptr(syncer::busy_exception("test", L"busy")));
    int reads = 0;  // counted here: the engine goes with syncing
    e.on_get_tasks = [&] { ++reads; };
    EXPECT_TRUE(window.StopSyncing());
    EXPECT_EQ(reads, 3);
    EXPECT_FALSE(window.HasManager());
    // The refresh the end of syncing posted, before the next engine: a box
    // runs it otherwise, and it would count as a read of that engine.
    win_test::pump();

    // A binding table that cannot be read fails every time: no retrying
    // for ever, the tasks are unknown and syncing goes on.
    scripted_engine& failing = start();
    for (int i = 0; i < 100; ++i)
        failing.failures.push_back(
            std::make_exception_ptr(serializer::serializer_exception("test", "unreadable")));
    std::vector<std::wstring> texts;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring& text, const std::wstring&, UINT type) {
            texts.push_back(text);
            EXPECT_EQ(type, static_cast<UINT>(MB_ICONERROR));
            return IDOK;
        });
    EXPECT_FALSE(window.StopSyncing());
    EXPECT_EQ(failing.get_tasks_calls, 1);
    EXPECT_EQ(texts, std::vector<std::wstring>{L"Error requesting tasks"});
    EXPECT_TRUE(window.HasManager());
}

TEST_F(EndOfSyncing, TasksLeftAreEndedOnlyWhenThePersonAgrees) {
    start({task_in(pair, L"a", task::state_queued)});
    refresh();
    int answer = IDNO;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) { return answer; });
    EXPECT_FALSE(window.StopSyncing());
    EXPECT_TRUE(window.HasManager());
    answer = IDYES;
    EXPECT_TRUE(window.StopSyncing());
    EXPECT_FALSE(window.HasManager());
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Calvimora still has synchronization tasks queued. Logoff anyway?");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
}

TEST_F(EndOfSyncing, TheRowsOfAnEndedEngineGo) {
    start({task_in(saved, L"a", task::state_running)});
    refresh();
    ASSERT_TRUE(window.IsWindowVisible());
    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    EXPECT_TRUE(window.StopSyncing());
    win_test::pump();
    EXPECT_EQ(window.GetTaskList().RowCount(), 0);
    EXPECT_FALSE(window.IsWindowVisible());
}

}  // namespace
}  // namespace sync_test
