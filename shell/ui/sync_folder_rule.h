// The local folders a person may pair with remote folders on the sync
// pages. A pair's local folder is never the root of the file system, a
// system folder or a folder inside one, /tmp or /var themselves, the
// person's home or profile folder itself, nor the program's own data (the
// local application-data folder, which holds the settings and the
// saved-files folder) or a folder that holds it; and what a pair covers
// never holds, nor lies inside, what another pair the person made covers.
// Paths are compared after resolving "..", "." and symbolic links.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/tables/binding_manager.h"

namespace sync_folder_rule {

// The pages' refusal: a wanted pair's local side is not one that can be
// synced (or a remote name on the way cannot be one local name).
class unsyncable_folder : public std::runtime_error {
public:
    unsyncable_folder() : std::runtime_error("not a folder that can be synced") {}
};

// Whether a local path can stand in a binding as the engine reads it: an
// absolute native path without "\" (which the engine reads as a
// separator), without empty, "." or ".." levels, and not longer than the
// file system takes (4095 bytes, 255 a name).
bool is_binding_path(const std::wstring& path);

// Whether the folder may be a pair's local folder (see above; pairs
// aside).
bool is_allowed_place(const std::wstring& folder);

// The local path a binding covers: its folder, or the one file in it.
std::wstring covered_local(const syncer::binding& b);

// Whether the wanted bindings may join the table once the replaced ones are
// gone: each one's local side is a binding path in an allowed place, and
// what it covers neither holds nor lies in what another wanted binding, or
// a stored pair the person made, covers (the program's own pairs of the
// saved-files folder and of opened copies aside).
bool can_bind(const std::vector<syncer::binding>& wanted, const syncer::binding_set& stored,
              const std::vector<syncer::binding>& replaced);

}  // namespace sync_folder_rule
