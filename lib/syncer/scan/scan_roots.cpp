#include "syncer/scan/scan_roots.h"

#include "syncer/core/messages.h"
#include "syncer/core/paths.h"
#include "syncer/tables/folder_identity.h"

namespace syncer {

namespace {

enum class root_state { own, gone, replaced };

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

// A table that knows nothing on a side has nothing there to lose: any root
// is the binding's own. One kept before roots had identities takes the
// first one seen.
template <typename Identity>
root_state state_of(const std::optional<Identity>& now, const std::optional<Identity>& stored,
                    bool knows_items) {
    if (now && stored && *now == *stored) return root_state::own;
    if (!knows_items) return root_state::own;
    if (!now) return root_state::gone;
    return stored ? root_state::replaced : root_state::own;
}

std::wstring local_text(const binding& owner, root_state state) {
    if (state == root_state::gone)
        return L"The folder \"" + owner.dir_local +
               L"\" is not there (a drive that is not mounted, or a folder moved or removed).";
    return L"The folder \"" + owner.dir_local +
           L"\" is not the folder whose files were synced with \"" + owner.dir_remote + L"\" on " +
           product_name + L" (a drive that is not mounted, or a folder made anew).";
}

std::wstring remote_text(const binding& owner, root_state state) {
    if (state == root_state::gone)
        return L"The folder \"" + owner.dir_remote + L"\" is no longer on " + product_name +
               L" (it was removed or moved, perhaps from another computer).";
    return L"The folder \"" + owner.dir_remote + L"\" on " + product_name +
           L" is not the folder whose files were synced with \"" + owner.dir_local +
           L"\" (it was removed and made anew, perhaps from another computer).";
}

std::wstring held_text(const binding& owner, root_state local, root_state remote) {
    std::wstring text;
    if (local != root_state::own) text = local_text(owner, local) + L" ";
    if (remote != root_state::own) text += remote_text(owner, remote) + L" ";
    text += std::wstring(product_name) +
            L" copies and removes nothing in this folder pair, on either side, until that folder "
            L"is back. ";
    if (remote != root_state::own)
        text += std::wstring(L"A folder removed on ") + product_name +
                L" can be restored from its trash. ";
    return text +
           L"To sync with the folder that is there now, remove the folder pair and set it "
           L"up again.";
}

// Until the same root is seen empty by a second pass, nothing known there
// is taken as removed.
bool emptied(removal_guard& guard, const binding& owner, removal_guard::side side, bool empty,
             bool other_empty, bool& complete, const items_manager& table,
             std::int64_t sync_item::*side_time) {
    if (!empty || other_empty || !knows_items_below_root(table, owner, side_time)) {
        guard.empty_root_confirmed(owner, side, false);
        return false;
    }
    const bool confirmed = guard.empty_root_confirmed(owner, side, true);
    if (!confirmed) complete = false;
    return confirmed;
}

}  // namespace

root_judgement judge_roots(removal_guard& guard, const binding& owner, collected_items& found,
                           items_manager& table) {
    const std::optional<folder_identity> local_now = folder_identity::of(owner.dir_local);
    const auto knows = [&](std::int64_t sync_item::*side_time) {
        return knows_items_below_root(table, owner, side_time);
    };
    const bool local_same = local_now && table.local_root() == local_now;
    const bool remote_same = found.remote_root_id && table.remote_root() == found.remote_root_id;
    const root_state local =
        local_same ? root_state::own
                   : state_of(local_now, table.local_root(), knows(&sync_item::last_time_local));
    const root_state remote = remote_same ? root_state::own
                                          : state_of(found.remote_root_id, table.remote_root(),
                                                     knows(&sync_item::last_time_remote));

    root_judgement result;
    result.held = local != root_state::own || remote != root_state::own;
    if (guard.notice_due(owner, result.held)) result.notice = held_text(owner, local, remote);
    if (result.held) {
        // An empty root seen before the hold counts for nothing after it.
        guard.empty_root_confirmed(owner, removal_guard::side::local, false);
        guard.empty_root_confirmed(owner, removal_guard::side::remote, false);
        return result;
    }

    if (local_now) table.set_local_root(*local_now);
    if (found.remote_root_id) table.set_remote_root(*found.remote_root_id);
    result.local_emptied =
        emptied(guard, owner, removal_guard::side::local, found.local_root_empty,
                found.remote_root_empty, found.local_complete, table, &sync_item::last_time_local);
    result.remote_emptied =
        emptied(guard, owner, removal_guard::side::remote, found.remote_root_empty,
                found.local_root_empty, found.remote_complete, table, &sync_item::last_time_remote);
    return result;
}

}  // namespace syncer
