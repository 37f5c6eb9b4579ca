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

using task_list = std::list<task>;

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
task& queue_task(task_list& tasks, const binding& owner, int kind, const std::wstring& dir_remote,
                 const std::wstring& dir_local, const std::wstring& filename,
                 const std::shared_ptr<task_environment>& environment, bool stopped);

// Erases the stopped tasks of bindings the table no longer holds; returns
// how many.
int purge_tasks_of_removed_bindings(task_list& tasks, const binding_set& bindings);

// Erases the done tasks; returns how many.
int purge_done_tasks(task_list& tasks);

}  // namespace syncer
