// Holds back removals that would take most of a binding's files on one side
// at once. A listing cut short, an emptied mount point or a glitch of the
// service looks like the user removing many files; a real removal still looks
// the same on the next pass, a glitch rarely does. So a pass that would
// remove at least `least_held` files, and more than half of the files the
// item table knows on that side, removes nothing until a later pass plans the
// same removals again.
#pragma once

#include <cstddef>
#include <map>
#include <set>

#include "syncer/binding.h"
#include "syncer/sync_item.h"

namespace syncer {

class removal_guard {
public:
    static constexpr std::size_t least_held = 10;

    // The side whose files would be removed.
    enum class side { local, remote };
    using item_keys = std::set<sync_item, sync_item::less>;

    // True when the planned removals must wait. Remembers what was held, so
    // that the next pass that plans the same removals (or fewer of them) lets
    // them go.
    bool must_wait(const binding& owner, side removed, const item_keys& planned,
                   std::size_t known_files);

private:
    // Used by the scan thread only.
    std::map<binding, item_keys, binding::less> held_local_;
    std::map<binding, item_keys, binding::less> held_remote_;
};

}  // namespace syncer
