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

#include <boost/filesystem/path.hpp>
#include <cstdint>

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
