// The manager's task list: every task the engine knows, grouped by binding
// (a new task goes right after the last task of its binding). The scan adds,
// replaces and purges entries; the runner starts them; the control
// operations stop and reset them. All of it under the task-list lock.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tasks/task.h"

namespace syncer {

using task_list = std::list<task>;

// The same file or folder: remote and local folders equal as paths ("/" and
// "\" alike), names equal exactly.
bool is_task_for(const task& job, const std::wstring& dir_remote, const std::wstring& dir_local,
                 const std::wstring& filename);

// The first task for the item, or end.
task_list::iterator find_task_for(task_list& tasks, const std::wstring& dir_remote,
                                  const std::wstring& dir_local, const std::wstring& filename);

// Whether a task for the item is running (state 1), or is a transfer that
// ended done and whose result the item table has not taken yet.
bool has_unsettled_task_for(const task_list& tasks, const std::wstring& dir_remote,
                            const std::wstring& dir_local, const std::wstring& filename);

// Adds a new task after the last task of its binding (at the end when there
// is none); a task of a stopped binding is stopped at once.
task& queue_task(task_list& tasks, const binding& owner, int kind, const std::wstring& dir_remote,
                 const std::wstring& dir_local, const std::wstring& filename,
                 const std::shared_ptr<task_environment>& environment, bool stopped);

// Erases the stopped tasks of bindings the table no longer holds; returns
// how many.
int purge_tasks_of_removed_bindings(task_list& tasks, const binding_set& bindings);

// Erases the done tasks, except transfers of the given bindings that left
// both sides holding the same file: their binding's next turn records that
// in its item table (take_synced_times). Returns how many were erased.
int purge_done_tasks(task_list& tasks, const binding_set& bindings);

// The done transfers of the binding that left both sides holding the same
// file: each one's result becomes its item's agreement (synced time, both
// last times, the local state), and the task leaves the list. Each task's
// result is read once: a transfer that ends meanwhile stays for the next
// call. Returns how many left; their items go to taken when given.
template <typename Table>
int take_synced_times(task_list& tasks, const binding& owner, Table& table,
                      std::set<sync_item, sync_item::less>* taken = nullptr) {
    int count = 0;
    for (auto entry = tasks.begin(); entry != tasks.end();) {
        const auto result =
            entry->get_binding().is_same_as(owner) ? entry->get_synced_result() : std::nullopt;
        if (!result) {
            ++entry;
            continue;
        }
        const sync_item key(entry->get_dir_remote(), entry->get_dir_local(), entry->get_filename());
        const auto record = table.insert(key).first;
        record_agreement(*record, result->time, result->local);
        if (taken) taken->insert(key);
        entry = tasks.erase(entry);
        ++count;
    }
    return count;
}

}  // namespace syncer
