#include "syncer/tasks/task_runner.h"

#include <boost/pointer_cast.hpp>

#include "syncer/core/paths.h"
#include "syncer/core/user_interface.h"
#include "vfs/directory.h"

namespace syncer {

namespace {

const wchar_t* const local_file_changed =
    L"The local file changed after its removal was decided, so it was kept";
const wchar_t* const remote_file_changed =
    L"The remote file changed after its removal was decided, so it was kept";
const wchar_t* const local_file_back =
    L"A local file of this name is there again since the removal was decided, so the remote "
    L"file was kept";
const wchar_t* const remote_folder_changed =
    L"The remote folder holds items changed or added after its removal was decided, so it "
    L"was kept";

// Whether everything below the remote folder is among what the scan listed,
// unchanged. Items listed then and gone now are fine: their own removals
// may have run first.
bool holds_only(const vfs::item_ptr& item, const std::map<std::wstring, remote_item_state>& listed,
                const std::wstring& relative = L"") {
    const auto folder = boost::dynamic_pointer_cast<vfs::directory>(item);
    if (!folder) return false;
    for (const vfs::item_ptr& child : folder->list_items()) {
        const std::wstring path =
            relative.empty() ? child->get_name() : relative + L"/" + child->get_name();
        const auto seen = listed.find(path);
        if (seen == listed.end() || remote_state_of(child) != seen->second) return false;
        if (seen->second.is_folder && !holds_only(child, listed, path)) return false;
    }
    return true;
}

}  // namespace

task::runner::outcome task::runner::perform() {
    interruption_point();
    if (owner_.is_refused()) fail(message_kind::none, owner_.refusal_);
    switch (owner_.kind_) {
        case kind_upload:
            return upload();
        case kind_download:
            return download();
        case kind_remove_local_file:
            return remove_local_file();
        case kind_remove_local_folder:
            return remove_local_folder();
        case kind_remove_remote_file:
            return remove_remote_file();
        case kind_remove_remote_folder:
            return remove_remote_folder();
        default:
            return done;
    }
}

void task::runner::interruption_point() {
    if (owner_.stop_.is_raised()) throw interrupted{};
}

void task::runner::retry_step(int kind, const std::wstring& failure_text, int& attempts) {
    interruption_point();
    if (--attempts <= 0) fail(kind, failure_text);
    for (int slice = 0; slice < retry_delay * 10; ++slice) {
        owner_.environment_->wait(wait_slice, owner_.stop_);
        interruption_point();
    }
    interruption_point();
}

void task::runner::fail(int kind, const std::wstring& message) {
    owner_.record_failure(kind, message);
    throw final_failure{};
}

void task::runner::fail_outdated(int kind, const std::wstring& message) {
    owner_.record_failure(kind, message, true);
    throw final_failure{};
}

vfs::directory_ptr task::runner::remote_folder(const std::wstring& path, bool create) {
    const vfs::client_ptr client = owner_.environment_->get_client();
    return client->get_item_by_path(path, create);
}

vfs::item_ptr task::runner::remote_item(const vfs::directory_ptr& folder,
                                        const std::wstring& name) {
    try {
        return folder->get_item(name, true);
    } catch (const vfs::item_not_found_exception&) {
        return nullptr;
    }
}

// Names that reach local paths came from the service or from the local walk;
// a name that would lead out of the binding's folder ends the task at once.
void task::runner::check_local_names() {
    const bool names_file = owner_.kind_ != kind_remove_local_folder;
    if (!is_safe_local_folder(owner_.dir_local_) ||
        (names_file && !is_plain_name(owner_.filename_)))
        fail(message_kind::none, L"Invalid local path");
}

void task::runner::set_size(std::int64_t size) {
    owner_.set_size(size);
}

void task::runner::report_progress(std::int64_t transferred, std::int64_t total) {
    if (total > 0) owner_.set_progress(static_cast<int>(transferred * 100 / total));
}

journal_entry task::runner::entry(journal_entry::kind what) const {
    journal_entry made;
    made.what = what;
    made.dir_remote = owner_.dir_remote_;
    made.dir_local = owner_.dir_local_;
    made.filename = owner_.filename_;
    return made;
}

void task::runner::announce(const journal_entry& announced) {
    if (!owner_.journal_) return;
    step(message_kind::none, [&] { owner_.journal_->append(announced); });
}

void task::runner::announce_quietly(const journal_entry& announced) noexcept {
    if (!owner_.journal_) return;
    try {
        owner_.journal_->append(announced);
    } catch (...) {
        // What the journal lacks, the next pass settles from both sides.
    }
}

void task::runner::settle(const transfer_result& result) {
    journal_entry synced = entry(journal_entry::kind::synced);
    synced.time = result.time;
    synced.local = result.local;
    announce(synced);
    owner_.record_synced_result(result);
}

task::runner::outcome task::runner::remove_local_file() {
    check_local_names();
    const auto path = local_path(owner_.dir_local_, owner_.filename_);
    const auto* basis = owner_.basis_.get();
    step(message_kind::remove_local, [&] {
        if (!path_exists(path)) return;
        if (basis && basis->local_file && file_state(path) != basis->local_file)
            fail_outdated(message_kind::remove_local, local_file_changed);
        move_to_trash(path);
    });
    return done;
}

task::runner::outcome task::runner::remove_local_folder() {
    check_local_names();
    const auto path = local_path(owner_.dir_local_);
    step(message_kind::remove_local, [&] {
        if (path_exists(path)) remove_empty_tree(path);
    });
    return done;
}

task::runner::outcome task::runner::remove_remote_file() {
    if (!is_plain_name(owner_.filename_)) fail(message_kind::none, L"Invalid remote name");
    const auto local = local_path(owner_.dir_local_, owner_.filename_);
    const auto* basis = owner_.basis_.get();
    step(message_kind::remove_remote, [&] {
        // Decided because the local file was gone: one there now (brought
        // in by a transfer that ended meanwhile, or put back) keeps it.
        if (file_state(local)) fail_outdated(message_kind::remove_remote, local_file_back);
        try {
            const auto folder = remote_folder(owner_.dir_remote_, false);
            const auto item = folder->get_item(owner_.filename_, true);
            // The service finds names whatever their case: a file of another
            // case is not this one (it may be what a rename by case made).
            if (item->get_name() != owner_.filename_) return;
            if (basis && basis->remote_file && remote_state_of(item) != basis->remote_file)
                fail_outdated(message_kind::remove_remote, remote_file_changed);
            folder->delete_item(owner_.filename_, true);
        } catch (const vfs::item_not_found_exception&) {
            // Already gone.
        }
    });
    return done;
}

task::runner::outcome task::runner::remove_remote_folder() {
    const std::wstring name = leaf_name(owner_.dir_remote_);
    if (!is_plain_name(name)) fail(message_kind::none, L"Invalid remote name");
    const auto* basis = owner_.basis_.get();
    step(message_kind::remove_remote, [&] {
        try {
            const auto parent = remote_folder(parent_path(owner_.dir_remote_), false);
            const auto item = parent->get_item(name, true);
            if (item->get_name() != name) return;
            if (basis && !holds_only(item, basis->remote_tree))
                fail_outdated(message_kind::remove_remote, remote_folder_changed);
            parent->delete_item(name, true);
        } catch (const vfs::item_not_found_exception&) {
            // Already gone.
        }
    });
    return done;
}

}  // namespace syncer
