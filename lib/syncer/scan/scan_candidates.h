// What one scan pass finds of a binding: a candidate record per file and
// folder seen on either side, the local state read from disk, and how
// complete each side's walk was.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/core/local_file_state.h"
#include "syncer/core/shared_path.h"
#include "syncer/scan/scan_memory.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tasks/task_environment.h"

namespace syncer {

// Candidates keyed as the item table is; the times are those found now
// (missing_time: missing on that side) and the sizes are filled in.
using candidate_set = std::set<sync_item, sync_item::less>;

// An entry the engine cannot sync, because its name cannot cross to the
// other side: shown to the user as a task that fails with the reason.
struct unsyncable_item {
    std::wstring dir_remote;
    std::wstring dir_local;
    // The name as far as it can be shown.
    std::wstring name;
    std::wstring reason;
    // The transfer it would need: an upload for a local entry, a download
    // for a remote one.
    int task_kind = 0;
};

struct collected_items {
    candidate_set candidates;
    // False when the local root of the binding is missing (an unplugged
    // drive looks like that): what was known locally is not seen as removed.
    bool local_complete = true;
    // False when the remote root was not found or the remote walk ended
    // early: what was known remotely is not seen as removed.
    bool remote_complete = true;
    // The root folder on that side listed nothing at all. A mount point
    // without its drive, or a listing that came back empty, looks like that;
    // while the item table knows items there and the other side's root holds
    // something, the side counts as incomplete.
    bool local_root_empty = false;
    bool remote_root_empty = false;
    // The id of the binding's remote folder as this pass found it; nothing
    // when it was not found.
    std::optional<std::wstring> remote_root_id;
    // Remote folders whose listing held children the walk could not take
    // (a name that is no plain name, an item of unknown kind); such a folder
    // is never removed as a whole.
    std::vector<std::wstring> remote_folders_with_unknown_children;
    std::vector<unsyncable_item> unsyncable;
    // Local folders (local path) whose listing failed part way or at all:
    // nothing in them or below them is decided in this pass, since what the
    // walk missed there may well still be on disk.
    std::vector<std::wstring> unreadable_local_folders;
};

// Bindings of the upload-only and saved-files kinds never act on an item
// that is missing locally: no download of remote-only items, no removal
// caused by a local deletion.
bool never_acts_on_local_absence(const binding& owner);

// What the disk says about one local path. A dangling symbolic link counts
// as hidden, as does a link to a folder (never walked, so that no link leads
// the engine outside the binding or round in a loop).
struct local_state {
    bool exists = false;
    bool hidden = false;
    bool is_directory = false;
    // Of what the path leads to; write time -1 when it leads nowhere.
    local_file_state file;
};
local_state probe_local(const std::wstring& path);

// Why a local name cannot be named by the engine's paths.
enum class name_problem {
    none,
    separator,  // it holds "\", which the engine's paths take as a separator
    not_utf8,   // it is no valid UTF-8 text
};

// One entry of a local folder.
struct local_entry {
    // With a problem, the name as far as it can be shown.
    std::wstring name;
    name_problem problem = name_problem::none;
    // Read with the listing; for an entry with a problem only whether it is
    // a folder.
    local_state state;
};
// The entries of a local folder, hidden ones included. With marks, a file's
// hidden mark is read only when its change time moved since it was last
// read. An entry gone between the listing and the look at it is left out;
// any other failure (of the listing itself, of reading on, of looking at an
// entry) throws boost::filesystem::filesystem_error, so that a folder only
// partly read never passes for a folder whose other files were deleted.
std::vector<local_entry> list_local(const std::wstring& folder, hidden_marks* marks = nullptr);

// The system calls a local listing makes, each replaceable so that tests can
// make them fail the way a failing disk or file system would.
struct local_listing_calls {
    dirent* (*read_entry)(DIR*) = ::readdir;
    int (*status_at)(int, const char*, struct stat*, int) = ::fstatat;
};
local_listing_calls& listing_calls();

// Whether the folder holds a visible file, at any depth below visible
// folders.
bool has_visible_files(const std::wstring& folder);

// Inserts (or overwrites) the candidate (remote folder, local folder, name)
// with the given remote values and the local values read from disk: a
// visible file gives its write time and size, the folder itself (empty name)
// 0 and 0, anything else missing and 0. A candidate that the local walk found on
// disk keeps the local values it read. Returns the candidate's place.
candidate_set::iterator add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                                      const std::wstring& dir_local, const std::wstring& filename,
                                      std::int64_t remote_time, std::int64_t remote_size,
                                      const stop_signal& stop);
// The same with the candidate's place already looked up: found is the
// candidate of that key, or end() when there is none.
candidate_set::iterator add_candidate_at(candidate_set& candidates, candidate_set::iterator found,
                                         const std::wstring& dir_remote,
                                         const std::wstring& dir_local,
                                         const std::wstring& filename, std::int64_t remote_time,
                                         std::int64_t remote_size, const stop_signal& stop);

// The files of one folder among the candidates, in name order, so that the
// candidate of a name listed in that folder is found among them alone rather
// than through the whole set. Taken when the folder's candidates are all in;
// a candidate added later is not among them.
class folder_candidates {
public:
    folder_candidates(candidate_set& candidates, const shared_path& dir_remote,
                      const shared_path& dir_local);
    // The candidate of that file name, or the set's end().
    candidate_set::iterator find(const std::wstring& filename) const;

private:
    candidate_set& candidates_;
    std::vector<candidate_set::iterator> files_;
};

// The same with the local state already read; hint is where the candidate
// is expected to go (before it), as when candidates come in order. Returns
// the candidate's place. A walk passes each folder's pooled paths along, so
// the pool is not searched for every file.
candidate_set::iterator add_candidate(candidate_set& candidates, const shared_path& dir_remote,
                                      const shared_path& dir_local, const std::wstring& filename,
                                      std::int64_t remote_time, std::int64_t remote_size,
                                      const local_state& local, const stop_signal& stop,
                                      candidate_set::iterator hint);

}  // namespace syncer
