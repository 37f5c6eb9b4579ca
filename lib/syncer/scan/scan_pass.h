// Room scan, above tasks and below manager (the order of the rooms:
// lib/syncer/CMakeLists.txt): one scan pass, its walks and listings,
// candidates, nesting, roots, decisions, kind conflicts and case renames,
// questions, the removal guard and the task list.
//
// One scan pass: every active binding's two sides walked, compared with its
// item table, questions asked, tasks queued.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/scan/scan_memory.h"
#include "syncer/scan/scan_removal_guard.h"
#include "syncer/scan/scan_task_list.h"
#include "syncer/tasks/task_environment.h"

namespace syncer {

// The manager's state a pass works on. Locks are taken stopped set first,
// then task list; the task list is held through a binding's whole check,
// questions included.
struct scan_shared {
    const std::wstring& user_name;
    user_interface& ui;
    const std::shared_ptr<task_environment>& environment;
    std::mutex& tasks_lock;
    task_list& tasks;
    std::mutex& stopped_lock;
    binding_set& stopped;
    // Lives as long as the manager: what earlier passes held back.
    removal_guard& guard;
    // Called, with no lock held, after a binding's turn queued tasks, so
    // that they start without waiting for the runner's next cycle.
    std::function<void()> work_queued = {};
    // Lives as long as the manager, when there is one: what a pass keeps for
    // the next.
    scan_memory* memory = nullptr;
    // Called in each binding's turn, with the task list locked, once the
    // results of ended transfers were taken (tests end a transfer there).
    std::function<void()> results_taken = {};
};

struct scan_result {
    // Tasks purged plus tasks queued.
    int changed = 0;
    // Bindings that asked for a pass of their own (force_sync_once) and whose
    // turn failed: they keep the flag, and are tried again after a wait that
    // grows with every failure in a row.
    binding_set failed_forced;
};

// Runs one pass. first: the scan thread's first pass (the saved-files
// folder's clean-up runs then). Throws when the pass cannot run at all (the
// binding table unreadable, nobody logged in); a failure inside one
// binding's turn abandons that binding only. thread_interrupted ends the
// pass.
scan_result scan_bindings(scan_shared& shared, bool first, const stop_signal& stop);

}  // namespace syncer
