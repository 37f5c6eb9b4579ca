#include "syncer/scan/scan_removal_guard.h"

#include <algorithm>

namespace syncer {

removal_guard::handling removal_guard::handle(const binding& owner, side removed,
                                              const item_keys& planned, std::size_t known_files,
                                              bool waited) {
    auto& held = removed == side::local ? held_local_ : held_remote_;
    const bool every_file = !planned.empty() && planned.size() >= known_files;
    const bool most_files = planned.size() >= least_held && planned.size() * 2 > known_files;
    if (!every_file && !most_files) {
        held.erase(owner);
        return handling::as_rules_say;
    }
    const auto before = held.find(owner);
    const bool seen_before =
        before != held.end() && std::includes(before->second.begin(), before->second.end(),
                                              planned.begin(), planned.end(), sync_item::less());
    if (waited || seen_before) {
        held.erase(owner);
        return handling::ask;
    }
    held[owner] = planned;
    return handling::wait;
}

bool removal_guard::empty_root_confirmed(const binding& owner, side emptied, bool empty) {
    binding_set& seen = emptied == side::local ? empty_local_ : empty_remote_;
    if (!empty) {
        seen.erase(owner);
        return false;
    }
    return !seen.insert(owner).second;
}

bool removal_guard::notice_due(const binding& owner, bool notice) {
    if (!notice) {
        noticed_.erase(owner);
        return false;
    }
    return noticed_.insert(owner).second;
}

}  // namespace syncer
