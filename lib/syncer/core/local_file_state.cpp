#include "syncer/core/local_file_state.h"

namespace syncer {

namespace {

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

local_file_state local_file_state::from_stat(const struct stat& status) {
    local_file_state state;
    state.size = static_cast<std::int64_t>(status.st_size);
    state.write_time_ns = nanoseconds(status.st_mtim);
    state.change_time_ns = nanoseconds(status.st_ctim);
    state.inode = static_cast<std::uint64_t>(status.st_ino);
    return state;
}

}  // namespace syncer
