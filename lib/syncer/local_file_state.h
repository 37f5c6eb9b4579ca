// What the file system tells about one local file: enough to see that its
// content may have changed since it was looked at, even by an edit of the
// same size within the same second, or by another file put in its place.
#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace syncer {

struct local_file_state {
    // Seconds since 1970, as the item tables and the service keep times.
    std::int64_t last_write_time = -1;
    std::int64_t size = 0;
    // The modification and change times in nanoseconds since 1970, and the
    // file's identity.
    std::int64_t write_time_ns = -1;
    std::int64_t change_time_ns = -1;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const local_file_state&) const = default;

    // The state a stat call reported.
    static local_file_state from_stat(const struct stat& status);
};

}  // namespace syncer
