// Room manager, the highest room of the sync engine, above scan (the order
// of the rooms: lib/syncer/CMakeLists.txt).
//
// The top object of the sync engine: one per logged-in user while syncing
// runs. It owns the task list, the set of bindings the user stopped, and two
// worker threads: the scan thread, which repeatedly compares every binding's
// two sides with its item table and queues tasks, and the runner thread,
// which starts queued tasks, at most five at a time. The tray program calls
// the control operations from its window thread.
#pragma once

#include <boost/filesystem/path.hpp>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/scan/scan_memory.h"
#include "syncer/scan/scan_removal_guard.h"
#include "syncer/scan/scan_task_list.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task.h"
#include "syncer/tasks/task_environment.h"

namespace syncer {

class manager {
public:
    // Most tasks running at one time.
    static constexpr int most_running_tasks = 5;

    // Loads the binding table (telling the user through show_message when it
    // had to come from its backup), sweeps the item tables, adds the default
    // binding of the saved-files folder when missing, and starts both
    // threads. Throws create_directory_exception when the saved-files folder
    // cannot be made; errors of the binding table while adding the default
    // binding pass on too. ui is not owned and must outlive the manager.
    manager(const std::wstring& user_name, user_interface* ui);
    // The same, with the clock, waits and session the engine and its tasks
    // use (tests script them).
    manager(const std::wstring& user_name, user_interface* ui,
            std::shared_ptr<task_environment> environment);
    // Stops both threads and every task, waiting for their ends, then tidies
    // the saved-files and temporary folders. Never throws.
    virtual ~manager();
    manager(const manager&) = delete;
    manager& operator=(const manager&) = delete;

    // Copies of the tasks of the bindings in the table that are not done.
    // Throws busy_exception ("Syncing manager is busy") when the task list is
    // in use at that moment (a scan waiting for an answer holds it); never
    // waits for it. A binding table that cannot be read throws too: an
    // empty list would say that nothing is left to do.
    std::list<task> get_tasks() const;

    // Every binding of the table now: stopped, with all their tasks.
    void stop_all();
    // No binding stopped; every stopped or failed task queued again.
    void resume_all();
    void stop_binding(const binding& target);
    void resume_binding(const binding& target);
    // The first task equal to the given one (task::less) is stopped or
    // queued again; task_not_found_exception when there is none.
    void stop_task(const task& target);
    void restart_task(const task& target);
    // Removes the binding from the binding table with no scan running, and
    // stops and drops its tasks. The scan starts again whether or not the
    // table held the binding (binding_not_found_exception when it did not).
    void remove_binding(const binding& target);

    // "<local application data>\Calvimora\<user>\files_saved", created when
    // missing.
    static boost::filesystem::path get_files_saved_directory(const std::wstring& user_name);
    // "<local application data>\Temp\Calvimora", created when missing.
    static boost::filesystem::path get_manager_temp_directory();
    // Creates the folder with its missing parents unless it exists;
    // create_directory_exception when nothing could be created, file-system
    // errors pass on.
    static void check_create_directory(const boost::filesystem::path& folder);

    // Removes the empty sub-folders of the saved-files folder and empties the
    // temporary folder; true when every entry of the temporary folder went.
    bool clean_up();
    // Deletes every sub-folder that holds no visible file (at any depth);
    // true when nothing but files stayed. A folder that cannot be removed,
    // or any failure for an entry, makes it false. Symbolic links are left
    // alone.
    static bool remove_empty_folders(const boost::filesystem::path& folder);
    // Removes every entry of the temporary folder that a plain removal takes
    // (files and empty folders); true when all went.
    static bool clear_temp_directory();

private:
    void start_scan_thread();
    void scan_thread(const stop_signal& stop);
    // Forced bindings whose turns failed, with how many times in a row.
    using forced_failures = std::map<binding, int, binding::less>;
    void wait_between_passes(const forced_failures& failures, const stop_signal& stop);
    void runner_thread(const stop_signal& stop);
    // One runner cycle under the task-list lock; returns the tasks started.
    int start_due_tasks();
    int count_running_tasks() const;
    task* next_task_to_start(std::int64_t now);
    task_list::iterator find_task(const task& target, const char* context);
    // Transfers that went across since the last pass: their results go into
    // the item tables before the tasks are dropped, so that the next start
    // sees a removal made meanwhile as a removal.
    void record_synced_times() noexcept;
    void stop_every_task() noexcept;

    std::wstring user_name_;
    user_interface* ui_;
    std::shared_ptr<task_environment> environment_;

    mutable std::mutex tasks_lock_;
    task_list tasks_;
    std::mutex stopped_lock_;
    binding_set stopped_;
    removal_guard guard_;
    scan_memory memory_;

    worker_thread scan_;
    worker_thread runner_;
};

}  // namespace syncer
