// The binding of the local copy of an opened file: the sync engine sends
// the user's changes of the copy to its remote file, and only over the
// version the copy was made from. A copy whose changes cannot go back is
// bound all the same, so that no other binding (the saved-files folder's
// own) takes it for a file of its own.
#pragma once

#include <optional>
#include <string>

#include "folder/workers/opened_copies.h"
#include "syncer/core/local_file_state.h"

struct copy_binding {
    // The copy's remote folder as the user's client resolves it.
    std::wstring remote_folder;
    std::wstring local_folder;
    std::wstring file_name;
    // False for a copy whose changes cannot go back (the path of its folder
    // leads to another folder, the kept changes of another copy): the
    // engine then neither sends nor fetches anything for it.
    bool sends_changes = true;
    // Made known to the engine's table of the binding, so that from its
    // first pass it tells which side changed since.
    std::optional<opened_copy> agreed;
    // The id of the remote folder the copy is of: the engine holds the
    // binding, sending nothing, while its path leads to another folder.
    std::wstring remote_folder_id;
};

// Whether the copy's binding sent the copy, as it is now, to its remote
// file after it was brought in as the record says: the binding's table
// says both sides last agreed on the copy's own date, and that is not the
// date the copy was brought in with.
bool sent_as_it_is(const std::wstring& user_name, const copy_binding& binding,
                   const syncer::local_file_state& copy, const opened_copy& record);
