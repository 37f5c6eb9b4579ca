#include "syncer/scan/scan_task_list.h"

#include "syncer/core/paths.h"

namespace syncer {

bool is_task_for(const task& job, const std::wstring& dir_remote, const std::wstring& dir_local,
                 const std::wstring& filename) {
    return job.get_filename() == filename && paths_equal(job.get_dir_remote(), dir_remote) &&
           paths_equal(job.get_dir_local(), dir_local);
}

task_list::iterator find_task_for(task_list& tasks, const std::wstring& dir_remote,
                                  const std::wstring& dir_local, const std::wstring& filename) {
    for (auto entry = tasks.begin(); entry != tasks.end(); ++entry) {
        if (is_task_for(*entry, dir_remote, dir_local, filename)) return entry;
    }
    return tasks.end();
}

bool has_unsettled_task_for(const task_list& tasks, const std::wstring& dir_remote,
                            const std::wstring& dir_local, const std::wstring& filename) {
    for (const task& job : tasks) {
        if ((job.is_running() || job.get_synced_time()) &&
            is_task_for(job, dir_remote, dir_local, filename))
            return true;
    }
    return false;
}

task& queue_task(task_list& tasks, const binding& owner, int kind, const std::wstring& dir_remote,
                 const std::wstring& dir_local, const std::wstring& filename,
                 const std::shared_ptr<task_environment>& environment, bool stopped) {
    auto position = tasks.end();
    for (auto entry = tasks.begin(); entry != tasks.end(); ++entry) {
        if (entry->get_binding().is_same_as(owner)) position = std::next(entry);
    }
    task& added =
        *tasks.emplace(position, owner, kind, dir_remote, dir_local, filename, environment);
    if (stopped) added.stop();
    return added;
}

int purge_tasks_of_removed_bindings(task_list& tasks, const binding_set& bindings) {
    int erased = 0;
    for (auto entry = tasks.begin(); entry != tasks.end();) {
        if (entry->is_stopped() && !bindings.contains(entry->get_binding())) {
            entry = tasks.erase(entry);
            ++erased;
        } else {
            ++entry;
        }
    }
    return erased;
}

int purge_done_tasks(task_list& tasks, const binding_set& bindings) {
    int erased = 0;
    for (auto entry = tasks.begin(); entry != tasks.end();) {
        // Done first: a transfer ending between the two reads would be
        // erased with its result otherwise.
        if (entry->is_done() &&
            !(entry->get_synced_time() && bindings.contains(entry->get_binding()))) {
            entry = tasks.erase(entry);
            ++erased;
        } else {
            ++entry;
        }
    }
    return erased;
}

}  // namespace syncer
