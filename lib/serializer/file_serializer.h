// Settings files: whole node trees read and written through a process-wide
// cache keyed by path. A file unchanged on disk since it was last read is not
// parsed again, and a tree equal to what the file holds is not written again.
//
// A save writes the companion "<file>.tmp" in full, optionally keeps the
// previous file as "<file>.bak", and renames the companion over the file, so
// that a crash at any moment leaves the old or the new file in place. The
// threads of one process are serialised here; other processes are excluded
// by the callers' named mutexes.
#pragma once

#include <sys/types.h>

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <functional>
#include <optional>

#include "serializer/node.h"

namespace serializer {

class file_serializer {
public:
    // Entries not used for longer than this many seconds are dropped.
    static constexpr std::int64_t cache_lifetime = 300;

    // The tree held in the file. A missing file raises
    // boost::filesystem::filesystem_error, one that cannot be read
    // serializer_exception, one that does not parse wrong_format_exception.
    static node load_cached(const boost::filesystem::path& path);

    // Makes the file hold the tree; with keep_backup the previous file is kept
    // as the ".bak" companion, without it any ".bak" companion is deleted.
    // Nothing is written when the file is unchanged since this process last
    // read or wrote it and the tree equals what it holds.
    static void save_cached(const boost::filesystem::path& path, const node& tree,
                            bool keep_backup);

    // What tells one version of a file from another: the same inode with the
    // same size and the same last write time to the nanosecond. Every save
    // replaces the inode, so another process's save is seen even within one
    // clock tick.
    struct file_version {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t write_seconds = 0;
        long write_nanoseconds = 0;

        bool operator==(const file_version&) const = default;
    };
    // Nothing when the file is missing.
    static std::optional<file_version> version_of(const boost::filesystem::path& path);

    // For tables too large to hold twice (the sync engine's item tables),
    // read and written a child of the root at a time and never kept in the
    // cache (whatever it held for the path is dropped). The text is the same
    // as the whole tree's; the callers keep what they read in a form of
    // their own and tell unchanged tables by the version.
    //
    // Reads the root's name and value into root and hands each of its
    // children to each_child, in order. Errors as load_cached. Returns the
    // version that was read.
    static file_version load_children(const boost::filesystem::path& path, node& root,
                                      const node::child_handler& each_child);
    // Writes the root's name and value and the children that produce hands
    // to emit, through the companions and steps of save_cached (always: there
    // is no comparison). A failure leaves the file as it was. Returns the
    // version written.
    static file_version save_children(
        const boost::filesystem::path& path, const node& root,
        const std::function<void(const node::child_emitter&)>& produce, bool keep_backup);

    // Puts the ".bak" companion in place of the file. Returns false, leaving
    // the file as it is, when there is no backup.
    static bool restore_backup(const boost::filesystem::path& path);

    // Deletes the file and its ".bak" companion.
    static void remove(const boost::filesystem::path& path);

    // Seams for tests: the clock the cache lifetime is measured with (seconds;
    // nullptr restores the system clock), and a function called with the name
    // of each step of a save as it completes ("temporary_opened",
    // "temporary_written", "backup_removed", "backup_made", "file_replaced";
    // nullptr removes it), so a test can stop a process between the steps.
    using clock_function = std::int64_t (*)();
    using step_hook = void (*)(const char* step);
    static void set_clock(clock_function now);
    static void set_step_hook(step_hook hook);
};

}  // namespace serializer
