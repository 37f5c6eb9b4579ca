#include "syncer/scan_pass.h"

#include "syncer/binding_manager.h"
#include "syncer/exceptions.h"
#include "syncer/folder_identity.h"
#include "syncer/items_manager.h"
#include "syncer/journal_intake.h"
#include "syncer/locked_operations.h"
#include "syncer/messages.h"
#include "syncer/paths.h"
#include "syncer/scan_decision.h"
#include "syncer/scan_interruption.h"
#include "syncer/scan_item_check.h"
#include "syncer/scan_questions.h"
#include "syncer/scan_walk.h"
#include "syncer/transfer_recovery.h"

namespace syncer {

namespace {

// Whether the table knows an item below the binding's root on the side whose
// time the member names.
bool knows_items_below_root(const items_manager& table, const binding& owner,
                            std::int64_t sync_item::*side_time) {
    for (const sync_item& stored : table) {
        const bool root = stored.filename.empty() &&
                          paths_equal(stored.dir_remote, owner.dir_remote) &&
                          paths_equal(stored.dir_local, owner.dir_local);
        if (!root && stored.*side_time != missing_time) return true;
    }
    return false;
}

// An empty root facing a side that holds something may be a drive not
// mounted or a listing come back empty; or the user removed the last files.
struct emptied_roots {
    // The user emptied the root: its removals go as the rules allow.
    bool local = false;
    bool remote = false;
    // The local root is empty and is not the folder its files were in: the
    // user is to be told (once).
    bool tell_local_replaced = false;
};

// Until the same root is seen empty by a second pass, nothing known there is
// taken as removed; a local root must also still be the folder its files
// were in. Records the local root's identity while it holds something.
emptied_roots judge_empty_roots(removal_guard& guard, const binding& owner, collected_items& found,
                                items_manager& table) {
    using side = removal_guard::side;
    emptied_roots result;
    bool replaced = false;
    if (found.local_root_empty && !found.remote_root_empty &&
        knows_items_below_root(table, owner, &sync_item::last_time_local)) {
        const auto now = folder_identity::of(owner.dir_local);
        replaced = !now || table.local_root() != now;
        result.local = !replaced && guard.empty_root_confirmed(owner, side::local, true);
        if (replaced) guard.empty_root_confirmed(owner, side::local, false);
        if (!result.local) found.local_complete = false;
    } else {
        guard.empty_root_confirmed(owner, side::local, false);
        if (found.local_complete && !found.local_root_empty) {
            if (const auto now = folder_identity::of(owner.dir_local)) table.set_local_root(*now);
        }
    }
    result.tell_local_replaced = guard.notice_due(owner, replaced);
    if (found.remote_root_empty && !found.local_root_empty &&
        knows_items_below_root(table, owner, &sync_item::last_time_remote)) {
        result.remote = guard.empty_root_confirmed(owner, side::remote, true);
        if (!result.remote) found.remote_complete = false;
    } else {
        guard.empty_root_confirmed(owner, side::remote, false);
    }
    return result;
}

std::wstring replaced_root_text(const binding& owner) {
    return L"The folder \"" + owner.dir_local +
           L"\" is empty, and it is not the folder whose "
           L"files were synced with \"" +
           owner.dir_remote + L"\" on " + product_name +
           L" (a drive that is not mounted, or a folder made anew). Nothing is removed on " +
           product_name + L" because of it. If you removed the files yourself, remove them on " +
           product_name + L" too.";
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
    std::set<sync_item, sync_item::less> results_before_walk;
    std::set<sync_item, sync_item::less> items_with_tasks;
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
    if (first && owner._type == binding::type_saved_files)
        remove_unchanged_saved_copies(found.candidates);

    std::optional<sync_permission> recursion;
    emptied_roots roots;
    int queued = 0;
    if (shared.memory)
        shared.memory->mutexes.keep(
            items_manager::mutex_name(owner.items_filename, shared.user_name));
    {
        items_manager table(owner, shared.user_name);
        const journal_intake intake(table, owner, *journal);
        const auto journalled_during_walk = intake.items_after(journal_before_walk);
        roots = judge_empty_roots(shared.guard, owner, found, table);
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
        turn.emptied_local_root = roots.local;
        turn.emptied_remote_root = roots.remote;
        turn.results_before_walk = &results_before_walk;
        turn.journalled_during_walk = &journalled_during_walk;
        turn.journal = journal;
        turn.results_taken = shared.results_taken;
        queued = check_candidates(turn);
        recursion = questions.recursion_to_store();
        table.save();
        intake.cut();
    }
    changed += queued;
    if (queued != 0 && shared.work_queued) shared.work_queued();
    if (roots.tell_local_replaced)
        shared.ui.report_error(message_kind::none, replaced_root_text(owner), owner,
                               owner.dir_remote, owner.dir_local, L"", false);

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
