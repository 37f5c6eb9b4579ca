#include "syncer/scan/scan_item_check.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>
#include <vector>

#include "syncer/core/messages.h"
#include "syncer/core/paths.h"
#include "syncer/core/remote_item_state.h"
#include "syncer/scan/scan_case_names.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/scan/scan_kind_conflicts.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task_local_files.h"
#include "win/file.h"
#include "win/handle.h"

namespace syncer {

namespace {

std::wstring kept_both_reason() {
    return std::wstring(L"Your changes to this copy are not sent: the file was changed on ") +
           product_name +
           L" too since you opened it. Both versions are kept as they are. Open the file again "
           L"to get the newer version; your copy is then kept beside it.";
}

// A file another program holds open without sharing: left for a later pass.
bool is_in_use(const sync_item& candidate) {
    if (candidate.filename.empty() || candidate.last_time_local == missing_time) return false;
    const std::wstring path = join_path(candidate.dir_local, candidate.filename);
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return error == ERROR_SHARING_VIOLATION;
}

// The files the table knows on one side, the root's own record aside.
std::size_t known_files(const items_manager& table, removal_guard::side side) {
    std::size_t count = 0;
    for (const sync_item& stored : table) {
        if (stored.filename.empty()) continue;
        const std::int64_t time =
            side == removal_guard::side::local ? stored.last_time_local : stored.last_time_remote;
        count += time != missing_time;
    }
    return count;
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
        take_results();
        forget_outdated_removals();
        const candidate_set& candidates = turn_.found.candidates;
        std::vector<items_manager::iterator> stored = stored_records();
        std::vector<item_plan> plans;
        plans.reserve(candidates.size());
        std::size_t index = 0;
        for (const sync_item& candidate : candidates) {
            sync_item empty;
            items_manager::iterator& record = stored[index++];
            const bool unreadable = in_unreadable_folder(candidate);
            if (!unreadable) learn_folder_on_both_sides(candidate, record);
            plans.push_back(unreadable ? item_plan{}
                                       : plan_item(turn_.owner, candidate,
                                                   stored_or_empty(record, candidate, empty),
                                                   turn_.found));
            removals_planned_ = removals_planned_ || plans.back().removal;
            asks_planned_ = asks_planned_ || plans.back().transfer.outcome == item_outcome::ask;
        }
        in_the_way_ = hold_writes_across_kinds(turn_.owner, candidates, turn_.tasks, plans);
        // A root emptied and seen so twice has waited for the removals on the
        // other side.
        judge_mass_removals(plans, removal_guard::side::local, turn_.emptied_remote_root);
        judge_mass_removals(plans, removal_guard::side::remote, turn_.emptied_local_root);
        case_writes_.gather(turn_.found.candidates, plans, turn_.tasks, turn_.owner);
        hold_removals_of_written_names(plans);
        // Most passes plan neither a removal nor a question: then no
        // candidate has an open question and the walk for them is saved.
        std::vector<std::vector<int>> questions;
        if (removals_planned_ || asks_planned_) {
            questions.reserve(candidates.size());
            index = 0;
            for (const sync_item& candidate : candidates) {
                sync_item empty;
                questions.push_back(open_questions(plans[index],
                                                   stored_or_empty(stored[index], candidate, empty),
                                                   asked_anyway(index)));
                pending_.add(questions.back(), 1);
                ++index;
            }
        }
        for (index = 0; index < asked_anyway_.size(); ++index) {
            if (asked_anyway_[index] && plans[index].removal)
                pending_asked_anyway_.add({plans[index].removal->permission}, 1);
        }
        index = 0;
        for (const sync_item& candidate : candidates) {
            // A folder's removal is asked about once its contents are
            // settled; its question stays pending until then.
            const std::size_t deferred = deferred_.size();
            check(candidate, plans[index], stored[index], index, asked_anyway(index));
            if (deferred_.size() == deferred) {
                if (!questions.empty()) pending_.add(questions[index], -1);
                if (asked_anyway(index) && plans[index].removal)
                    pending_asked_anyway_.add({plans[index].removal->permission}, -1);
            }
            ++index;
        }
        settle_folder_removals(questions);
        show_unsyncable(kind_conflicts_to_show());
        return queued_;
    }

private:
    // The results of the transfers that ended, each read once and taken
    // into the table. Those that came in while this pass walked may be of
    // items the walk saw before the transfer (a file not yet fetched looks
    // removed locally): they are decided afresh by the next pass. A transfer
    // that ends after its result was looked for is left as it is, unsettled,
    // for the next pass.
    void take_results() {
        std::set<sync_item, sync_item::less> taken;
        queued_ += take_synced_times(turn_.tasks, turn_.owner, turn_.table, &taken);
        if (turn_.results_taken) turn_.results_taken();
        if (turn_.journalled_during_walk)
            results_taken_now_.insert(turn_.journalled_during_walk->begin(),
                                      turn_.journalled_during_walk->end());
        if (!turn_.results_before_walk) return;
        for (const sync_item& ended : taken) {
            if (!turn_.results_before_walk->contains(ended)) results_taken_now_.insert(ended);
        }
    }

    // The stored record of each candidate, in the candidates' order (end()
    // when there is none): both sets are in the same order, so one walk
    // through both finds them all.
    std::vector<items_manager::iterator> stored_records() const {
        std::vector<items_manager::iterator> result;
        result.reserve(turn_.found.candidates.size());
        const sync_item::less less;
        auto stored = turn_.table.begin();
        for (const sync_item& candidate : turn_.found.candidates) {
            while (stored != turn_.table.end() && less(*stored, candidate)) ++stored;
            const bool found = stored != turn_.table.end() && !less(candidate, *stored);
            result.push_back(found ? stored : turn_.table.end());
        }
        return result;
    }

    // Whether the local walk could not read the candidate's folder, or one
    // above it: whatever it did not see there may still be on disk.
    bool in_unreadable_folder(const sync_item& candidate) const {
        for (const std::wstring& folder : turn_.found.unreadable_local_folders) {
            if (path_is_within(candidate.dir_local, folder)) return true;
        }
        return false;
    }

    // The record, or a stand-in with times missing when there is none.
    const sync_item& stored_or_empty(items_manager::iterator stored, const sync_item& candidate,
                                     sync_item& empty) const {
        if (stored != turn_.table.end()) return *stored;
        empty = sync_item(candidate.dir_remote, candidate.dir_local, candidate.filename);
        return empty;
    }

    // A folder whose record does not know it on both sides, while something
    // below it was on both sides, was there too: the record learns it (a
    // folder's files sent across before a pass saw the folder on both
    // sides, then the folder removed or renamed). Only a folder that is
    // gone from one side is looked at: no other decision needs it.
    void learn_folder_on_both_sides(const sync_item& candidate, items_manager::iterator& record) {
        if (!candidate.filename.empty() ||
            (candidate.last_time_remote == missing_time) ==
                (candidate.last_time_local == missing_time) ||
            (paths_equal(candidate.dir_remote, turn_.owner.dir_remote) &&
             paths_equal(candidate.dir_local, turn_.owner.dir_local)))
            return;
        if (record != turn_.table.end() && record->last_time_remote != missing_time &&
            record->last_time_local != missing_time)
            return;
        if (!known_on_both_sides_below(candidate)) return;
        if (record == turn_.table.end())
            record =
                turn_.table.insert(sync_item(candidate.dir_remote, candidate.dir_local, L"")).first;
        if (record->last_time_remote == missing_time) record->last_time_remote = 0;
        if (record->last_time_local == missing_time) record->last_time_local = 0;
    }

    // The records below a folder follow its own in the table's order.
    bool known_on_both_sides_below(const sync_item& folder) const {
        for (auto stored = turn_.table.upper_bound(folder);
             stored != turn_.table.end() && path_is_within(stored->dir_remote, folder.dir_remote);
             ++stored) {
            if (stored->last_time_remote != missing_time &&
                stored->last_time_local != missing_time &&
                path_is_within(stored->dir_local, folder.dir_local))
                return true;
        }
        return false;
    }

    struct deferred_removal {
        const sync_item* candidate;
        item_step step;
        std::size_t index;
        // Asked whatever the rule says (most of the pair's files go).
        bool asked_anyway;
    };

    // Whether the candidate's removal is asked whatever the rule says.
    bool asked_anyway(std::size_t index) const {
        return !asked_anyway_.empty() && asked_anyway_[index];
    }

    std::vector<int> open_questions(const item_plan& plan, const sync_item& stored,
                                    bool removal_asked_anyway) const {
        std::vector<int> permissions;
        if (plan.removal && !removal_asked_anyway &&
            !turn_.questions.decided(plan.removal->permission, stored))
            permissions.push_back(plan.removal->permission);
        if (plan.transfer.outcome == item_outcome::ask &&
            !turn_.questions.decided(plan.transfer.step.permission, stored))
            permissions.push_back(plan.transfer.step.permission);
        return permissions;
    }

    void check(const sync_item& candidate, const item_plan& plan, items_manager::iterator record,
               std::size_t index, bool removal_asked_anyway) {
        interruption_point(turn_.stop);
        if (!plan.removal && plan.transfer.outcome == item_outcome::leave) {
            // Unchanged since the last pass: a table written before the synced
            // time or the local state were kept learns them here.
            if (record != turn_.table.end() && sides_agree(candidate, *record))
                record_agreement(*record, candidate.last_time_remote, candidate.local_file);
            return;
        }
        if (has_unsettled_task_for(turn_.tasks, candidate.dir_remote, candidate.dir_local,
                                   candidate.filename) ||
            results_taken_now_.contains(candidate))
            return;
        if (is_in_use(candidate)) return;
        if (record == turn_.table.end())
            record = turn_.table
                         .insert(sync_item(candidate.dir_remote, candidate.dir_local,
                                           candidate.filename))
                         .first;
        const sync_item& stored = *record;
        if (plan.removal && is_folder_removal(plan.removal->task_kind)) {
            deferred_.push_back({&candidate, *plan.removal, index, removal_asked_anyway});
            return;
        }
        const bool removal_allowed =
            plan.removal && (removal_asked_anyway ? permits_when_asked(*plan.removal, stored)
                                                  : permits(*plan.removal, stored));
        if (removal_allowed) {
            queue(candidate, stored, plan.removal->task_kind);
            return;
        }
        switch (plan.transfer.outcome) {
            case item_outcome::leave:
                return;
            case item_outcome::record:
                take_in(candidate, stored);
                return;
            case item_outcome::ask:
                if (permits(plan.transfer.step, stored)) {
                    queue(candidate, stored, plan.transfer.step.task_kind);
                } else {
                    take_in(candidate, stored);
                }
                return;
            case item_outcome::keep_both:
                drop_waiting_task(candidate);
                kept_both_.push_back({candidate.dir_remote, candidate.dir_local, candidate.filename,
                                      kept_both_reason(), task::kind_upload});
                return;
        }
    }

    // A transfer of the item that waits (queued, failed or stopped) and
    // is no longer wanted.
    void drop_waiting_task(const sync_item& candidate) {
        const auto existing = find_task_for(turn_.tasks, candidate.dir_remote, candidate.dir_local,
                                            candidate.filename);
        if (existing == turn_.tasks.end() || existing->is_refused() || existing->is_running())
            return;
        turn_.tasks.erase(existing);
        ++queued_;
    }

    bool permits(const item_step& step, const sync_item& stored) {
        return turn_.questions.allowed(step.permission, step.message_kind, stored,
                                       pending_.more_than_one(step.permission));
    }

    bool permits_when_asked(const item_step& step, const sync_item& stored) {
        return turn_.questions.allowed_only_when_asked(
            step.permission, step.message_kind, stored,
            pending_asked_anyway_.more_than_one(step.permission));
    }

    void queue(const sync_item& candidate, const sync_item& stored, int kind) {
        const auto existing = find_task_for(turn_.tasks, candidate.dir_remote, candidate.dir_local,
                                            candidate.filename);
        if (existing != turn_.tasks.end()) {
            if (existing->get_kind() == kind) return;
            // An edit waiting to go across wins over a removal on the other
            // side; the next pass after it went across decides again.
            if (is_removal(kind) && !is_removal(existing->get_kind())) return;
            turn_.tasks.erase(existing);
        }
        task& queued =
            queue_task(turn_.tasks, turn_.owner, kind, candidate.dir_remote, candidate.dir_local,
                       candidate.filename, turn_.environment, turn_.stopped);
        queued.set_basis(basis_of(candidate, stored, kind));
        if (kind == task::kind_upload || kind == task::kind_download)
            queued.set_journal(turn_.journal);
        take_in(candidate, stored);
        ++queued_;
    }

    // The item as this pass saw it: what a removal may take, and the file a
    // transfer may replace.
    std::shared_ptr<const task::item_basis> basis_of(const sync_item& candidate,
                                                     const sync_item& stored, int kind) const {
        auto basis = std::make_shared<task::item_basis>();
        if (kind == task::kind_upload && stored.synced_time != missing_time &&
            stored.local_record != recorded_local::unknown)
            basis->local_changed = local_changed_since_sync(candidate, stored);
        const bool local_seen = candidate.last_time_local != missing_time;
        const bool remote_seen = candidate.last_time_remote != missing_time;
        if (kind == task::kind_remove_local_file || (kind == task::kind_download && local_seen))
            basis->local_file = candidate.local_file;
        if (kind == task::kind_remove_remote_file || (kind == task::kind_upload && remote_seen))
            basis->remote_file =
                remote_item_state{false, candidate.last_time_remote, candidate.remote_size};
        if (kind == task::kind_download && remote_seen && !candidate.remote_id.empty()) {
            basis->remote_file =
                remote_item_state{false, candidate.last_time_remote, candidate.remote_size};
            basis->remote_id = decode_utf8(candidate.remote_id.str());
        }
        if (kind == task::kind_upload)
            basis->remote_case_differs = case_writes_.remote_case_differs(candidate, turn_.owner);
        if (kind == task::kind_remove_remote_folder) {
            for (const sync_item& below : turn_.found.candidates) {
                if (below.last_time_remote == missing_time ||
                    !path_is_within(below.dir_remote, candidate.dir_remote))
                    continue;
                const std::wstring folder = relative_path(below.dir_remote, candidate.dir_remote);
                if (below.filename.empty()) {
                    if (!folder.empty()) basis->remote_tree[folder] = remote_item_state{true, 0, 0};
                } else {
                    basis->remote_tree[folder.empty() ? below.filename
                                                      : folder + L"/" + below.filename] =
                        remote_item_state{false, below.last_time_remote, below.remote_size};
                }
            }
        }
        return basis;
    }

    // A removal that found its item changed kept it; its record is
    // forgotten, so the item counts as new on the side that still has it and
    // goes across (an edit wins over a removal on the other side).
    void forget_outdated_removals() {
        for (auto entry = turn_.tasks.begin(); entry != turn_.tasks.end();) {
            if (!entry->is_outdated() || !entry->get_binding().is_same_as(turn_.owner)) {
                ++entry;
                continue;
            }
            const auto stored = turn_.table.find(
                sync_item(entry->get_dir_remote(), entry->get_dir_local(), entry->get_filename()));
            if (stored != turn_.table.end()) {
                stored->last_time_remote = missing_time;
                stored->last_time_local = missing_time;
                stored->synced_time = missing_time;
                stored->local_file = local_file_state{};
                stored->local_record = recorded_local::unknown;
            }
            entry = turn_.tasks.erase(entry);
            ++queued_;
        }
    }

    // A removal never takes a name that a transfer of this pass (or one
    // still waiting) writes under any case: the service's names ignore case,
    // so it would take what the transfer wrote. The item is left as it is
    // and decided again once the transfer went across.
    void hold_removals_of_written_names(std::vector<item_plan>& plans) const {
        if (!removals_planned_) return;
        std::size_t index = 0;
        for (const sync_item& candidate : turn_.found.candidates) {
            item_plan& plan = plans[index++];
            if (!plan.removal ||
                !case_writes_.takes_written_name(candidate, plan.removal->task_kind))
                continue;
            plan.removal.reset();
            plan.transfer = {};
        }
    }

    // Removals of every file or most of the files on one side (removal_guard)
    // wait: those candidates, and the folder removals of that side, are left
    // as they are; or they are asked, each, whatever the rule says.
    void judge_mass_removals(std::vector<item_plan>& plans, removal_guard::side side, bool waited) {
        const int file_kind = side == removal_guard::side::local ? task::kind_remove_local_file
                                                                 : task::kind_remove_remote_file;
        const int folder_kind = side == removal_guard::side::local
                                    ? task::kind_remove_local_folder
                                    : task::kind_remove_remote_folder;
        removal_guard::item_keys planned;
        std::size_t index = 0;
        if (removals_planned_) {
            for (const sync_item& candidate : turn_.found.candidates) {
                const item_plan& plan = plans[index++];
                if (plan.removal && plan.removal->task_kind == file_kind) planned.insert(candidate);
            }
        }
        // Nothing planned is never held, whatever the table knows.
        const std::size_t known = planned.empty() ? 0 : known_files(turn_.table, side);
        const removal_guard::handling handling =
            turn_.guard.handle(turn_.owner, side, planned, known, waited);
        if (handling == removal_guard::handling::as_rules_say) return;
        if (handling == removal_guard::handling::ask) asked_anyway_.resize(plans.size());
        index = 0;
        for (item_plan& plan : plans) {
            const std::size_t at = index++;
            if (!plan.removal) continue;
            if (plan.removal->task_kind != file_kind && plan.removal->task_kind != folder_kind)
                continue;
            if (handling == removal_guard::handling::ask) {
                asked_anyway_[at] = true;
                continue;
            }
            plan.removal.reset();
            plan.transfer = {};
        }
    }

    // Every entry whose name cannot cross is shown as a task failing with the
    // reason, for as long as it is there.
    void show_unsyncable(const std::vector<unsyncable_item>& conflicts) {
        std::set<const task*> shown;
        std::vector<const unsyncable_item*> items;
        for (const unsyncable_item& item : turn_.found.unsyncable) items.push_back(&item);
        for (const unsyncable_item& item : kept_both_) items.push_back(&item);
        for (const unsyncable_item& item : conflicts) items.push_back(&item);
        for (const unsyncable_item* entry : items) {
            const unsyncable_item& item = *entry;
            const auto existing =
                find_task_for(turn_.tasks, item.dir_remote, item.dir_local, item.name);
            if (existing != turn_.tasks.end()) {
                shown.insert(&*existing);
                continue;
            }
            task& refused = queue_task(turn_.tasks, turn_.owner, item.task_kind, item.dir_remote,
                                       item.dir_local, item.name, turn_.environment, false);
            refused.refuse(item.reason);
            shown.insert(&refused);
            ++queued_;
        }
        for (auto entry = turn_.tasks.begin(); entry != turn_.tasks.end();) {
            if (entry->is_refused() && entry->get_binding().is_same_as(turn_.owner) &&
                !shown.contains(&*entry)) {
                entry = turn_.tasks.erase(entry);
                ++queued_;
            } else {
                ++entry;
            }
        }
    }

    // The items in the way of a held transfer that nothing removes (the
    // survivor changed, both are new, or a removal was refused): the person
    // is shown why neither goes across. An item whose removal was planned
    // this pass, or waits in the task list, frees the name by itself.
    std::vector<unsyncable_item> kind_conflicts_to_show() const {
        std::vector<unsyncable_item> shown;
        if (in_the_way_.empty()) return shown;
        std::vector<const sync_item*> items;
        items.reserve(turn_.found.candidates.size());
        for (const sync_item& candidate : turn_.found.candidates) items.push_back(&candidate);
        for (const item_in_the_way& entry : in_the_way_) {
            if (entry.removal_planned) continue;
            const sync_item& item = *items[entry.candidate];
            const auto waiting =
                find_task_for(turn_.tasks, item.dir_remote, item.dir_local, item.filename);
            if (waiting != turn_.tasks.end() && is_removal(waiting->get_kind())) continue;
            const int kind =
                item.last_time_remote != missing_time ? task::kind_upload : task::kind_download;
            if (item.filename.empty()) {
                shown.push_back({parent_path(item.dir_remote), parent_path(item.dir_local),
                                 leaf_name(item.dir_local), kind_conflict_reason(item), kind});
            } else {
                shown.push_back({item.dir_remote, item.dir_local, item.filename,
                                 kind_conflict_reason(item), kind});
            }
        }
        return shown;
    }

    // Deepest folders first: a folder's contents are settled before it. A
    // folder goes (asked about as the rule says) only with everything below
    // it; until then its record stays as it is, so that a later pass, once
    // the rest has gone, decides it again.
    void settle_folder_removals(const std::vector<std::vector<int>>& questions) {
        if (deferred_.empty()) return;
        gather_file_removals();
        std::vector<bool> goes;
        for (const deferred_removal& removal : deferred_) {
            const sync_item& candidate = *removal.candidate;
            goes.push_back(removal.step.task_kind == task::kind_remove_local_folder
                               ? local_contents_all_removed(candidate.dir_local)
                               : remote_contents_all_removed(candidate));
            if (goes.back()) continue;
            if (!questions.empty()) pending_.add(questions[removal.index], -1);
            if (removal.asked_anyway) pending_asked_anyway_.add({removal.step.permission}, -1);
        }
        for (std::size_t at = deferred_.size(); at-- > 0;) {
            if (!goes[at]) continue;
            const deferred_removal& removal = deferred_[at];
            const sync_item& candidate = *removal.candidate;
            const sync_item& stored = *turn_.table.find(candidate);
            const bool allowed = removal.asked_anyway ? permits_when_asked(removal.step, stored)
                                                      : permits(removal.step, stored);
            if (allowed) {
                queue(candidate, stored, removal.step.task_kind);
            } else {
                take_in(candidate, stored);
            }
            if (!questions.empty()) pending_.add(questions[removal.index], -1);
            if (removal.asked_anyway) pending_asked_anyway_.add({removal.step.permission}, -1);
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
            if (entry.problem != name_problem::none) return false;
            if (entry.state.is_directory) {
                if (!local_contents_all_removed(join_path(folder, entry.name))) return false;
            } else if (!local_file_removals_.contains(file_key(folder, entry.name))) {
                return false;
            }
        }
        return true;
    }

    // What the remote walk listed below the folder: the candidates that
    // follow the folder's own in the set's order.
    bool remote_contents_all_removed(const sync_item& folder_candidate) const {
        const collected_items& found = turn_.found;
        const std::wstring& folder = folder_candidate.dir_remote;
        if (!found.remote_complete) return false;
        for (const std::wstring& unknown : found.remote_folders_with_unknown_children) {
            if (path_is_within(unknown, folder)) return false;
        }
        for (auto candidate = found.candidates.upper_bound(folder_candidate);
             candidate != found.candidates.end() && path_is_within(candidate->dir_remote, folder);
             ++candidate) {
            if (candidate->filename.empty() || candidate->last_time_remote == missing_time)
                continue;
            if (!remote_file_removals_.contains(
                    file_key(candidate->dir_remote, candidate->filename)))
                return false;
        }
        return true;
    }

    binding_turn& turn_;
    case_writes case_writes_;
    pending_questions pending_;
    // The candidates whose removal is asked whatever the rule says, by
    // index; empty when there is none.
    std::vector<bool> asked_anyway_;
    pending_questions pending_asked_anyway_;
    std::vector<deferred_removal> deferred_;
    std::vector<item_in_the_way> in_the_way_;
    file_keys local_file_removals_;
    file_keys remote_file_removals_;
    std::set<sync_item, sync_item::less> results_taken_now_;
    // Opened copies left as they are because their remote file changed too.
    std::vector<unsyncable_item> kept_both_;
    // Whether any candidate's plan holds a removal, or a step to ask about.
    bool removals_planned_ = false;
    bool asks_planned_ = false;
    int queued_ = 0;
};

}  // namespace

std::set<sync_item, sync_item::less> ended_transfers(const task_list& tasks, const binding& owner) {
    std::set<sync_item, sync_item::less> ended;
    for (const task& job : tasks) {
        if (job.get_binding().is_same_as(owner) && job.get_synced_time())
            ended.insert(sync_item(job.get_dir_remote(), job.get_dir_local(), job.get_filename()));
    }
    return ended;
}

std::set<sync_item, sync_item::less> items_of_tasks(const task_list& tasks, const binding& owner) {
    std::set<sync_item, sync_item::less> items;
    for (const task& job : tasks) {
        if (job.get_binding().is_same_as(owner))
            items.insert(sync_item(job.get_dir_remote(), job.get_dir_local(), job.get_filename()));
    }
    return items;
}

int check_candidates(binding_turn& turn) {
    return candidate_checker(turn).run();
}

}  // namespace syncer
