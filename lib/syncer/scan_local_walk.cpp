#include "syncer/paths.h"
#include "syncer/scan_interruption.h"
#include "syncer/scan_questions.h"
#include "syncer/scan_walk.h"

namespace syncer {

void walk_local(walk_context& context, const std::wstring& dir_remote,
                const std::wstring& dir_local, bool top) {
    interruption_point(context.stop);
    if (top) {
        if (context.owner.filename.empty())
            add_candidate(context.found.candidates, dir_remote, dir_local, L"", -1, 0,
                          context.stop);
    } else {
        if (never_acts_on_local_absence(context.owner) && !has_visible_files(dir_local)) return;
        add_candidate(context.found.candidates, dir_remote, dir_local, L"", -1, 0, context.stop);
    }
    for (const local_entry& entry : list_local(dir_local)) {
        if (entry.unnamed || entry.state.hidden) continue;
        if (!entry.state.is_directory) {
            add_candidate(context.found.candidates, dir_remote, dir_local, entry.name, -1, 0,
                          entry.state, context.stop);
            continue;
        }
        if (top && !descend_below_top(context.owner, context.ui, context.user_name)) continue;
        walk_local(context, join_path(dir_remote, entry.name), join_path(dir_local, entry.name),
                   false);
    }
}

}  // namespace syncer
