#include <algorithm>

#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/core/remote_item_state.h"
#include "syncer/scan/scan_questions.h"
#include "syncer/scan/scan_walk.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task.h"
#include "syncer/tasks/task_local_files.h"

namespace syncer {

void walk_remote(walk_context& context, const vfs::directory_ptr& folder,
                 const std::wstring& dir_remote, const std::wstring& dir_local, bool top) {
    interruption_point(context.stop);
    candidate_set& candidates = context.found.candidates;
    if (never_acts_on_local_absence(context.owner) && !top &&
        !candidates.contains(sync_item(dir_remote, dir_local, L"")))
        return;
    if (!top || context.owner.filename.empty())
        add_candidate(candidates, dir_remote, dir_local, L"", 0, 0, context.stop);
    bool unknown_children = false;
    const remote_children children = context.listings ? context.listings->take(dir_remote, folder)
                                                      : list_remote_children(folder);
    if (top && children.empty()) context.found.remote_root_empty = true;
    const shared_path folder_remote(dir_remote);
    const shared_path folder_local(dir_local);
    const folder_candidates local_files(candidates, folder_remote, folder_local);
    const std::vector<std::wstring> owned_files =
        context.nested ? context.nested->owned_files_in(dir_local) : std::vector<std::wstring>();
    for (const remote_child& child : children) {
        const std::wstring& name = child.name;
        if (!is_plain_name(name)) {
            unknown_children = true;
            const bool is_folder = child.type == vfs::item_type_directory;
            context.found.unsyncable.push_back(
                {dir_remote, dir_local, name.empty() ? L"(no name)" : name,
                 std::wstring(is_folder ? L"This folder" : L"This file") +
                     L" is not synced: its name cannot be used for a local file",
                 task::kind_download});
            continue;
        }
        if (child.type != vfs::item_type_directory && is_replacement_name(name)) {
            // Fetched, it would be a local file the local walk passes over
            // as a download's work in progress: taken for removed locally.
            unknown_children = true;
            context.found.unsyncable.push_back(
                {dir_remote, dir_local, name,
                 L"This file is not synced: its name is the one downloads give the files they "
                 L"are writing",
                 task::kind_download});
            continue;
        }
        const bool owned =
            child.type == vfs::item_type_directory
                ? context.nested && context.nested->owns_folder(join_path(dir_local, name))
                : std::find(owned_files.begin(), owned_files.end(), name) != owned_files.end();
        if (owned) {
            unknown_children = true;
            continue;
        }
        if (child.type != vfs::item_type_directory) {
            add_remote_file_candidate(context, folder_remote, folder_local, name, child,
                                      local_files.find(name));
            continue;
        }
        const vfs::directory_ptr& sub_folder = child.folder;
        if (!sub_folder) {
            unknown_children = true;
            continue;
        }
        if (top && !descend_below_top(context.owner, context.ui, context.user_name)) continue;
        walk_remote(context, sub_folder, join_path(dir_remote, name), join_path(dir_local, name),
                    false);
    }
    if (unknown_children) context.found.remote_folders_with_unknown_children.push_back(dir_remote);
    // Walked: what the folder keeps of its children is not needed again, so
    // only the folders on the way down hold theirs.
    folder->forget_listing();
}

void add_remote_file_candidate(walk_context& context, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& name,
                               const remote_child& remote, candidate_set::iterator found) {
    candidate_set& candidates = context.found.candidates;
    const std::optional<remote_item_state>& state = remote.state;
    const std::int64_t time = state ? state->time : missing_time;
    const std::int64_t size = state ? state->size : 0;
    // Not among the folder's files found before: looked up through the whole
    // set, which may hold it since (a name listed twice).
    const auto added =
        found != candidates.end()
            ? add_candidate_at(candidates, found, dir_remote, dir_local, name, time, size,
                               context.stop)
            : add_candidate(candidates, dir_remote, dir_local, name, time, size, context.stop);
    if (state && !state->is_folder) added->remote_id = remote.id;
}

}  // namespace syncer
