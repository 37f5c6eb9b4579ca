// What the scan and the tasks read of one remote item: whether it is a file
// or a folder, and a file's date and size. Both read it the same way, so a
// task can tell whether an item is still what the scan saw.
#pragma once

#include <cstdint>
#include <optional>

#include "vfs/item.h"

namespace syncer {

struct remote_item_state {
    bool is_folder = false;
    // A file's modification date as the service gives it (a file without a
    // date reads as -1, an old real time: the scan keeps a file's presence
    // apart from its time); 0 for a folder.
    std::int64_t time = 0;
    std::int64_t size = 0;

    bool operator==(const remote_item_state&) const = default;
};

// Nothing for an item that is neither a file nor a folder.
std::optional<remote_item_state> remote_state_of(const vfs::item_ptr& item);

}  // namespace syncer
