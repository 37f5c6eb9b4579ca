// What the sync window's tests share: an engine that plays the manager from
// a script, a fixture with the window over it, and clicks on its controls.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "sync_samples.h"
#include "sync_window.h"
#include "toolkit_test_support.h"

namespace sync_test {

// Hands out the task list it is given (or throws what it is told to, once
// each, first) and records what it was asked to do.
class scripted_engine : public CSyncEngine {
public:
    std::list<syncer::task> tasks;
    std::deque<std::exception_ptr> failures;  // thrown by the next calls of GetTasks
    std::exception_ptr operation_failure;     // thrown by every other operation
    std::function<void()> on_get_tasks;       // called first by every GetTasks

    int get_tasks_calls = 0;
    int stop_all_calls = 0, resume_all_calls = 0;
    std::vector<syncer::binding> stopped_bindings, resumed_bindings, removed_bindings;
    std::vector<std::wstring> stopped_tasks, restarted_tasks;  // file names

    std::list<syncer::task> GetTasks() override;
    void StopAll() override;
    void ResumeAll() override;
    void StopBinding(const syncer::binding& target) override;
    void ResumeBinding(const syncer::binding& target) override;
    void StopTask(const syncer::task& target) override;
    void RestartTask(const syncer::task& target) override;
    void RemoveBinding(const syncer::binding& target) override;

    void set_tasks(const std::vector<syncer::task>& list);

private:
    void check();
};

// The sync window with two probes: rebuilding the rows can be made to
// fail, and a hook runs once a row message has been handled.
class probed_window : public CCMSyncWindow {
public:
    int failing_shows = 0;  // the next refreshes that fail to rebuild the rows
    std::function<void(UINT message)> after_row_message;

protected:
    void ShowTasks(const std::list<syncer::task>& tasks) override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
};

// A hidden sync window of 400 by 220 at the bottom right of the screen,
// whose engine (once StartSyncing made it) is a scripted one.
class SyncWindowTest : public toolkit_test::ToolkitTest {
protected:
    SyncWindowTest();
    ~SyncWindowTest() override;

    // Starts syncing with a fresh scripted engine holding the tasks.
    scripted_engine& start(const std::vector<syncer::task>& tasks = {});
    // Asks for a refresh as the engine does, and lets it happen.
    void refresh();
    // A click in the middle of a control (the window must be shown).
    void click(const CAlphaControl& control);
    // The list's rows: plain rows and groups at the top level.
    std::vector<CCMListCtrlItem*> plain_rows();
    std::vector<CCMListCtrlItemGroup*> groups();
    bool shows(const CAlphaControl& control) { return window.IsShown(&control) != FALSE; }

    // The tasks' local folder (real, for uploads with a size).
    boost::filesystem::path scratch;
    syncer::binding pair = sync_samples::folder_pair(L"Documents", L"C:\\Users\\Ann\\Documents");
    std::unique_ptr<probed_window> owned = std::make_unique<probed_window>();
    probed_window& window = *owned;
    scripted_engine* engine = nullptr;
};

syncer::task task_in(const syncer::binding& owner, const std::wstring& name, int state,
                     int progress = 0, int kind = syncer::task::kind_download);

}  // namespace sync_test
