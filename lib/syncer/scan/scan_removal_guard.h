// Holds back removals that would take every file of a binding on one side,
// or most of them, at once. A listing cut short, an emptied mount point or a
// glitch of the service looks like the user removing many files; a real
// removal still looks the same on the next pass, a glitch rarely does. So a
// pass that would remove every file the item table knows on that side, or at
// least `least_held` files and more than half of them, removes nothing; a
// later pass that plans the same removals asks the user about each, whatever
// the binding's rule says.
#pragma once

#include <cstddef>
#include <map>
#include <set>

#include "syncer/core/binding.h"
#include "syncer/tables/sync_item.h"

namespace syncer {

class removal_guard {
public:
    static constexpr std::size_t least_held = 10;

    // The side whose files would be removed.
    enum class side { local, remote };
    using item_keys = std::set<sync_item, sync_item::less>;

    // What a pass does with the removals it plans on one side.
    enum class handling {
        as_rules_say,  // few enough: as the rule and the answers decide
        wait,          // many, seen first: nothing is removed in this pass
        ask,           // many, seen again: the user is asked about each
    };
    // Remembers what waited, so that the next pass that plans the same
    // removals (or fewer of them) asks. waited: the pass has already waited
    // for them in another way (a root seen empty twice), so it asks at once.
    handling handle(const binding& owner, side removed, const item_keys& planned,
                    std::size_t known_files, bool waited);

    // A binding's root on one side found empty while the other side's root
    // holds something and the item table knows files in it. The first pass
    // that sees it so removes nothing (a listing come back empty, a drive not
    // there); a later pass that sees it so again, with nothing else in
    // between, lets the removals go: true then. A pass that finds the root
    // otherwise calls it with empty false, and the count starts again.
    bool empty_root_confirmed(const binding& owner, side emptied, bool empty);

    // Whether the user is to be told now that the binding's local root is
    // empty and is not the folder its files were in: once, until a pass finds
    // the root otherwise (then called with the notice false).
    bool notice_due(const binding& owner, bool notice);

private:
    // Used by the scan thread only.
    std::map<binding, item_keys, binding::less> held_local_;
    std::map<binding, item_keys, binding::less> held_remote_;
    binding_set empty_local_;
    binding_set empty_remote_;
    binding_set noticed_;
};

}  // namespace syncer
