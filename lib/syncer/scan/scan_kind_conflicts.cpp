#include "syncer/scan/scan_kind_conflicts.h"

#include <optional>
#include <set>
#include <string>
#include <unordered_map>

#include "syncer/core/messages.h"
#include "syncer/core/paths.h"
#include "syncer/scan/scan_case_names.h"
#include "syncer/tasks/task.h"

namespace syncer {

namespace {

enum class side { local, remote };

bool is_on(side where, const sync_item& item) {
    return (where == side::remote ? item.last_time_remote : item.last_time_local) != missing_time;
}

// The name of an item below the binding's folder on one side ("/"-joined;
// the service's folded to one case, as it compares names).
std::wstring name_on(side where, const binding& owner, const std::wstring& folder,
                     const std::wstring& filename) {
    std::wstring name =
        relative_path(folder, where == side::remote ? owner.dir_remote : owner.dir_local);
    if (!filename.empty()) name = name.empty() ? filename : name + L"/" + filename;
    return where == side::remote ? fold_case(name) : name;
}

bool at_or_below(const std::set<std::wstring>& names, const std::wstring& name) {
    const auto found = names.lower_bound(name);
    return found != names.end() && found->compare(0, name.size(), name) == 0 &&
           (found->size() == name.size() || (*found)[name.size()] == L'/');
}

// The removals of the binding not yet done, by side: a write under such a
// name waits, as the removal takes what the scan saw there.
struct unfinished_removals {
    std::set<std::wstring> remote;
    std::set<std::wstring> local;

    unfinished_removals(const binding& owner, const task_list& tasks) {
        for (const task& job : tasks) {
            if (!job.get_binding().is_same_as(owner) || job.is_done()) continue;
            const int kind = job.get_kind();
            const bool file =
                kind == task::kind_remove_local_file || kind == task::kind_remove_remote_file;
            const std::wstring filename = file ? job.get_filename() : std::wstring();
            if (kind == task::kind_remove_remote_file || kind == task::kind_remove_remote_folder)
                remote.insert(name_on(side::remote, owner, job.get_dir_remote(), filename));
            if (kind == task::kind_remove_local_file || kind == task::kind_remove_local_folder)
                local.insert(name_on(side::local, owner, job.get_dir_local(), filename));
        }
    }
};

// The items one side holds and the other lacks, by their names below the
// binding's folder ("/"-joined; the service's folded to one case). Only such
// an item can stand where an item of the other kind is to go, since an item
// found on both sides is of one kind on both. Made on first use: most passes
// write to one side only, or not at all.
class one_sided_items {
public:
    one_sided_items(side where, const binding& owner, const std::vector<const sync_item*>& items)
        : side_(where), owner_(owner), items_(items) {}

    // The item in the way of a write of a file at that name, if any: a
    // folder of that name, or a file where a folder on its way is to be.
    std::optional<std::size_t> in_the_way_of(const std::wstring& name) {
        if (!by_name_) build();
        if (const auto found = by_name_->find(name);
            found != by_name_->end() && items_[found->second]->filename.empty())
            return found->second;
        for (std::size_t end = name.rfind(L'/'); end != std::wstring::npos && end > 0;
             end = name.rfind(L'/', end - 1)) {
            const auto found = by_name_->find(name.substr(0, end));
            if (found != by_name_->end() && !items_[found->second]->filename.empty())
                return found->second;
        }
        return std::nullopt;
    }

    // The name of an item on this side, as looked up here.
    std::wstring name_of(const sync_item& item) const {
        return name_on(side_, owner_,
                       side_ == side::remote ? item.dir_remote.str() : item.dir_local.str(),
                       item.filename);
    }

private:
    void build() {
        by_name_.emplace();
        const side other = side_ == side::remote ? side::local : side::remote;
        for (std::size_t index = 0; index < items_.size(); ++index) {
            const sync_item& item = *items_[index];
            if (is_on(side_, item) && !is_on(other, item)) by_name_->emplace(name_of(item), index);
        }
    }

    const side side_;
    const binding& owner_;
    const std::vector<const sync_item*>& items_;
    std::optional<std::unordered_map<std::wstring, std::size_t>> by_name_;
};

bool is_write(const item_plan& plan) {
    return plan.transfer.outcome == item_outcome::ask &&
           (plan.transfer.step.task_kind == task::kind_upload ||
            plan.transfer.step.task_kind == task::kind_download);
}

}  // namespace

std::vector<item_in_the_way> hold_writes_across_kinds(const binding& owner,
                                                      const candidate_set& candidates,
                                                      const task_list& tasks,
                                                      std::vector<item_plan>& plans) {
    std::vector<item_in_the_way> in_the_way;
    bool writes = false;
    for (const item_plan& plan : plans) writes = writes || is_write(plan);
    if (!writes) return in_the_way;

    std::vector<const sync_item*> items;
    items.reserve(candidates.size());
    for (const sync_item& candidate : candidates) items.push_back(&candidate);
    one_sided_items remote(side::remote, owner, items);
    one_sided_items local(side::local, owner, items);
    const unfinished_removals removals(owner, tasks);
    std::set<std::size_t> named;
    for (std::size_t index = 0; index < items.size(); ++index) {
        item_plan& plan = plans[index];
        if (!is_write(plan) || items[index]->filename.empty()) continue;
        const bool upload = plan.transfer.step.task_kind == task::kind_upload;
        one_sided_items& target = upload ? remote : local;
        const std::wstring name = target.name_of(*items[index]);
        const std::optional<std::size_t> blocker = target.in_the_way_of(name);
        if (!blocker && !at_or_below(upload ? removals.remote : removals.local, name)) continue;
        if (plan.removal) {
            plan.transfer = {item_outcome::record, {}};
            continue;
        }
        plan.transfer = {};
        if (blocker && named.insert(*blocker).second)
            in_the_way.push_back({*blocker, plans[*blocker].removal.has_value()});
    }
    return in_the_way;
}

std::wstring kind_conflict_reason(const sync_item& in_the_way) {
    const bool folder = in_the_way.filename.empty();
    const bool remote = in_the_way.last_time_remote != missing_time;
    const std::wstring where = remote ? std::wstring(L"on ") + product_name : L"on the local drive";
    return std::wstring(folder ? L"This folder " : L"This file ") + where + L" has the name of a " +
           (folder ? L"file" : L"folder") +
           L" on the other side, so neither is synced until one of them is renamed or removed";
}

}  // namespace syncer
