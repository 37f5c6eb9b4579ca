// What the open worker remembers of each local copy it brought in: which
// remote file it is a copy of, the version it holds, and the copy as the
// worker left it. With that an Open tells a copy that still holds the file
// it fetched from one that holds the user's changes, whatever the dates
// say, and never replaces the changes unasked.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "serializer/node.h"
#include "syncer/core/local_file_state.h"

// A version of a remote file as its listing gives it.
struct remote_version {
    std::wstring id;
    std::int64_t date = -1;  // seconds since 1970; -1 when the service has none
    std::int64_t size = 0;

    bool operator==(const remote_version&) const = default;
};

struct opened_copy {
    remote_version remote;
    // The copy right after the worker wrote it (or found it to hold the
    // remote version).
    syncer::local_file_state local;

    bool operator==(const opened_copy&) const = default;
};

// What an Open does with the copy it finds.
enum class copy_step {
    // Opened as it is: it holds the remote version, or changes of the
    // user's made over the version the service still holds (the copy's
    // binding sends them).
    use,
    // Brought in afresh: there is no copy, or it holds nothing of the
    // user's.
    fetch,
    // The copy holds changes that were never sent and the remote file
    // changed too: the copy is kept beside under a name of its own, then
    // the remote version is brought in.
    keep_and_fetch,
};

// The step for the copy found at the copy's path (none when missing), its
// record (none when the worker never wrote it), the remote file now, and
// whether the copy's binding sent the copy as it is now to the service.
copy_step step_for(const std::optional<syncer::local_file_state>& copy,
                   const std::optional<opened_copy>& record, const remote_version& remote,
                   bool sent_as_it_is);

// The records of one user, by the copy's local path. They live in the
// user's settings folder ("opened_copies.xml"); the open workers of every
// process touch them only while they hold the session's download/upload
// mutex.
class opened_copies {
public:
    // The user's records; a file that is missing or cannot be read gives
    // none (every copy then counts as one that may hold changes).
    explicit opened_copies(const std::wstring& user_name);

    std::optional<opened_copy> find(const std::wstring& copy_path) const;
    // Records the copy and writes the file in one step (records of copies
    // no longer on disk are left out). Failures of the file system pass on.
    void remember(const std::wstring& copy_path, const opened_copy& copy);

    // The stored form: a root "opened_copies" with one "copy" child per
    // record. Reading takes only records whose every field reads whole.
    static serializer::node to_node(const std::map<std::wstring, opened_copy>& records);
    static std::map<std::wstring, opened_copy> from_node(const serializer::node& stored);

private:
    std::wstring user_name_;
    std::map<std::wstring, opened_copy> records_;
};
