#include <algorithm>
#include <boost/filesystem/exception.hpp>

#include "syncer/core/paths.h"
#include "syncer/scan/scan_questions.h"
#include "syncer/scan/scan_walk.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task.h"
#include "syncer/tasks/task_local_files.h"

namespace syncer {

namespace {

std::wstring unsyncable_local_reason(const local_entry& entry) {
    const std::wstring what = entry.state.is_directory ? L"This folder" : L"This file";
    return entry.problem == name_problem::separator
               ? what + L" is not synced: its name holds a \"\\\" character"
               : what + L" is not synced: its name is not valid UTF-8 text";
}

// A folder the walk could not read whole: shown to the user as a task that
// fails with the reason, for as long as it stays so, and left out of this
// pass's decisions with everything below it.
void unreadable_folder(walk_context& context, const std::wstring& dir_remote,
                       const std::wstring& dir_local, bool top,
                       const boost::filesystem::filesystem_error& failure) {
    context.found.unreadable_local_folders.push_back(dir_local);
    std::wstring reason = L"This folder is not synced for now: it could not be read (" +
                          decode_utf8(failure.code().message()) + L")";
    if (top) {
        context.found.unsyncable.push_back(
            {dir_remote, dir_local, L"", std::move(reason), task::kind_upload});
    } else {
        context.found.unsyncable.push_back({parent_path(dir_remote), parent_path(dir_local),
                                            leaf_name(dir_local), std::move(reason),
                                            task::kind_upload});
    }
}

}  // namespace

void walk_local(walk_context& context, const std::wstring& dir_remote,
                const std::wstring& dir_local, bool top) {
    interruption_point(context.stop);
    candidate_set& candidates = context.found.candidates;
    std::vector<local_entry> entries;
    try {
        if (!top && never_acts_on_local_absence(context.owner) && !has_visible_files(dir_local))
            return;
        entries = list_local(dir_local, context.marks);
    } catch (const boost::filesystem::filesystem_error& failure) {
        unreadable_folder(context, dir_remote, dir_local, top, failure);
        return;
    }
    if (!top || context.owner.filename.empty())
        add_candidate(candidates, dir_remote, dir_local, L"", missing_time, 0, context.stop);

    if (top && entries.empty()) context.found.local_root_empty = true;
    // In name order the files of the folder come one after the other in the
    // candidates, just after the folder's own: each goes in at once.
    std::sort(entries.begin(), entries.end(),
              [](const local_entry& a, const local_entry& b) { return a.name < b.name; });
    const shared_path folder_remote(dir_remote);
    const shared_path folder_local(dir_local);
    auto next_place = candidates.upper_bound(sync_item(folder_remote, folder_local, L""));
    const std::vector<std::wstring> owned_files =
        context.nested ? context.nested->owned_files_in(dir_local) : std::vector<std::wstring>();
    std::vector<const local_entry*> folders;
    for (const local_entry& entry : entries) {
        if (entry.problem != name_problem::none) {
            context.found.unsyncable.push_back({dir_remote, dir_local, entry.name,
                                                unsyncable_local_reason(entry), task::kind_upload});
            continue;
        }
        if (entry.state.hidden) continue;
        // A download's replacement before it is marked hidden: the walk
        // would take it for a new file of the user's and send it across.
        if (!entry.state.is_directory && is_replacement_name(entry.name)) continue;
        if (entry.state.is_directory) {
            folders.push_back(&entry);
            continue;
        }
        if (std::find(owned_files.begin(), owned_files.end(), entry.name) != owned_files.end())
            continue;
        next_place =
            std::next(add_candidate(candidates, folder_remote, folder_local, entry.name,
                                    missing_time, 0, entry.state, context.stop, next_place));
    }
    for (const local_entry* folder : folders) {
        const std::wstring folder_path = join_path(dir_local, folder->name);
        if (context.nested && context.nested->owns_folder(folder_path)) continue;
        if (top && !descend_below_top(context.owner, context.ui, context.user_name)) continue;
        walk_local(context, join_path(dir_remote, folder->name), folder_path, false);
    }
}

}  // namespace syncer
