// Whether the two roots a pass found are the folders whose items the
// binding's item table knows. A root that is gone, or another folder in its
// place (a drive not mounted, a folder made anew on either side), says
// nothing about the files the table knows there: the binding is held, its
// turn copies and removes nothing on either side, and the person is told
// once. It goes on by itself once the root is back.
#pragma once

#include <string>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_removal_guard.h"
#include "syncer/tables/items_manager.h"

namespace syncer {

struct root_judgement {
    // A root is gone or is another folder: the turn leaves the binding alone.
    bool held = false;
    // A root the user emptied (the same folder, seen empty by a second pass
    // in a row) facing a full one: its removals wait no further.
    bool local_emptied = false;
    bool remote_emptied = false;
    // What the person is to be told now; empty when nothing.
    std::wstring notice;
};

// Judges both roots against the table and keeps the identity of each root
// that is the binding's own (or the first one seen) in the table. A root
// found empty facing a full one marks its side incomplete until a second
// pass sees it so.
root_judgement judge_roots(removal_guard& guard, const binding& owner, collected_items& found,
                           items_manager& table);

}  // namespace syncer
