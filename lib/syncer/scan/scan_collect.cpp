#include <boost/filesystem/operations.hpp>
#include <exception>
#include <optional>

#include "syncer/core/paths.h"
#include "syncer/scan/scan_walk.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task_local_files.h"
#include "vfs/exceptions.h"

namespace syncer {

namespace {

void collect_single_file(walk_context& context, vfs::client& client) {
    const binding& owner = context.owner;
    const local_state folder = probe_local(owner.dir_local);
    context.found.local_complete = folder.exists && folder.is_directory;
    interruption_point(context.stop);
    vfs::directory_ptr remote_folder;
    try {
        remote_folder = client.get_item_by_path(owner.dir_remote, false);
    } catch (const vfs::item_not_found_exception&) {
        context.found.remote_complete = false;
        add_candidate(context.found.candidates, owner.dir_remote, owner.dir_local, owner.filename,
                      missing_time, 0, context.stop);
        return;
    }
    context.found.remote_root_id = remote_folder->get_id();
    interruption_point(context.stop);
    vfs::item_ptr remote_file;
    try {
        // Fresh from the server: a cached listing may be older than the pass.
        remote_file = remote_folder->get_item(owner.filename, true);
    } catch (const vfs::item_not_found_exception&) {
        add_candidate(context.found.candidates, owner.dir_remote, owner.dir_local, owner.filename,
                      missing_time, 0, context.stop);
        return;
    }
    add_remote_file_candidate(context, owner.dir_remote, owner.dir_local, owner.filename,
                              remote_child_of(remote_file), context.found.candidates.end());
}

void walk_local_root(walk_context& context) {
    const binding& owner = context.owner;
    const local_state root = probe_local(owner.dir_local);
    if (root.exists && root.is_directory) {
        walk_local(context, owner.dir_remote, owner.dir_local, true);
    } else {
        context.found.local_complete = false;
    }
}

// Whether the remote walk will enter every sub-folder it lists, asking
// nothing and looking at nothing the local walk found: then its listings can
// be fetched ahead, while the local folder is walked.
bool lists_ahead(const binding& owner) {
    return owner.can_recourse_subdirs == sync_permission::yes &&
           !never_acts_on_local_absence(owner);
}

void collect_folder(walk_context& context, vfs::client& client) {
    const binding& owner = context.owner;
    if (!lists_ahead(owner)) {
        walk_local_root(context);
        try {
            const vfs::directory_ptr remote_root = client.get_item_by_path(owner.dir_remote, false);
            context.found.remote_root_id = remote_root->get_id();
            walk_remote(context, remote_root, owner.dir_remote, owner.dir_local, true);
        } catch (const vfs::item_not_found_exception&) {
            context.found.remote_complete = false;
        }
        return;
    }
    // The remote root is looked up before the local walk, so that its
    // listings come in meanwhile; a failure of the look-up counts only once
    // the local walk is done, where it would have come otherwise.
    vfs::directory_ptr remote_root;
    std::exception_ptr lookup_failure;
    try {
        remote_root = client.get_item_by_path(owner.dir_remote, false);
    } catch (...) {
        lookup_failure = std::current_exception();
    }
    std::optional<remote_listings> listings;
    if (remote_root) {
        context.found.remote_root_id = remote_root->get_id();
        listings.emplace(remote_root, owner.dir_remote, context.stop);
    }
    walk_local_root(context);
    try {
        if (lookup_failure) std::rethrow_exception(lookup_failure);
        context.listings = &*listings;
        walk_remote(context, remote_root, owner.dir_remote, owner.dir_local, true);
        context.listings = nullptr;
    } catch (const vfs::item_not_found_exception&) {
        context.listings = nullptr;
        context.found.remote_complete = false;
    } catch (...) {
        context.listings = nullptr;
        throw;
    }
}

}  // namespace

void collect_candidates(walk_context& context, vfs::client& client) {
    if (!context.owner.filename.empty()) {
        collect_single_file(context, client);
    } else {
        collect_folder(context, client);
    }
}

void remove_unchanged_saved_copies(candidate_set& candidates) {
    for (const sync_item& candidate : candidates) {
        if (candidate.filename.empty() || candidate.last_time_local == missing_time ||
            candidate.last_time_remote == missing_time)
            continue;
        if (candidate.last_time_local != candidate.last_time_remote ||
            candidate.local_size() != candidate.remote_size)
            continue;
        try {
            move_to_trash(native_local_path(join_path(candidate.dir_local, candidate.filename)));
        } catch (const local_error&) {
            continue;
        }
        candidate.last_time_local = missing_time;
        candidate.local_file = local_file_state{};
    }
}

}  // namespace syncer
