// What the file system tells about one local file: enough to see that its
// content may have changed since it was looked at, even by an edit of the
// same size within the same second, or by another file put in its place.
#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace syncer {

struct local_file_state {
    std::int64_t size = 0;
    // The modification and change times in nanoseconds since 1970, and the
    // file's inode number: with the change time, it tells another file put
    // in its place (that file was made, renamed or changed at another time).
    std::int64_t write_time_ns = -1;
    std::int64_t change_time_ns = -1;
    std::uint64_t inode = 0;

    bool operator==(const local_file_state&) const = default;

    // Whether the file system shows no change since the earlier state: the
    // same size, modification time and change time, to the nanosecond. An
    // edit of the same size within the same second, a modification time set
    // back, a hidden mark set or cleared all move the change time.
    bool unchanged_from(const local_file_state& earlier) const {
        return size == earlier.size && write_time_ns == earlier.write_time_ns &&
               change_time_ns == earlier.change_time_ns;
    }

    // The modification time in whole seconds since 1970 (rounded down), as
    // the item tables and the service keep times; -1 when unknown.
    std::int64_t last_write_time() const {
        constexpr std::int64_t second = 1000000000;
        return write_time_ns >= 0 ? write_time_ns / second : -((-(write_time_ns + 1)) / second) - 1;
    }

    // The state a stat call reported.
    static local_file_state from_stat(const struct stat& status);
};

}  // namespace syncer
