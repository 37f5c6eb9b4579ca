// What the comparison of one candidate with its stored record calls for:
// nothing, recording the times found, or a step that needs a permission
// (a removal first, then a transfer when the removal is refused). Pure: the
// questions and the task list are the caller's.
#pragma once

#include <cstdint>
#include <optional>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/tables/sync_item.h"

namespace syncer {

// A step the scan may queue: the permission it needs (rule order), the
// question asked when that permission is open, and the task kind. Each is
// a small number, kept in a byte: a pass holds a plan per candidate.
struct item_step {
    std::int8_t permission = 0;
    std::int8_t message_kind = 0;
    std::int8_t task_kind = 0;
};

enum class item_outcome : std::uint8_t {
    leave,   // no task, stored times unchanged: looked at again next pass
    record,  // no task, the times found become the stored ones
    ask,     // the step, if its permission allows it; else record
    // The copy of an opened file and its remote file both changed since the
    // copy was made: neither replaces the other, stored times unchanged (so
    // it stays so until one side changes), and the user is told.
    keep_both,
};

struct item_transfer {
    item_outcome outcome = item_outcome::leave;
    item_step step;  // for ask
};

struct item_plan {
    // Asked first; when refused, the transfer part decides.
    std::optional<item_step> removal;
    item_transfer transfer;
};

// The plan for a candidate found now against its stored record (times missing
// when there was none).
//
// Removal is planned only when both sides were known, one side is gone now,
// and the other side is unchanged: a file still holds what both sides held
// when a pass last saw them agree (its synced time), a folder its stored
// time. A file changed on the surviving side, or never seen in agreement, is
// transferred instead. When the side that is gone was
// not fully walked (missing root, walk ended early), nothing is decided.
item_plan plan_item(const binding& owner, const sync_item& found, const sync_item& stored,
                    const collected_items& walk);

// Whether a step removes something.
bool is_removal(int task_kind);
bool is_folder_removal(int task_kind);

// Whether the local file found is not the one the stored record last took
// in: another size, modification time or change time. False while the
// record knows no state or no local file is found.
bool local_moved_since_record(const sync_item& found, const sync_item& stored);

// Whether the local file found is not the one both sides held when they
// last agreed (the stored synced time is known): by the file system's state
// when the record keeps the agreed one, by the whole-second time for a
// record that keeps no state, and always once the record took in a state
// without agreement.
bool local_changed_since_sync(const sync_item& found, const sync_item& stored);

// Whether both sides hold the same file: equal times and sizes, and no local
// change since both last agreed that the times and sizes may hide.
bool sides_agree(const sync_item& found, const sync_item& stored);

// The stored record takes in the times found; when both sides agree, that
// is their agreement (the synced time and the local state), else the local
// state found is kept as seen (nothing for a file missing locally).
void take_in(const sync_item& found, const sync_item& stored);

// Every stored record that no candidate matches gets both times missing and sizes 0,
// so an item gone from both sides is forgotten and comes back as new.
template <typename Table>
void forget_vanished_items(Table& table, const candidate_set& candidates) {
    // Both sets are in the same order: one walk through both.
    const sync_item::less less;
    auto candidate = candidates.begin();
    for (const sync_item& stored : table) {
        while (candidate != candidates.end() && less(*candidate, stored)) ++candidate;
        if (candidate != candidates.end() && !less(stored, *candidate)) continue;
        stored.last_time_remote = missing_time;
        stored.last_time_local = missing_time;
        stored.synced_time = missing_time;
        stored.remote_size = 0;
        stored.local_file = local_file_state{};
        stored.local_record = recorded_local::unknown;
    }
}

}  // namespace syncer
