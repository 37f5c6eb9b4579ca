#include <boost/pointer_cast.hpp>

#include "syncer/paths.h"
#include "syncer/scan_interruption.h"
#include "syncer/scan_questions.h"
#include "syncer/scan_walk.h"
#include "vfs/file.h"

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
    for (const vfs::item_ptr& child : folder->list_items()) {
        const std::wstring name = child->get_name();
        if (!is_plain_name(name)) {
            unknown_children = true;
            continue;
        }
        if (child->get_type() != vfs::item_type_directory) {
            add_remote_file_candidate(context, dir_remote, dir_local, name, child);
            continue;
        }
        const auto sub_folder = boost::dynamic_pointer_cast<vfs::directory>(child);
        if (!sub_folder) {
            unknown_children = true;
            continue;
        }
        if (top && !descend_below_top(context.owner, context.ui, context.user_name)) continue;
        walk_remote(context, sub_folder, join_path(dir_remote, name), join_path(dir_local, name),
                    false);
    }
    if (unknown_children) context.found.remote_folders_with_unknown_children.push_back(dir_remote);
}

void add_remote_file_candidate(walk_context& context, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& name,
                               const vfs::item_ptr& remote) {
    std::int64_t time = -1;
    std::int64_t size = 0;
    if (const auto file = boost::dynamic_pointer_cast<vfs::file>(remote)) {
        // An existing file is never missing, whatever its date says.
        const std::int64_t date = file->get_modification_date();
        time = date == vfs::no_date ? 0 : date;
        size = file->get_size();
    } else if (boost::dynamic_pointer_cast<vfs::directory>(remote)) {
        time = 0;
    }
    add_candidate(context.found.candidates, dir_remote, dir_local, name, time, size, context.stop);
}

}  // namespace syncer
