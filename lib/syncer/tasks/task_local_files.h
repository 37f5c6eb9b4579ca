// The local file operations of a sync task. Paths come in the form the
// bindings write them ("\" or "/" separated wide text) and become native
// here, at every call. Every failure is a local_error whose text is the
// failure's own description.
#pragma once

#include <boost/filesystem/path.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "syncer/core/local_error.h"
#include "syncer/core/local_file_state.h"

namespace syncer {

// The native form of a local path.
boost::filesystem::path local_path(const std::wstring& path);
boost::filesystem::path local_path(const std::wstring& folder, const std::wstring& name);

// A local folder path a task may work in: not empty, not a root, and without
// "." or ".." elements or NUL characters, so no name that came from the
// service can lead it elsewhere.
bool is_safe_local_folder(const std::wstring& folder);

// The state of a file; nothing when no file is there.
std::optional<local_file_state> file_state(const boost::filesystem::path& path);

bool path_exists(const boost::filesystem::path& path);
// Moves a file or folder the engine removes to the desktop's trash, so that
// the person can take it back; nothing there is fine. A path that is not
// UTF-8 text cannot be named to the shell and fails.
void move_to_trash(const boost::filesystem::path& path);
// Moves a folder whose tree holds nothing but folders to the trash, as one
// item. Anything else in it (a file, a link) stays, with the folders that
// hold it, and makes it fail; the sub-trees of nothing but folders beside it
// still go. The scan removes a folder only once every file below it has
// its own removal, so whatever is left came later, or its removal has not
// run yet.
void remove_empty_tree(const boost::filesystem::path& path);
void create_folders(const boost::filesystem::path& path);
// Removes a file, ignoring every failure.
void remove_quietly(const boost::filesystem::path& path) noexcept;

// Creates a new, empty file "<prefix><N><suffix>" in the folder with the
// smallest free N. Exclusive, so no other thread or process ever gets the
// same file. Returns the file's descriptor, open for writing, and its path.
int create_unique_file(const boost::filesystem::path& folder, const std::string& prefix,
                       const std::string& suffix, boost::filesystem::path& created);

// A local file opened for one transfer. Reads and writes name their offset,
// so a retried call after a failure never skips or repeats bytes.
class local_file {
public:
    enum class mode { read, write };

    // Opens for reading, or creates or truncates for writing.
    local_file(const boost::filesystem::path& path, mode how);
    ~local_file();
    local_file(const local_file&) = delete;
    local_file& operator=(const local_file&) = delete;

    // Up to `length` bytes from `offset`; fewer only at the end of the file.
    std::size_t read_at(void* buffer, std::size_t length, std::int64_t offset);
    // All `length` bytes at `offset`.
    void write_at(const void* buffer, std::size_t length, std::int64_t offset);
    // Drops everything from `size` on.
    void truncate(std::int64_t size);
    // Closes the file, flushing written contents to the disk first. The file
    // is released whether or not this reports a failure.
    void close();

private:
    int descriptor_ = -1;
    bool writable_ = false;
};

// Whether a name is that of a file replace_file writes beside its target
// (".calvimora-<number>.tmp"): the engine's own work in progress, visible
// for a moment before it is marked hidden, never a file of the user's.
bool is_replacement_name(const std::wstring& name);

// Puts the contents of `source` in place of `target` so that a crash leaves
// the old file or the new one, never a part: the bytes go to a new hidden
// file beside the target, which gets `last_write_time` and is flushed to
// disk; then `target_unchanged` is asked, and only when it answers true
// `renaming` is told the new file's path and state and the new file is
// renamed over the target (an exception from `renaming` leaves the target as
// it is). Returns nothing (and leaves the target as it is) when it answers
// false; else the state of the file put in place as the engine left it
// (its change time -1 when it shows a write by someone else already).
std::optional<local_file_state> replace_file(
    const boost::filesystem::path& source, const boost::filesystem::path& target,
    std::int64_t last_write_time, const std::function<bool()>& target_unchanged,
    const std::function<void(const boost::filesystem::path&, const local_file_state&)>& renaming =
        {});

}  // namespace syncer
