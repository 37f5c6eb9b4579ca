#include "syncer/scan/scan_case_names.h"

#include <algorithm>
#include <cwctype>

#include "syncer/core/paths.h"
#include "syncer/tasks/task.h"

namespace syncer {

namespace {

std::wstring path_of(const std::wstring& folder, const std::wstring& name) {
    return name.empty() ? folder : join_path(folder, name);
}

std::wstring with_slashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

}  // namespace

std::wstring fold_case(const std::wstring& path) {
    std::wstring folded = with_slashes(path);
    for (wchar_t& character : folded)
        character = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(character)));
    return folded;
}

void case_writes::gather(const candidate_set& candidates, const std::vector<item_plan>& plans,
                         const task_list& tasks, const binding& owner) {
    const auto add_write = [&](int kind, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& filename) {
        if (kind == task::kind_upload)
            remote_writes_.insert(fold_case(path_of(dir_remote, filename)));
        if (kind == task::kind_download)
            local_writes_.insert(fold_case(path_of(dir_local, filename)));
    };
    candidates_ = &candidates;
    remote_names_.reset();
    const auto writes = [](const item_plan& plan) {
        return !plan.removal && plan.transfer.outcome == item_outcome::ask;
    };
    // The candidates are walked only when a plan writes at all.
    const bool any_write = std::any_of(plans.begin(), plans.end(), writes);
    std::size_t index = 0;
    for (auto candidate = any_write ? candidates.begin() : candidates.end();
         candidate != candidates.end(); ++candidate) {
        const item_plan& plan = plans[index++];
        if (!writes(plan)) continue;
        add_write(plan.transfer.step.task_kind, candidate->dir_remote, candidate->dir_local,
                  candidate->filename);
    }
    for (const task& job : tasks) {
        if (!job.get_binding().is_same_as(owner) || job.is_done()) continue;
        add_write(job.get_kind(), job.get_dir_remote(), job.get_dir_local(), job.get_filename());
    }
}

bool case_writes::writes_below(const std::set<std::wstring>& writes, const std::wstring& folded) {
    for (auto write = writes.upper_bound(folded); write != writes.end(); ++write) {
        if (write->compare(0, folded.size(), folded) != 0) return false;
        if ((*write)[folded.size()] == L'/') return true;
    }
    return false;
}

bool case_writes::takes_written_name(const sync_item& candidate, int removal_kind) const {
    const auto remote = [&] {
        return fold_case(path_of(candidate.dir_remote, candidate.filename));
    };
    const auto local = [&] { return fold_case(path_of(candidate.dir_local, candidate.filename)); };
    switch (removal_kind) {
        case task::kind_remove_remote_file:
            return remote_writes_.contains(remote());
        case task::kind_remove_remote_folder:
            return writes_below(remote_writes_, remote());
        case task::kind_remove_local_file:
            return local_writes_.contains(local());
        case task::kind_remove_local_folder:
            return writes_below(local_writes_, local());
        default:
            return false;
    }
}

const std::map<std::wstring, std::wstring>& case_writes::remote_names() const {
    if (!remote_names_) {
        remote_names_.emplace();
        if (candidates_) {
            for (const sync_item& candidate : *candidates_) {
                if (candidate.last_time_remote == missing_time) continue;
                const std::wstring exact = path_of(candidate.dir_remote, candidate.filename);
                remote_names_->emplace(fold_case(exact), with_slashes(exact));
            }
        }
    }
    return *remote_names_;
}

bool case_writes::remote_case_differs(const sync_item& candidate, const binding& owner) const {
    const auto& names = remote_names();
    std::wstring path = path_of(candidate.dir_remote, candidate.filename);
    while (path_is_within(path, owner.dir_remote) && !paths_equal(path, owner.dir_remote)) {
        const auto found = names.find(fold_case(path));
        if (found != names.end() && found->second != with_slashes(path)) return true;
        const std::wstring parent = parent_path(path);
        if (parent == path) break;
        path = parent;
    }
    return false;
}

}  // namespace syncer
