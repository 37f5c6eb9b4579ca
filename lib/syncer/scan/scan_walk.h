// The walks of one binding: its local folder on disk and its remote folder
// through the vfs interfaces, each adding a candidate per file and folder.
// The local walk runs first, so an item on both sides ends with the remote
// values of the remote walk and the local values read from disk.
#pragma once

#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_listings.h"
#include "syncer/scan/scan_memory.h"
#include "syncer/scan/scan_nesting.h"
#include "syncer/tasks/task_environment.h"
#include "vfs/client.h"

namespace syncer {

struct walk_context {
    // The pass's copy: the recursion answer is kept in it.
    binding& owner;
    collected_items& found;
    user_interface& ui;
    const std::wstring& user_name;
    const stop_signal& stop;
    // Hidden marks kept from earlier passes; none: read for every file.
    hidden_marks* marks = nullptr;
    // Listings fetched ahead of the remote walk; none: each folder is listed
    // when the walk reaches it.
    remote_listings* listings = nullptr;
    // What other bindings own inside this one's local folder; none: nothing.
    const nested_bindings* nested = nullptr;
};

// Both sides of the binding: a single-file binding looks up its one file; a
// folder binding walks its local folder (when it exists) and its remote
// folder. A remote "not found" ends the remote part, keeping what was found
// and marking the remote side incomplete; a missing local folder marks the
// local side incomplete. Other failures pass on.
void collect_candidates(walk_context& context, vfs::client& client);

// The local folder L (remote counterpart R): the folder itself, then its
// visible files and, below the top only when the binding allows it, its
// visible sub-folders. Bindings that never act on local absence (types 2
// and 3) skip sub-folders without a visible file. Files and folders that a
// nested binding owns are passed over.
void walk_local(walk_context& context, const std::wstring& dir_remote,
                const std::wstring& dir_local, bool top);

// The remote folder D at R (local counterpart L), listed once: the folder
// itself, then its children in list order. Children whose name is not a
// plain name, and those whose local counterpart a nested binding owns, are
// left out and the folder marked as not fully known (so it is never removed
// with them).
void walk_remote(walk_context& context, const vfs::directory_ptr& folder,
                 const std::wstring& dir_remote, const std::wstring& dir_local, bool top);

// A candidate from a remote item: a file with its date and size (an existing
// file without a date gets -1, a real time, never "missing"), a folder with 0,
// anything else as missing. found: the candidate of that name when it was
// looked up already, else the set's end().
void add_remote_file_candidate(walk_context& context, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& name,
                               const remote_child& remote, candidate_set::iterator found);

}  // namespace syncer

namespace syncer {

// The first pass's clean-up of the saved-files folder (bindings of type 3):
// a local copy whose time and size equal its remote file's goes to the
// trash and then counts as missing locally. A copy that differs in any way, or that
// cannot be deleted, stays as it is.
void remove_unchanged_saved_copies(candidate_set& candidates);

}  // namespace syncer
