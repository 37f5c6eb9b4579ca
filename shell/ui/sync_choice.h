// The two options a sync page offers, as rules of the binding table: "Full
// Sync" leaves every permission unset (the engine asks the user), "Backup"
// uploads and refuses everything else. Both sync pages (of remote items and
// of local ones) write and read bindings through these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "syncer/core/binding.h"

// The rule "Backup" writes: upload and overwrite uploads, nothing else.
syncer::sync_rule backup_rule();

// Whether a stored binding shows as "Backup": it refuses something that only
// a full synchronisation would do.
bool is_backup_binding(const syncer::binding& b);

// Whether a stored binding already is what a page would write, so that it
// is kept with its item table (the engine's memory of what was in step).
bool is_same_choice(const syncer::binding& stored, const syncer::binding& wanted);

// What a page asks of the table for one of its items: drop the bindings it
// found for the item and add the one it wants, if any.
struct binding_change {
    std::vector<syncer::binding> found;
    std::optional<syncer::binding> wanted;
};

// Makes the changes in the user's binding table and writes it, all or
// nothing: on any failure (a binding already there, a table that cannot be
// written, sync_folder_rule::unsyncable_folder for a wanted pair whose local
// side cannot be synced) the exception passes and the file stays as it was. A found
// binding that already is the wanted one is kept with its item table. The
// bindings each item has afterwards, in the order of the changes.
std::vector<std::vector<syncer::binding>> apply_binding_changes(
    const std::wstring& user_name, const std::vector<binding_change>& changes);
