// One record of an item table: a file or folder of a binding as the scan last
// saw it on both sides, with the user's answers for it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "serializer/node.h"
#include "syncer/core/binding.h"
#include "syncer/core/compact_text.h"
#include "syncer/core/local_file_state.h"
#include "syncer/core/shared_path.h"
#include "syncer/core/sync_rule.h"

namespace syncer {

// The time of a side that is missing or not yet seen: apart from every time
// a file can carry, 1969-12-31 23:59:59 (-1) and dates before 1970 included.
inline constexpr std::int64_t missing_time = std::numeric_limits<std::int64_t>::min();

// What the local state a stored record keeps stands for: nothing (a table
// written before states were kept, or no local file), the state the local
// file had when both sides last held the same file (after the engine's own
// transfer, or as a pass saw them agree), or a state the table took in
// since without both sides agreeing (a change that was refused or is still
// on its way).
enum class recorded_local : std::uint8_t { unknown, synced, seen };

struct sync_item {
    // The key. For a file, the folders that hold it; for a folder's record,
    // the folders themselves and an empty filename. The folders' texts are
    // shared by every record that names them.
    shared_path dir_remote;
    shared_path dir_local;
    std::wstring filename;
    // The rest is not part of the key, so stored records are changed in place
    // inside the table's set.
    // Seconds since 1970; missing_time for unknown or absent on that side.
    mutable std::int64_t last_time_remote = missing_time;
    mutable std::int64_t last_time_local = missing_time;
    // The time both sides last held the same file (equal times and sizes
    // seen by a pass, or left so by a transfer); missing_time when that never
    // happened. A removal on one side goes across only while the other side
    // still holds the file of that time, and a side still at that time has
    // not changed since both agreed.
    mutable std::int64_t synced_time = missing_time;
    // Filled by the scan, never stored.
    mutable std::int64_t remote_size = 0;
    // In a candidate: what the file system told of the local file when the
    // scan saw it; a folder, or a file missing locally, holds the empty state
    // (size 0). In a stored record: the local file's state as the table last
    // took it in (its inode left out), local_record saying what it stands
    // for. A file whose size, modification time or change time differs from
    // it has changed, whatever its whole-second time says.
    mutable local_file_state local_file;
    // The id the remote listing gave the file (empty when not listed), so
    // that a download opens it without listing its folder again. Kept as
    // UTF-8 in a word: a short id then needs no memory of its own.
    mutable compact_text remote_id;
    // The user's answers; entries not set inherit.
    mutable sync_rule rule;
    // Of a stored record's local_file (a candidate's is unknown).
    mutable recorded_local local_record = recorded_local::unknown;

    std::int64_t local_size() const { return local_file.size; }

    sync_item() = default;
    sync_item(shared_path dir_remote, shared_path dir_local, std::wstring filename);
    // The binding's paths and rule: the record of the binding's root.
    explicit sync_item(const binding& owner);

    // Order of the key: dir_remote, then dir_local as paths ("/" and "\"
    // alike), then filename as plain text.
    struct less {
        bool operator()(const sync_item& first, const sync_item& second) const;
    };

    // Fills an "item" node. Times are written as full signed decimals, a
    // missing side as -1, as tables always stored it; a side whose real time
    // is -1 is named in the child "dated_minus_one" ("local", "remote" or
    // "both"), which only tables with such a file hold. A known local state
    // is the child "local_synced" or "local_seen": size, modification time
    // and change time in nanoseconds, separated by spaces.
    void to_node(serializer::node& target) const;
    // Missing texts read as empty, a missing, unreadable or -1 time as
    // missing (unless "dated_minus_one" names that side), a missing synced
    // time as never synced, a missing rule as all not set, a missing or
    // unreadable local state as unknown; sizes are 0.
    static sync_item from_node(const serializer::node& source);
};

// The stored record takes in that both sides hold the same file, of that
// time, the local one in that state.
void record_agreement(const sync_item& stored, std::int64_t time, const local_file_state& local);

}  // namespace syncer
