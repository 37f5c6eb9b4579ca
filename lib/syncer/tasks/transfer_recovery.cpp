#include "syncer/tasks/transfer_recovery.h"

#include <boost/pointer_cast.hpp>
#include <optional>

#include "syncer/core/paths.h"
#include "syncer/tables/journal_intake.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task_local_files.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"

namespace syncer {

namespace {

using kind = journal_entry::kind;

constexpr std::int64_t nanoseconds_per_second = 1000000000;

// One item's unsettled entries, in order.
struct begun_transfer {
    std::vector<journal_entry> entries;

    const journal_entry& last() const { return entries.back(); }
    // The remote file an upload created, when it said so.
    std::optional<std::wstring> created_id() const {
        std::optional<std::wstring> id;
        for (const journal_entry& entry : entries) {
            if (entry.what == kind::created) id = entry.remote_id;
        }
        return id;
    }
};

journal_entry settlement(const journal_entry& of, kind what) {
    journal_entry entry;
    entry.what = what;
    entry.dir_remote = of.dir_remote;
    entry.dir_local = of.dir_local;
    entry.filename = of.filename;
    return entry;
}

journal_entry synced(const journal_entry& of, std::int64_t time, const local_file_state& local) {
    journal_entry entry = settlement(of, kind::synced);
    entry.time = time;
    entry.local = local;
    return entry;
}

// The remote file of the item now; none when it is not there.
vfs::file_ptr remote_file_of(vfs::client& client, const journal_entry& item,
                             vfs::directory_ptr& folder) {
    try {
        folder = client.get_item_by_path(item.dir_remote, false);
        return boost::dynamic_pointer_cast<vfs::file>(folder->get_item(item.filename, true));
    } catch (const vfs::item_not_found_exception&) {
        return nullptr;
    }
}

journal_entry settle_upload(const begun_transfer& begun, vfs::client& client) {
    const journal_entry& last = begun.last();
    vfs::directory_ptr folder;
    const vfs::file_ptr file = remote_file_of(client, last, folder);
    if (file && last.what == kind::closing && file->get_id() == last.remote_id &&
        file->get_modification_date() == last.time && file->get_size() == last.size)
        return synced(last, last.time, last.local);
    const auto created = begun.created_id();
    if (file && created && file->get_id() == *created && file->get_size() == 0)
        folder->delete_item(file, true);
    return settlement(last, kind::abandoned);
}

journal_entry settle_download(const journal_entry& replacing) {
    const auto target = file_state(local_path(replacing.dir_local, replacing.filename));
    if (target && target->inode == replacing.local.inode) {
        local_file_state placed = *target;
        // Written to since it was put in place: a state no file shows.
        if (placed.size != replacing.size ||
            placed.write_time_ns != replacing.time * nanoseconds_per_second)
            placed.change_time_ns = -1;
        return synced(replacing, replacing.time, placed);
    }
    // Only the engine's own copies are ever removed here.
    const bool copy_named = is_plain_name(replacing.copy_name) &&
                            is_replacement_name(replacing.copy_name) &&
                            is_safe_local_folder(replacing.dir_local);
    if (copy_named) {
        const auto copy_path = local_path(replacing.dir_local, replacing.copy_name);
        const auto copy = file_state(copy_path);
        if (copy && copy->inode == replacing.local.inode) {
            remove_quietly(copy_path);
            return settlement(replacing, kind::abandoned);
        }
    }
    // Put in place, then removed or replaced by the user.
    local_file_state placed = replacing.local;
    placed.change_time_ns = -1;
    return synced(replacing, replacing.time, placed);
}

}  // namespace

void settle_unfinished_transfers(const transfer_journal& journal, const binding& owner,
                                 vfs::client& client,
                                 const std::set<sync_item, sync_item::less>& busy,
                                 const stop_signal& stop) {
    const transfer_journal::contents contents = journal.read();
    if (contents.lines.empty()) return;
    std::vector<begun_transfer> transfers;
    for (journal_entry& entry : unsettled_entries(contents.lines)) {
        const bool same_item = !transfers.empty() &&
                               transfers.back().last().dir_remote == entry.dir_remote &&
                               transfers.back().last().dir_local == entry.dir_local &&
                               transfers.back().last().filename == entry.filename;
        if (!same_item) transfers.emplace_back();
        transfers.back().entries.push_back(std::move(entry));
    }
    for (const begun_transfer& begun : transfers) {
        interruption_point(stop);
        const journal_entry& last = begun.last();
        if (!is_entry_of(owner, last) ||
            busy.contains(sync_item(last.dir_remote, last.dir_local, last.filename)))
            continue;
        try {
            journal.append(last.what == kind::replacing ? settle_download(last)
                                                        : settle_upload(begun, client));
        } catch (const vfs::exception&) {
            // The service is away: tried again by the next pass.
        } catch (const local_error&) {
            // As above, for the disk.
        }
    }
}

}  // namespace syncer
