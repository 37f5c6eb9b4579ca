// The two transfers of a sync task: an upload sends a private copy of the
// local file, a download fetches into a temporary file and only then puts it
// in place of the local file, in one rename.
#include <boost/pointer_cast.hpp>
#include <optional>

#include "syncer/core/paths.h"
#include "syncer/core/remote_item_state.h"
#include "syncer/core/user_interface.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tasks/task_runner.h"
#include "utils/exceptions.h"
#include "utils/filesystem.h"

namespace syncer {

namespace {

const wchar_t* const remote_is_newer = L"Remote file is newer than local";
const wchar_t* const local_is_newer = L"Local file is newer or remote file has zero length";
const wchar_t* const remote_changed = L"The remote file was changed since the scan saw it";
const wchar_t* const size_mismatch =
    L"The downloaded file does not have the size of the remote file";
const wchar_t* const local_changed_meanwhile =
    L"The local file changed after its download was decided, so it was kept";

// A missing file has the time missing_time, before every real time.
struct remote_state {
    vfs::file_ptr file;
    std::int64_t time = missing_time;
    std::int64_t size = 0;
};

void copy_to_temporary(const boost::filesystem::path& source,
                       const boost::filesystem::path& destination) {
    try {
        utils::filesystem::copy_file_ignoring_attributes(source, destination);
    } catch (const utils::utils_exception& failure) {
        throw local_error(decode_utf8(failure.what()));
    }
}

std::int64_t size_of(const boost::filesystem::path& path) {
    const auto state = file_state(path);
    if (!state) throw local_error(L"\"" + path.wstring() + L"\" is missing");
    return state->size;
}

}  // namespace

task::runner::outcome task::runner::upload() {
    check_local_names();
    const bool in_place = owner_.binding_._type == binding::type_upload_only;
    // The copy of an opened file goes only over its own remote file: it
    // never makes a folder or a file, which would put it where the path
    // leads now (a folder no longer shared ends in one of the user's own).
    const bool copy_of_opened = owner_.binding_._type == binding::type_open_copy;
    const bool only_over_existing = in_place || copy_of_opened;
    const auto local = local_path(owner_.dir_local_, owner_.filename_);
    const auto local_state = file_state(local);
    if (!local_state) return done;
    const std::int64_t local_time = local_state->last_write_time();
    std::int64_t local_size = local_state->size;
    set_size(local_size);

    const item_basis* basis = owner_.basis_.get();
    if (basis && basis->remote_case_differs)
        step(message_kind::open_remote_folder, [&] { give_remote_folders_local_case(); });
    const auto folder = step(message_kind::open_remote_folder,
                             [&] { return remote_folder(owner_.dir_remote_, !copy_of_opened); });
    const std::int64_t seen_size = local_size;
    const auto look_up = [&] {
        return step(message_kind::open_remote_folder, [&] {
            remote_state found;
            found.file =
                boost::dynamic_pointer_cast<vfs::file>(remote_item(folder, owner_.filename_));
            if (found.file) {
                // The service finds a name whatever its case: a file found
                // under another case takes the local name, else it would stay
                // as it was (and a removal of the old name would take it).
                if (found.file->get_name() != owner_.filename_)
                    folder->rename_item(found.file, owner_.filename_);
                found.time = found.file->get_modification_date();
                found.size = found.file->get_size();
            }
            return found;
        });
    };
    // Whether the upload is needed over what the remote side holds; fails
    // the task when the remote file is the newer one.
    const auto needed_over = [&](const remote_state& existing) {
        // An empty remote file is never the newer version of content: it is
        // what an upload cut off after creating the file leaves. Nor is a
        // file that is still what the scan saw unchanged while the local one
        // changed.
        const bool remote_is_remnant = existing.file && existing.size == 0 && seen_size > 0;
        const bool remote_unchanged = existing.file && basis && basis->remote_file &&
                                      remote_state_of(existing.file) == *basis->remote_file;
        // The copy of an opened file goes only over the version the scan
        // saw: one changed since is kept, and the next pass finds both
        // changed.
        const bool same_as_local =
            existing.file && existing.time == local_time && existing.size == seen_size;
        if (owner_.binding_._type == binding::type_open_copy && existing.file && basis &&
            basis->remote_file && !remote_unchanged && !same_as_local)
            fail(message_kind::none, remote_changed);
        if (existing.time > local_time && !remote_is_remnant && !remote_unchanged)
            fail(message_kind::none, remote_is_newer);
        // The same time and size hide an edit the scan saw by the file's
        // state: that file is sent all the same.
        if (existing.file && existing.time == local_time && existing.size == seen_size &&
            !(basis && basis->local_changed)) {
            settle({local_time, *local_state});
            return false;
        }
        return !(only_over_existing && !existing.file);
    };
    // An upload in place sends only over an existing file, so it looks
    // first. Any other upload creates its file at once and looks only when
    // the service answers that the name is taken: finding one file costs a
    // listing of the whole folder, which grows with the folder, while most
    // uploads are of files the remote side does not have.
    std::optional<remote_state> existing;
    if (only_over_existing) {
        existing = look_up();
        if (!needed_over(*existing)) return done;
    }

    vfs::file_ptr remote = existing ? existing->file : nullptr;
    boost::filesystem::path temp;
    std::optional<local_file> source;
    bool created = false;
    // Whether the journal was told of a step on the remote file.
    bool announced = false;
    try {
        const auto source_path = step(message_kind::copy_to_temporary, [&] {
            if (in_place) {
                local_size = size_of(local);
                return local;
            }
            remove_quietly(temp);
            temp.clear();
            temp = owner_.make_temp_path();
            copy_to_temporary(local, temp);
            local_size = size_of(temp);
            return temp;
        });
        step(
            message_kind::open_local_stream,
            [&] { source.emplace(source_path, local_file::mode::read); }, text::dropped);
        if (!existing) {
            journal_entry creating = entry(journal_entry::kind::creating);
            creating.size = local_size;
            announce(creating);
            announced = true;
            step(message_kind::create_remote_file, [&] {
                try {
                    remote = boost::dynamic_pointer_cast<vfs::file>(
                        folder->create_file_alloc(owner_.filename_, local_size));
                    created = true;
                } catch (const vfs::item_already_exists_exception&) {
                    remote = nullptr;
                }
            });
            if (!created) {
                existing = look_up();
                if (!needed_over(*existing)) {
                    source.reset();
                    remove_quietly(temp);
                    return done;
                }
                remote = existing->file;
            }
        }
        if (!remote && !created) {
            step(message_kind::create_remote_file, [&] {
                remote = boost::dynamic_pointer_cast<vfs::file>(
                    folder->create_file_alloc(owner_.filename_, local_size));
                created = true;
            });
        }
        if (!remote) fail(message_kind::create_remote_file, L"");
        if (created) {
            journal_entry made = entry(journal_entry::kind::created);
            made.remote_id = remote->get_id();
            announce(made);
        }
        step(message_kind::open_remote_file,
             [&] { remote->open(vfs::modeWrite | vfs::modeOverwrite, local_size); });

        std::int64_t sent = 0;
        for (;;) {
            const std::size_t count = step(
                message_kind::read_local_stream,
                [&] { return source->read_at(buffer_.data(), buffer_.size(), sent); },
                text::dropped);
            if (count == 0) break;
            // A failed write call takes none of its bytes, so a retry goes on
            // from the last byte a call accepted.
            std::size_t written = 0;
            step(message_kind::write_remote_file, [&] {
                while (written < count) {
                    const int put =
                        remote->write(buffer_.data() + written, static_cast<int>(count - written));
                    if (put <= 0) throw local_error(L"");
                    written += static_cast<std::size_t>(put);
                }
            });
            sent += static_cast<std::int64_t>(count);
            report_progress(sent, local_size);
        }

        // The stream is gone after a failed close, so it is not tried again.
        interruption_point();
        try {
            source->close();
        } catch (const local_error&) {
            fail(message_kind::close_local_stream, L"");
        }
        source.reset();
        journal_entry closing = entry(journal_entry::kind::closing);
        closing.remote_id = remote->get_id();
        closing.time = local_time;
        closing.size = local_size;
        closing.local = *local_state;
        announce(closing);
        announced = true;
        step(message_kind::close_remote_file, [&] { remote->close(local_time); });
        // The service dates a file closed without a positive time with the
        // time of the upload: a file dated at or before 1970 gets its own
        // date afterwards.
        if (local_time <= 0)
            step(message_kind::set_remote_date, [&] { remote->set_modification_date(local_time); });
    } catch (...) {
        source.reset();
        if (!in_place) remove_quietly(temp);
        bool left_behind = false;
        if (created) {
            remote.reset();
            try {
                folder->delete_item(owner_.filename_, true);
            } catch (...) {
                // The file stays where it is: the journal still says this
                // upload made it, so the next pass finds and removes it.
                left_behind = true;
            }
        }
        if (announced && !left_behind) announce_quietly(entry(journal_entry::kind::abandoned));
        throw;
    }
    // The upload is complete: a copy that cannot be removed is no failure.
    if (!in_place) remove_quietly(temp);
    settle({local_time, *local_state});
    return done;
}

task::runner::outcome task::runner::download() {
    check_local_names();
    const auto local = local_path(owner_.dir_local_, owner_.filename_);
    const auto local_before = file_state(local);
    const std::int64_t local_time = local_before ? local_before->last_write_time() : missing_time;
    const std::int64_t local_size = local_before ? local_before->size : 0;
    // A local file still as the scan saw it, unchanged since both sides
    // agreed, is older than the remote one whatever its time says.
    const item_basis* basis = owner_.basis_.get();
    const bool local_unchanged =
        local_before && basis && basis->local_file && *local_before == *basis->local_file;
    // A local file other than the one the download was decided over (edited
    // since, whatever its time says, or made since) is the user's newer work.
    if (basis && (basis->local_file ? !local_unchanged : local_before.has_value())) {
        const bool newer = basis->remote_file && local_time > basis->remote_file->time;
        fail(message_kind::none, newer ? local_is_newer : local_changed_meanwhile);
    }

    const auto look_up = [&] {
        return step(message_kind::remote_file_info, [&] {
            remote_state found;
            vfs::item_ptr item;
            try {
                item = remote_item(remote_folder(owner_.dir_remote_, false), owner_.filename_);
            } catch (const vfs::item_not_found_exception&) {
                return found;
            }
            if (!item) return found;
            found.file = boost::dynamic_pointer_cast<vfs::file>(item);
            if (!found.file) throw local_error(L"");
            found.time = found.file->get_modification_date();
            found.size = found.file->get_size();
            return found;
        });
    };
    // Whether the remote file is to be fetched over what the local side
    // holds; fails the task when the local file is the newer one.
    const auto needed = [&](const remote_state& remote) {
        if (!remote.file) return false;
        set_size(remote.size);
        if ((local_time > remote.time && !local_unchanged) || remote.size == 0)
            fail(message_kind::none, local_is_newer);
        if (local_before && local_time == remote.time && local_size == remote.size) {
            settle({remote.time, *local_before});
            return false;
        }
        return true;
    };
    // The file as the scan listed it, opened by its id: finding it by name
    // costs a listing of its whole folder, which grows with the folder. Only
    // when the service refuses to open it (gone, moved, or not addressable
    // so) or states another size than the listing did is it looked up.
    remote_state remote;
    bool opened = false;
    if (basis && basis->remote_file && !basis->remote_id.empty()) {
        remote.file = owner_.environment_->get_client()->get_file_by_id(
            basis->remote_id, owner_.filename_, basis->remote_file->size, basis->remote_file->time);
        remote.time = basis->remote_file->time;
        remote.size = basis->remote_file->size;
    }
    if (remote.file) {
        if (!needed(remote)) return done;
        interruption_point();
        try {
            remote.file->open(vfs::modeRead, 0);
            opened = true;
        } catch (const vfs::exception&) {
        }
        interruption_point();
        if (opened && remote.file->get_size() != remote.size) {
            try {
                remote.file->close(-1);
            } catch (const vfs::exception&) {
                // The handle is dropped; the lookup below finds the file anew.
            }
            opened = false;
        }
    }
    if (!opened) {
        remote = look_up();
        if (!needed(remote)) return done;
    }

    const vfs::file_ptr& file = remote.file;
    boost::filesystem::path temp;
    std::optional<local_file> sink;
    local_file_state placed_state;
    // Whether the journal was told that the copy is about to be put in
    // place, and whether it was.
    bool announced = false;
    bool put_in_place = false;
    try {
        temp = step(message_kind::make_temporary, [&] { return owner_.make_temp_path(); });
        if (!opened) step(message_kind::open_remote_file, [&] { file->open(vfs::modeRead, 0); });
        step(
            message_kind::open_local_stream, [&] { sink.emplace(temp, local_file::mode::write); },
            text::dropped);

        // Every byte goes to its own offset, so a retried read or write never
        // repeats or skips one; a transfer that does not deliver the remote
        // size is fetched again from the start.
        int whole_attempts = attempts_per_step;
        for (;;) {
            std::int64_t received = 0;
            while (!step(message_kind::read_remote_file, [&] { return file->is_eof(); })) {
                const int count = step(message_kind::read_remote_file, [&] {
                    return file->read(buffer_.data(), static_cast<int>(buffer_.size()));
                });
                if (count <= 0) break;
                step(
                    message_kind::write_local_stream,
                    [&] {
                        sink->write_at(buffer_.data(), static_cast<std::size_t>(count), received);
                    },
                    text::dropped);
                received += count;
                report_progress(received, remote.size);
                if (received > remote.size) break;
            }
            if (received == remote.size) break;
            retry_step(message_kind::read_remote_file, size_mismatch, whole_attempts);
            step(message_kind::open_remote_file, [&] {
                if (file->get_mode() != 0) file->close(-1);
                file->open(vfs::modeRead, 0);
            });
            step(
                message_kind::write_local_stream, [&] { sink->truncate(0); }, text::dropped);
            owner_.set_progress(0);
        }

        interruption_point();
        try {
            sink->close();
        } catch (const local_error&) {
            fail(message_kind::close_local_stream, L"");
        }
        sink.reset();
        step(message_kind::close_remote_file, [&] { file->close(-1); });
        step(message_kind::create_local_folder, [&] {
            const auto folder = local_path(owner_.dir_local_);
            if (!path_exists(folder)) create_folders(folder);
        });
        // Told to the journal before the copy takes the file's place, so a
        // kill right after the rename still leaves the download's result.
        const auto announce_copy = [&](const boost::filesystem::path& copy,
                                       const local_file_state& copy_state) {
            if (!owner_.journal_) return;
            journal_entry replacing = entry(journal_entry::kind::replacing);
            replacing.time = remote.time;
            replacing.size = remote.size;
            replacing.local = copy_state;
            replacing.copy_name = copy.filename().wstring();
            owner_.journal_->append(replacing);
            announced = true;
        };
        // The local file is replaced only as the task found it: an edit made
        // meanwhile is newer than what was fetched and stays.
        const auto placed = step(message_kind::copy_from_temporary, [&] {
            return replace_file(
                temp, local, remote.time, [&] { return file_state(local) == local_before; },
                announce_copy);
        });
        if (!placed) fail(message_kind::none, local_is_newer);
        put_in_place = true;
        placed_state = *placed;
    } catch (...) {
        sink.reset();
        remove_quietly(temp);
        if (announced && !put_in_place) announce_quietly(entry(journal_entry::kind::abandoned));
        throw;
    }
    remove_quietly(temp);
    settle({remote.time, placed_state});
    return done;
}

void task::runner::give_remote_folders_local_case() {
    const std::wstring& root = owner_.binding_.dir_remote;
    if (!path_is_within(owner_.dir_remote_, root)) return;
    const std::wstring relative = relative_path(owner_.dir_remote_, root);
    vfs::directory_ptr folder = remote_folder(root, false);
    std::size_t start = 0;
    while (folder && start < relative.size()) {
        const std::size_t end = relative.find(L'/', start);
        const std::wstring name =
            relative.substr(start, end == std::wstring::npos ? end : end - start);
        start = end == std::wstring::npos ? relative.size() : end + 1;
        const vfs::item_ptr item = remote_item(folder, name);
        if (!item) return;
        if (item->get_name() != name) folder->rename_item(item, name);
        folder = boost::dynamic_pointer_cast<vfs::directory>(item);
    }
}

}  // namespace syncer
