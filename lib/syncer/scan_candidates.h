// What one scan pass finds of a binding: a candidate record per file and
// folder seen on either side, the local state read from disk, and how
// complete each side's walk was.
#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "syncer/binding.h"
#include "syncer/sync_item.h"
#include "syncer/task_environment.h"

namespace syncer {

// Candidates keyed as the item table is; the times are those found now
// (-1: missing on that side) and the sizes are filled in.
using candidate_set = std::set<sync_item, sync_item::less>;

struct collected_items {
    candidate_set candidates;
    // False when the local root of the binding is missing (an unplugged
    // drive looks like that): what was known locally is not seen as removed.
    bool local_complete = true;
    // False when the remote root was not found or the remote walk ended
    // early: what was known remotely is not seen as removed.
    bool remote_complete = true;
    // Remote folders whose listing held children the walk could not take
    // (a name that is no plain name, an item of unknown kind); such a folder
    // is never removed as a whole.
    std::vector<std::wstring> remote_folders_with_unknown_children;
};

// Bindings of the upload-only and saved-files kinds never act on an item
// that is missing locally: no download of remote-only items, no removal
// caused by a local deletion.
bool never_acts_on_local_absence(const binding& owner);

// A local path ("\" or "/" separated) in the form file-system calls take.
boost::filesystem::path native_local_path(const std::wstring& path);

// What the disk says about one local path. A path whose attributes cannot be
// read counts as hidden, as does a symbolic link to a folder (never walked,
// so that no link leads the engine outside the binding or round in a loop).
struct local_state {
    bool exists = false;
    bool hidden = false;
    bool is_directory = false;
    std::int64_t write_time = -1;  // seconds since 1970
    std::int64_t size = 0;
};
local_state probe_local(const std::wstring& path);

// One entry of a local folder. A name that is not valid UTF-8, or that holds
// a separator, cannot be named by the engine's paths: it is listed as
// unnamed, with an empty name.
struct local_entry {
    std::wstring name;
    bool unnamed = false;
    // Read with the listing (not for an unnamed entry).
    local_state state;
};
// The entries of a local folder, hidden ones included; file-system errors
// pass on.
std::vector<local_entry> list_local(const std::wstring& folder);

// Whether the folder holds a visible file, at any depth below visible
// folders.
bool has_visible_files(const std::wstring& folder);

// Inserts (or overwrites) the candidate (remote folder, local folder, name)
// with the given remote values and the local values read from disk: a
// visible file gives its write time and size, the folder itself (empty name)
// 0 and 0, anything else -1 and 0.
void add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                   const std::wstring& dir_local, const std::wstring& filename,
                   std::int64_t remote_time, std::int64_t remote_size, const stop_signal& stop);
// The same with the local state already read.
void add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                   const std::wstring& dir_local, const std::wstring& filename,
                   std::int64_t remote_time, std::int64_t remote_size, const local_state& local,
                   const stop_signal& stop);

// Whether a path lies in a folder or is the folder itself, element by
// element, "/" and "\" alike.
bool path_is_within(const std::wstring& path, const std::wstring& folder);

}  // namespace syncer
