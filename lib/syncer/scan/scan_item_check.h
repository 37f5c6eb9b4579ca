// One binding's candidates checked against its item table, in key order,
// under the task-list lock: each is left alone, recorded, or (with the
// permission its step needs) turned into a queued task.
#pragma once

#include <functional>
#include <memory>
#include <set>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_questions.h"
#include "syncer/scan/scan_removal_guard.h"
#include "syncer/scan/scan_task_list.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/transfer_journal.h"

namespace syncer {

struct binding_turn {
    const binding& owner;
    items_manager& table;
    task_list& tasks;
    // The binding is stopped: its new tasks are stopped at once.
    bool stopped;
    permission_questions& questions;
    const collected_items& found;
    removal_guard& guard;
    const std::shared_ptr<task_environment>& environment;
    const stop_signal& stop;
    // A root found empty facing a full one, by the user's doing (seen so
    // again, the same folder): its removals need no further wait.
    bool emptied_local_root = false;
    bool emptied_remote_root = false;
    // The items whose transfer had ended before the walks of this pass
    // began. A transfer that ended since may have ended after the walk saw
    // its item, so that item waits for the next pass. Null: every ended
    // transfer counts as ended before.
    const std::set<sync_item, sync_item::less>* results_before_walk = nullptr;
    // The items whose results the journal took in came while the walks ran:
    // they too wait for the next pass. Null: none.
    const std::set<sync_item, sync_item::less>* journalled_during_walk = nullptr;
    // Where the binding's transfers announce their steps and results; none:
    // their results live in the tasks alone.
    std::shared_ptr<const transfer_journal> journal = {};
    // Called, under the task-list lock, once the results of ended transfers
    // were taken (tests end a transfer there).
    std::function<void()> results_taken = {};
};

// The items of the binding's tasks whose transfer has ended with a result
// not yet recorded; the caller holds the task list's lock.
std::set<sync_item, sync_item::less> ended_transfers(const task_list& tasks, const binding& owner);

// The items of every task of the binding in the list; the caller holds the
// task list's lock.
std::set<sync_item, sync_item::less> items_of_tasks(const task_list& tasks, const binding& owner);

// Checks every candidate; returns how many tasks were queued or dropped.
//
// A removal task carries what the scan saw of the item, so it removes only
// that. A removal never replaces a transfer waiting for the same item: an
// edit on one side wins over a removal on the other. Removals of every file
// or most of a binding's files on one side wait for a later pass, which asks
// about each whatever the rule says (removal_guard). Names
// that cannot cross become tasks that fail with the reason.
//
// A folder is removed only when everything below it on that side is being
// removed in this pass (every file has its removal task; nothing hidden,
// unnamed or unlisted remains). Otherwise only what was decided is removed
// and the folder stays, its times recorded as for a refused removal.
int check_candidates(binding_turn& turn);

}  // namespace syncer
