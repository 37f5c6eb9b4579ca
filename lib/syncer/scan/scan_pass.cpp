#include "syncer/scan/scan_pass.h"

#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/scan/scan_item_check.h"
#include "syncer/scan/scan_questions.h"
#include "syncer/scan/scan_roots.h"
#include "syncer/scan/scan_walk.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/journal_intake.h"
#include "syncer/tables/locked_operations.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/transfer_recovery.h"

namespace syncer {

// The pass, scan_bindings, in order:
//   1. reads a fresh copy of the binding table and, under the task-list
//      lock, purges the tasks of removed bindings and the done tasks;
//   2. takes the logged-in user's session (none fails the pass);
//   3. gives every binding that is active or asks for a pass its turn, in
//      binding order; a failed turn abandons that binding only.
// A binding's turn, scan_binding, in order:
//   1. notes, under the task-list lock, the transfers that ended and the
//      items that have tasks;
//   2. settles the transfers a killed process left in the journal
//      (settle_unfinished_transfers);
//   3. walks the local folder, then the remote one (collect_candidates);
//   4. opens the item table and takes the journal's results in;
//   5. judges the roots (judge_roots): a root gone or replaced holds the
//      binding, and steps 6 to 8 do nothing;
//   6. on the first pass, removes the saved-files folder's copies that are
//      not newer than their remote files;
//   7. forgets the items gone from both sides, when both walks saw all;
//   8. under the stopped-set and task-list locks, checks every candidate:
//      decides, asks, queues (check_candidates);
//   9. saves the item table and cuts what it took in from the journal;
//  10. tells that tasks were queued, and a held root's notice;
//  11. stores in the binding table the answer to the recursion question and
//      clears force_sync_once (its mutex only once the item table is
//      closed).

namespace {

using item_keys = std::set<sync_item, sync_item::less>;

// What came of transfers around the walks: the results the task list held
// before them, the items whose results the journal took in while they ran,
// and the journal itself.
struct walk_results {
    const item_keys& before_walk;
    const item_keys& journalled_during_walk;
    std::shared_ptr<const transfer_journal> journal;
};

// Checks the candidates of a binding whose roots are its own, under the
// task-list lock; returns how many tasks were queued or dropped.
int check_binding(scan_shared& shared, binding& owner, items_manager& table, collected_items& found,
                  const walk_results& results, const root_judgement& roots,
                  remembered_answers& answers, std::optional<sync_permission>& recursion,
                  const stop_signal& stop) {
    // A folder that could not be read hides what is still there.
    if (found.local_complete && found.remote_complete && found.unreadable_local_folders.empty())
        forget_vanished_items(table, found.candidates);
    std::unique_lock<std::mutex> stopped_guard(shared.stopped_lock);
    std::lock_guard<std::mutex> tasks_guard(shared.tasks_lock);
    const bool stopped = shared.stopped.contains(owner);
    stopped_guard.unlock();
    permission_questions questions(shared.ui, owner, table, answers);
    binding_turn turn{owner, table,        shared.tasks,       stopped, questions,
                      found, shared.guard, shared.environment, stop};
    turn.emptied_local_root = roots.local_emptied;
    turn.emptied_remote_root = roots.remote_emptied;
    turn.results_before_walk = &results.before_walk;
    turn.journalled_during_walk = &results.journalled_during_walk;
    turn.journal = results.journal;
    turn.results_taken = shared.results_taken;
    const int queued = check_candidates(turn);
    recursion = questions.recursion_to_store();
    return queued;
}

// One binding's turn; adds the tasks it queued to changed.
void scan_binding(scan_shared& shared, const binding& listed, const binding_set& bindings,
                  bool first, vfs::client& client, remembered_answers& answers, int& changed,
                  const stop_signal& stop) {
    binding owner = listed;
    collected_items found;
    const nested_bindings nested(owner, bindings);
    walk_context walk{owner,     found,
                      shared.ui, shared.user_name,
                      stop,      shared.memory ? &shared.memory->marks : nullptr};
    if (!nested.empty()) walk.nested = &nested;
    item_keys results_before_walk;
    item_keys items_with_tasks;
    {
        std::lock_guard<std::mutex> tasks_guard(shared.tasks_lock);
        results_before_walk = ended_transfers(shared.tasks, owner);
        items_with_tasks = items_of_tasks(shared.tasks, owner);
    }
    const auto journal = std::make_shared<const transfer_journal>(
        transfer_journal::path_for(owner.items_filename, shared.user_name));
    settle_unfinished_transfers(*journal, owner, client, items_with_tasks, stop);
    const std::uint64_t journal_before_walk = journal->size();
    collect_candidates(walk, client);

    std::optional<sync_permission> recursion;
    root_judgement roots;
    int queued = 0;
    if (shared.memory)
        shared.memory->mutexes.keep(
            items_manager::mutex_name(owner.items_filename, shared.user_name));
    {
        items_manager table(owner, shared.user_name);
        const journal_intake intake(table, owner, *journal);
        const item_keys journalled_during_walk = intake.items_after(journal_before_walk);
        roots = judge_roots(shared.guard, owner, found, table);
        if (!roots.held) {
            if (first && owner._type == binding::type_saved_files)
                remove_unchanged_saved_copies(found.candidates);
            const walk_results results{results_before_walk, journalled_during_walk, journal};
            queued = check_binding(shared, owner, table, found, results, roots, answers, recursion,
                                   stop);
        }
        table.save();
        intake.cut();
    }
    changed += queued;
    if (queued != 0 && shared.work_queued) shared.work_queued();
    if (!roots.notice.empty())
        shared.ui.report_error(message_kind::none, roots.notice, owner, owner.dir_remote,
                               owner.dir_local, L"", false);

    // The binding table only once the item table is closed: its mutex comes
    // first everywhere.
    if (recursion) {
        try {
            locked_set_recurse_permission(shared.user_name, owner, *recursion);
        } catch (const binding_not_found_exception&) {
            // Removed meanwhile: nothing left to keep the answer for.
        }
    }
    if (owner.force_sync_once) locked_reset_force_sync_once(shared.user_name, owner);
}

}  // namespace

scan_result scan_bindings(scan_shared& shared, bool first, const stop_signal& stop) {
    interruption_point(stop);
    if (shared.memory) {
        shared.memory->mutexes.keep(binding_manager::mutex_name(shared.user_name));
        shared.memory->marks.begin_pass();
    }
    const binding_set bindings = locked_get_bindings(shared.user_name);
    scan_result result;
    {
        std::lock_guard<std::mutex> guard(shared.tasks_lock);
        result.changed = purge_tasks_of_removed_bindings(shared.tasks, bindings) +
                         purge_done_tasks(shared.tasks, bindings);
    }
    const vfs::client_ptr client = shared.environment->get_client();
    remembered_answers answers{};
    for (const binding& listed : bindings) {
        if (listed._mode == 0 && !listed.force_sync_once) continue;
        try {
            scan_binding(shared, listed, bindings, first, *client, answers, result.changed, stop);
        } catch (const thread_interrupted&) {
            throw;
        } catch (...) {
            // This binding is abandoned for this pass; the others go on.
            if (listed.force_sync_once) result.failed_forced.insert(listed);
        }
    }
    if (shared.memory) shared.memory->marks.end_pass();
    return result;
}

}  // namespace syncer
