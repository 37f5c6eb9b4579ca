// The manager's task list: every task the engine knows, grouped by binding
// (a new task goes right after the last task of its binding). The scan adds,
// replaces and purges entries; the runner starts them; the control
// operations stop and reset them. All of it under the task-list lock.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "syncer/binding.h"
#include "syncer/task.h"

namespace syncer {

struct task_entry {
    task_entry(const binding& owner, int kind, const std::wstring& dir_remote,
               const std::wstring& dir_local, const std::wstring& filename,
               std::shared_ptr<task_environment> environment)
        : job(owner, kind, dir_remote, dir_local, filename, std::move(environment)) {}

    task job;

    // The runner's view of a start whose thread has not been seen to begin
    // yet: such a task counts as running and is not started again. The mark
    // ends when the task's state or failure time moves on, when a control
    // operation stops or resets the task, or after a few cycles (a start
    // that found the previous thread still busy did nothing).
    bool start_pending = false;
    int start_state = task::state_queued;
    std::int64_t start_fail_time = -1;
    int start_cycles_left = 0;
};

using task_list = std::list<task_entry>;

// The same file or folder: remote and local folders equal as paths ("/" and
// "\" alike), names equal exactly.
bool is_task_for(const task& job, const std::wstring& dir_remote, const std::wstring& dir_local,
                 const std::wstring& filename);

// The first task for the item, or end.
task_list::iterator find_task_for(task_list& tasks, const std::wstring& dir_remote,
                                  const std::wstring& dir_local, const std::wstring& filename);

// Whether a task for the item is running (state 1).
bool has_running_task_for(const task_list& tasks, const std::wstring& dir_remote,
                          const std::wstring& dir_local, const std::wstring& filename);

// Adds a new task after the last task of its binding (at the end when there
// is none); a task of a stopped binding is stopped at once.
task_entry& queue_task(task_list& tasks, const binding& owner, int kind,
                       const std::wstring& dir_remote, const std::wstring& dir_local,
                       const std::wstring& filename,
                       const std::shared_ptr<task_environment>& environment, bool stopped);

// Erases the stopped tasks of bindings the table no longer holds; returns
// how many.
int purge_tasks_of_removed_bindings(task_list& tasks, const binding_set& bindings);

// Erases the done tasks; returns how many.
int purge_done_tasks(task_list& tasks);

// A control operation stopped or reset the task: the runner's start mark no
// longer holds.
inline void forget_start(task_entry& entry) {
    entry.start_pending = false;
}

}  // namespace syncer
