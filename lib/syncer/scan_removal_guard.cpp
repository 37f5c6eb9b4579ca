#include "syncer/scan_removal_guard.h"

#include <algorithm>

namespace syncer {

bool removal_guard::must_wait(const binding& owner, side removed, const item_keys& planned,
                              std::size_t known_files) {
    auto& held = removed == side::local ? held_local_ : held_remote_;
    const bool many = planned.size() >= least_held && planned.size() * 2 > known_files;
    if (!many) {
        held.erase(owner);
        return false;
    }
    const auto before = held.find(owner);
    const bool seen_before =
        before != held.end() && std::includes(before->second.begin(), before->second.end(),
                                              planned.begin(), planned.end(), sync_item::less());
    if (seen_before) {
        held.erase(before);
        return false;
    }
    held[owner] = planned;
    return true;
}

}  // namespace syncer
