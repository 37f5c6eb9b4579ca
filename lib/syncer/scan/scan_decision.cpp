#include "syncer/scan/scan_decision.h"

#include "syncer/core/sync_rule.h"
#include "syncer/core/user_interface.h"
#include "syncer/tasks/task.h"

namespace syncer {

namespace {

// Permission indexes in rule order.
constexpr int can_upload = 0;
constexpr int can_download = 1;
constexpr int can_overwrite_upload = 2;
constexpr int can_overwrite_download = 3;
constexpr int can_remove_remote = 4;
constexpr int can_remove_remote_dir = 5;
constexpr int can_remove_local = 6;
constexpr int can_remove_local_dir = 7;

item_transfer leave() {
    return {item_outcome::leave, {}};
}

item_transfer record() {
    return {item_outcome::record, {}};
}

item_transfer ask(int permission, int message_kind, int task_kind) {
    return {item_outcome::ask,
            {static_cast<std::int8_t>(permission), static_cast<std::int8_t>(message_kind),
             static_cast<std::int8_t>(task_kind)}};
}

item_step removal_step(const sync_item& found) {
    const bool remote_gone = found.last_time_remote == missing_time;
    if (found.filename.empty()) {
        return remote_gone ? item_step{can_remove_local_dir, message_kind::remove_local_folder,
                                       task::kind_remove_local_folder}
                           : item_step{can_remove_remote_dir, message_kind::remove_remote_folder,
                                       task::kind_remove_remote_folder};
    }
    return remote_gone ? item_step{can_remove_local, message_kind::remove_local_file,
                                   task::kind_remove_local_file}
                       : item_step{can_remove_remote, message_kind::remove_remote_file,
                                   task::kind_remove_remote_file};
}

// Which side of a file present on both sides changed since both last held
// the same file; nothing when that is unknown or both did.
enum class changed_side { unknown, local, remote };

changed_side one_changed_side(const sync_item& found, const sync_item& stored) {
    if (stored.synced_time == missing_time) return changed_side::unknown;
    const bool local_changed = local_changed_since_sync(found, stored);
    const bool remote_changed = found.last_time_remote != stored.synced_time;
    if (local_changed == remote_changed) return changed_side::unknown;
    return local_changed ? changed_side::local : changed_side::remote;
}

// Both sides of a file changed since both last held the same file.
bool both_changed(const sync_item& found, const sync_item& stored) {
    return stored.synced_time != missing_time && found.last_time_local != missing_time &&
           found.last_time_remote != missing_time && local_changed_since_sync(found, stored) &&
           found.last_time_remote != stored.synced_time;
}

// Whether the side of a file that is still there holds what both sides
// held when they last agreed.
bool file_survivor_unchanged(const sync_item& found, const sync_item& stored, bool local_gone) {
    if (stored.synced_time == missing_time) return false;
    return local_gone ? found.last_time_remote == stored.synced_time
                      : !local_changed_since_sync(found, stored);
}

item_transfer plan_transfer(const binding& owner, const sync_item& found, const sync_item& stored) {
    if (found.filename.empty()) return record();
    // The copy of an opened file may replace only the version it was made
    // from (its rule lets it overwrite without asking).
    if (owner._type == binding::type_open_copy && both_changed(found, stored))
        return {item_outcome::keep_both, {}};
    // A side that did not change never overwrites the side that did, whatever
    // the times say (a clock ahead dates the unchanged copy later); the times
    // decide only when both changed or nothing tells.
    if (found.last_time_remote != missing_time && found.last_time_local != missing_time &&
        owner._type != binding::type_upload_only) {
        switch (one_changed_side(found, stored)) {
            case changed_side::local:
                return ask(can_overwrite_upload, message_kind::upload_newer, task::kind_upload);
            case changed_side::remote:
                // An empty remote file is decided below: it is what a
                // cut-off upload leaves, never fetched.
                if (found.remote_size > 0)
                    return ask(can_overwrite_download, message_kind::download_newer,
                               task::kind_download);
                break;
            case changed_side::unknown:
                break;
        }
    }
    if (found.last_time_remote <= found.last_time_local ||
        owner._type == binding::type_upload_only) {
        return found.last_time_remote == missing_time
                   ? ask(can_upload, message_kind::upload_new, task::kind_upload)
                   : ask(can_overwrite_upload, message_kind::upload_newer, task::kind_upload);
    }
    // The remote side is newer. An empty remote file is never fetched: over
    // local content it is taken as older (it is what an upload cut off after
    // creating the file leaves), and without local content it is not
    // recorded, so it is looked at again next pass.
    if (found.remote_size == 0) {
        return found.local_size() > 0
                   ? ask(can_overwrite_upload, message_kind::upload_newer, task::kind_upload)
                   : leave();
    }
    return found.last_time_local == missing_time
               ? ask(can_download, message_kind::download_new, task::kind_download)
               : ask(can_overwrite_download, message_kind::download_newer, task::kind_download);
}

}  // namespace

item_plan plan_item(const binding& owner, const sync_item& found, const sync_item& stored,
                    const collected_items& walk) {
    item_plan plan;
    const bool local_gone = found.last_time_local == missing_time;
    const bool remote_gone = found.last_time_remote == missing_time;
    if (local_gone && never_acts_on_local_absence(owner)) return plan;
    // What is gone from a side that was not fully seen may still be there:
    // decide nothing about it until a complete walk.
    if ((local_gone && stored.last_time_local != missing_time && !walk.local_complete) ||
        (remote_gone && stored.last_time_remote != missing_time && !walk.remote_complete))
        return plan;
    if (found.last_time_remote == stored.last_time_remote &&
        found.last_time_local == stored.last_time_local &&
        !local_moved_since_record(found, stored) && owner._type != binding::type_upload_only)
        return plan;
    const bool same_on_both_sides = found.filename.empty()
                                        ? found.last_time_remote == found.last_time_local
                                        : sides_agree(found, stored);
    if (same_on_both_sides && found.remote_size == found.local_size()) {
        plan.transfer = record();
        return plan;
    }
    if (local_gone && remote_gone) {
        plan.transfer = record();
        return plan;
    }
    const bool both_were_known =
        stored.last_time_remote != missing_time && stored.last_time_local != missing_time;
    if (both_were_known && (local_gone || remote_gone)) {
        const std::int64_t survivor = local_gone ? found.last_time_remote : found.last_time_local;
        // A file goes only while the other side holds what both sides last
        // held; a folder only with everything in it (settled by the caller).
        const bool survivor_unchanged =
            found.filename.empty()
                ? survivor == (local_gone ? stored.last_time_remote : stored.last_time_local)
                : file_survivor_unchanged(found, stored, local_gone);
        if (survivor_unchanged) plan.removal = removal_step(found);
    }
    plan.transfer = plan_transfer(owner, found, stored);
    return plan;
}

bool is_removal(int task_kind) {
    return task_kind == task::kind_remove_local_file ||
           task_kind == task::kind_remove_local_folder ||
           task_kind == task::kind_remove_remote_file ||
           task_kind == task::kind_remove_remote_folder;
}

bool is_folder_removal(int task_kind) {
    return task_kind == task::kind_remove_local_folder ||
           task_kind == task::kind_remove_remote_folder;
}

bool local_moved_since_record(const sync_item& found, const sync_item& stored) {
    return stored.local_record != recorded_local::unknown &&
           found.last_time_local != missing_time &&
           !found.local_file.unchanged_from(stored.local_file);
}

bool local_changed_since_sync(const sync_item& found, const sync_item& stored) {
    switch (stored.local_record) {
        case recorded_local::synced:
            return !found.local_file.unchanged_from(stored.local_file);
        case recorded_local::seen:
            return true;
        case recorded_local::unknown:
            break;
    }
    return found.last_time_local != stored.synced_time;
}

bool sides_agree(const sync_item& found, const sync_item& stored) {
    if (found.filename.empty() || found.last_time_remote == missing_time ||
        found.last_time_remote != found.last_time_local || found.remote_size != found.local_size())
        return false;
    // A table that never saw them agree has only the times to go by.
    return stored.synced_time == missing_time || stored.local_record == recorded_local::unknown ||
           !local_changed_since_sync(found, stored);
}

void take_in(const sync_item& found, const sync_item& stored) {
    if (sides_agree(found, stored)) {
        record_agreement(stored, found.last_time_remote, found.local_file);
        return;
    }
    stored.last_time_remote = found.last_time_remote;
    stored.last_time_local = found.last_time_local;
    if (found.filename.empty() || found.last_time_local == missing_time) {
        stored.local_file = local_file_state{};
        stored.local_record = recorded_local::unknown;
    } else if (stored.local_record == recorded_local::unknown ||
               !found.local_file.unchanged_from(stored.local_file)) {
        stored.local_file = found.local_file;
        stored.local_file.inode = 0;
        stored.local_record = recorded_local::seen;
    }
}

}  // namespace syncer
