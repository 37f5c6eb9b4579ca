// A name that is a file on one side and a folder on the other: a file
// replaced by a folder of its name (or a folder by a file) on one side, or
// both made anew. Nothing can be written at or below that name on the side
// holding the other kind until what stands there is gone: the local disk
// refuses a file inside a file, the service a folder where a file is. So
// such transfers wait, while the removal of what is in the way (when the
// rules allow it) goes first.
#pragma once

#include <cstddef>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/scan/scan_task_list.h"

namespace syncer {

// An item that kept a transfer from being written.
struct item_in_the_way {
    // Its place in the candidates' order.
    std::size_t candidate = 0;
    // Whether the pass planned its removal (before any hold or question).
    bool removal_planned = false;
};

// Holds back every planned transfer that would write where the target side
// has an item of the other kind, at the transfer's name or at a folder on its
// way (names compared as that side compares them: the service's without
// regard to case), or where a removal of the binding on that side, at the
// name or below it, is not done yet. A transfer planned on its own is left
// for a later pass; one that stands in for a refused removal is recorded as
// refused, so that the refusal holds. Returns the items in the way of the
// former, each once.
std::vector<item_in_the_way> hold_writes_across_kinds(const binding& owner,
                                                      const candidate_set& candidates,
                                                      const task_list& tasks,
                                                      std::vector<item_plan>& plans);

// The text shown for an item in the way that nothing is going to remove.
std::wstring kind_conflict_reason(const sync_item& in_the_way);

}  // namespace syncer
