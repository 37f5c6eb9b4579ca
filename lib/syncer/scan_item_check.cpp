#include "syncer/scan_item_check.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>
#include <vector>

#include "syncer/paths.h"
#include "syncer/scan_decision.h"
#include "syncer/scan_interruption.h"
#include "win/file.h"
#include "win/handle.h"

namespace syncer {

namespace {

// A file another program holds open without sharing: left for a later pass.
bool is_in_use(const sync_item& candidate) {
    if (candidate.filename.empty() || candidate.last_time_local == -1) return false;
    const std::wstring path = join_path(candidate.dir_local, candidate.filename);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return error == ERROR_SHARING_VIOLATION;
}

void copy_times(const sync_item& from, const sync_item& to) {
    to.last_time_remote = from.last_time_remote;
    to.last_time_local = from.last_time_local;
}

const sync_item& stored_or_empty(const items_manager& table, const sync_item& candidate,
                                 sync_item& empty) {
    const auto stored = table.find(candidate);
    if (stored != table.end()) return *stored;
    empty = sync_item(candidate.dir_remote, candidate.dir_local, candidate.filename);
    return empty;
}

// How many of the questions still to come in this turn each permission may
// need, so that "Apply to all" is offered only when it can apply to more
// than the question at hand.
class pending_questions {
public:
    void add(const std::vector<int>& permissions, int sign) {
        for (const int permission : permissions) counts_[permission] += sign;
    }
    bool more_than_one(int permission) const { return counts_[permission] > 1; }

private:
    std::array<int, sync_rule::size> counts_{};
};

class candidate_checker {
public:
    explicit candidate_checker(binding_turn& turn) : turn_(turn) {}

    int run() {
        const candidate_set& candidates = turn_.found.candidates;
        std::vector<item_plan> plans;
        std::vector<std::vector<int>> questions;
        plans.reserve(candidates.size());
        questions.reserve(candidates.size());
        for (const sync_item& candidate : candidates) {
            sync_item empty;
            const sync_item& stored = stored_or_empty(turn_.table, candidate, empty);
            plans.push_back(plan_item(turn_.owner, candidate, stored, turn_.found));
            questions.push_back(open_questions(plans.back(), stored));
            pending_.add(questions.back(), 1);
        }
        std::size_t index = 0;
        for (const sync_item& candidate : candidates) {
            check(candidate, plans[index]);
            pending_.add(questions[index], -1);
            ++index;
        }
        settle_folder_removals();
        return queued_;
    }

private:
    struct deferred_removal {
        const sync_item* candidate;
        item_step step;
    };

    std::vector<int> open_questions(const item_plan& plan, const sync_item& stored) const {
        std::vector<int> permissions;
        if (plan.removal && !turn_.questions.decided(plan.removal->permission, stored))
            permissions.push_back(plan.removal->permission);
        if (plan.transfer.outcome == item_outcome::ask &&
            !turn_.questions.decided(plan.transfer.step.permission, stored))
            permissions.push_back(plan.transfer.step.permission);
        return permissions;
    }

    void check(const sync_item& candidate, const item_plan& plan) {
        interruption_point(turn_.stop);
        if (!plan.removal && plan.transfer.outcome == item_outcome::leave) return;
        if (has_running_task_for(turn_.tasks, candidate.dir_remote, candidate.dir_local,
                                 candidate.filename))
            return;
        if (is_in_use(candidate)) return;
        const sync_item& stored =
            *turn_.table
                 .insert(sync_item(candidate.dir_remote, candidate.dir_local, candidate.filename))
                 .first;
        if (plan.removal && permits(*plan.removal, stored)) {
            if (is_folder_removal(plan.removal->task_kind)) {
                deferred_.push_back({&candidate, *plan.removal});
            } else {
                queue(candidate, stored, plan.removal->task_kind);
            }
            return;
        }
        switch (plan.transfer.outcome) {
            case item_outcome::leave:
                return;
            case item_outcome::record:
                copy_times(candidate, stored);
                return;
            case item_outcome::ask:
                if (permits(plan.transfer.step, stored)) {
                    queue(candidate, stored, plan.transfer.step.task_kind);
                } else {
                    copy_times(candidate, stored);
                }
                return;
        }
    }

    bool permits(const item_step& step, const sync_item& stored) {
        return turn_.questions.allowed(step.permission, step.message_kind, stored,
                                       pending_.more_than_one(step.permission));
    }

    void queue(const sync_item& candidate, const sync_item& stored, int kind) {
        const auto existing = find_task_for(turn_.tasks, candidate.dir_remote, candidate.dir_local,
                                            candidate.filename);
        if (existing != turn_.tasks.end()) {
            if (existing->get_kind() == kind) return;
            turn_.tasks.erase(existing);
        }
        queue_task(turn_.tasks, turn_.owner, kind, candidate.dir_remote, candidate.dir_local,
                   candidate.filename, turn_.environment, turn_.stopped);
        copy_times(candidate, stored);
        ++queued_;
    }

    // Deepest folders first: a folder's contents are settled before it.
    void settle_folder_removals() {
        if (deferred_.empty()) return;
        gather_file_removals();
        for (auto removal = deferred_.rbegin(); removal != deferred_.rend(); ++removal) {
            const sync_item& candidate = *removal->candidate;
            const sync_item& stored = *turn_.table.find(candidate);
            const bool everything_goes = removal->step.task_kind == task::kind_remove_local_folder
                                             ? local_contents_all_removed(candidate.dir_local)
                                             : remote_contents_all_removed(candidate.dir_remote);
            if (everything_goes) {
                queue(candidate, stored, removal->step.task_kind);
            } else {
                copy_times(candidate, stored);
            }
        }
    }

    // The files with a removal task, by folder ("/" and "\" alike) and
    // name, gathered once: the checks below look up every file of every
    // folder to be removed.
    using file_keys = std::set<std::pair<std::wstring, std::wstring>>;

    static std::pair<std::wstring, std::wstring> file_key(std::wstring folder,
                                                          const std::wstring& name) {
        std::replace(folder.begin(), folder.end(), L'\\', L'/');
        return {std::move(folder), name};
    }

    void gather_file_removals() {
        for (const task& job : turn_.tasks) {
            if (job.get_kind() == task::kind_remove_local_file)
                local_file_removals_.insert(file_key(job.get_dir_local(), job.get_filename()));
            if (job.get_kind() == task::kind_remove_remote_file)
                remote_file_removals_.insert(file_key(job.get_dir_remote(), job.get_filename()));
        }
    }

    // What the disk holds now, hidden entries included.
    bool local_contents_all_removed(const std::wstring& folder) const {
        for (const local_entry& entry : list_local(folder)) {
            if (entry.unnamed) return false;
            if (entry.state.is_directory) {
                if (!local_contents_all_removed(join_path(folder, entry.name))) return false;
            } else if (!local_file_removals_.contains(file_key(folder, entry.name))) {
                return false;
            }
        }
        return true;
    }

    // What the remote walk listed below the folder.
    bool remote_contents_all_removed(const std::wstring& folder) const {
        const collected_items& found = turn_.found;
        if (!found.remote_complete) return false;
        for (const std::wstring& unknown : found.remote_folders_with_unknown_children) {
            if (path_is_within(unknown, folder)) return false;
        }
        for (const sync_item& candidate : found.candidates) {
            if (candidate.filename.empty() || candidate.last_time_remote == -1) continue;
            if (!path_is_within(candidate.dir_remote, folder)) continue;
            if (!remote_file_removals_.contains(file_key(candidate.dir_remote, candidate.filename)))
                return false;
        }
        return true;
    }

    binding_turn& turn_;
    pending_questions pending_;
    std::vector<deferred_removal> deferred_;
    file_keys local_file_removals_;
    file_keys remote_file_removals_;
    int queued_ = 0;
};

}  // namespace

int check_candidates(binding_turn& turn) {
    return candidate_checker(turn).run();
}

}  // namespace syncer
