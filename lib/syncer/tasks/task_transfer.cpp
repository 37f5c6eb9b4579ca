// The two transfers of a sync task: an upload sends a private copy of the
// local file, a download fetches into a temporary file and only then puts it
// in place of the local file, in one rename.
#include <boost/pointer_cast.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "syncer/core/paths.h"
#include "syncer/core/remote_item_state.h"
#include "syncer/core/user_interface.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tasks/task_runner.h"
#include "utils/exceptions.h"
#include "utils/filesystem.h"
#include "vfs/block_copy.h"

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

// An upload: looks at the remote side, sends a private copy of the local
// file (the file itself for an upload in place) into a remote file it
// creates or overwrites, and tells the journal of every step on the remote
// file before it takes it.
class task::runner::upload_job {
public:
    upload_job(runner& run, const boost::filesystem::path& local, const local_file_state& state)
        : run_(run),
          owner_(run.owner_),
          basis_(run.owner_.basis_.get()),
          in_place_(run.owner_.binding_._type == binding::type_upload_only),
          copy_of_opened_(run.owner_.binding_._type == binding::type_open_copy),
          only_over_existing_(in_place_ || copy_of_opened_),
          local_(local),
          local_state_(state),
          local_time_(state.last_write_time()),
          seen_size_(state.size),
          local_size_(state.size) {}

    outcome run() {
        run_.set_size(local_size_);
        if (basis_ && basis_->remote_case_differs)
            run_.step(message_kind::open_remote_folder,
                      [&] { run_.give_remote_folders_local_case(); });
        folder_ = run_.step(message_kind::open_remote_folder, [&] {
            return run_.remote_folder(owner_.dir_remote_, !copy_of_opened_);
        });
        // An upload in place sends only over an existing file, so it looks
        // first. Any other upload creates its file at once and looks only
        // when the service answers that the name is taken: finding one file
        // costs a listing of the whole folder, which grows with the folder,
        // while most uploads are of files the remote side does not have.
        if (only_over_existing_) {
            existing_ = look_up();
            if (!needed_over(*existing_)) return done;
        }
        remote_ = existing_ ? existing_->file : nullptr;
        try {
            open_source(make_source());
            if (!existing_ && !create_unless_taken()) {
                source_.reset();
                remove_quietly(temp_);
                return done;
            }
            make_remote_file_if_missing();
            run_.step(message_kind::open_remote_file,
                      [&] { remote_->open(vfs::modeWrite | vfs::modeOverwrite, local_size_); });
            send_bytes();
            close_both();
        } catch (...) {
            abandon();
            throw;
        }
        // The upload is complete: a copy that cannot be removed is no failure.
        if (!in_place_) remove_quietly(temp_);
        run_.settle({local_time_, local_state_});
        return done;
    }

private:
    // The remote file of the task's name, if any, taking the local name
    // when it was found under another case.
    remote_state look_up() {
        return run_.step(message_kind::open_remote_folder, [&] {
            remote_state found;
            found.file =
                boost::dynamic_pointer_cast<vfs::file>(run_.remote_item(folder_, owner_.filename_));
            if (found.file) {
                // The service finds a name whatever its case: a file found
                // under another case takes the local name, else it would stay
                // as it was (and a removal of the old name would take it).
                if (found.file->get_name() != owner_.filename_)
                    folder_->rename_item(found.file, owner_.filename_);
                found.time = found.file->get_modification_date();
                found.size = found.file->get_size();
            }
            return found;
        });
    }

    // Whether the upload is needed over what the remote side holds; fails
    // the task when the remote file is the newer one.
    bool needed_over(const remote_state& existing) {
        // An empty remote file is never the newer version of content: it is
        // what an upload cut off after creating the file leaves. Nor is a
        // file that is still what the scan saw unchanged while the local one
        // changed.
        const bool remote_is_remnant = existing.file && existing.size == 0 && seen_size_ > 0;
        const bool remote_unchanged = existing.file && basis_ && basis_->remote_file &&
                                      remote_state_of(existing.file) == *basis_->remote_file;
        // The copy of an opened file goes only over the version the scan
        // saw: one changed since is kept, and the next pass finds both
        // changed.
        const bool same_as_local =
            existing.file && existing.time == local_time_ && existing.size == seen_size_;
        if (copy_of_opened_ && existing.file && basis_ && basis_->remote_file &&
            !remote_unchanged && !same_as_local)
            run_.fail(message_kind::none, remote_changed);
        if (existing.time > local_time_ && !remote_is_remnant && !remote_unchanged)
            run_.fail(message_kind::none, remote_is_newer);
        // The same time and size hide an edit the scan saw by the file's
        // state: that file is sent all the same.
        if (same_as_local && !(basis_ && basis_->local_changed)) {
            run_.settle({local_time_, local_state_});
            return false;
        }
        return !(only_over_existing_ && !existing.file);
    }

    // The file the bytes are read from: the local file itself for an upload
    // in place, else a private copy of it in the temporary folder, made anew
    // on every attempt.
    boost::filesystem::path make_source() {
        return run_.step(message_kind::copy_to_temporary, [&] {
            if (in_place_) {
                local_size_ = size_of(local_);
                return local_;
            }
            remove_quietly(temp_);
            temp_.clear();
            temp_ = owner_.make_temp_path();
            copy_to_temporary(local_, temp_);
            local_size_ = size_of(temp_);
            return temp_;
        });
    }

    void open_source(const boost::filesystem::path& path) {
        run_.step(
            message_kind::open_local_stream, [&] { source_.emplace(path, local_file::mode::read); },
            text::dropped);
    }

    // Creates the remote file, announced first; when the name is taken,
    // looks at the file there instead. False when the upload is not needed
    // over that file.
    bool create_unless_taken() {
        journal_entry creating = run_.entry(journal_entry::kind::creating);
        creating.size = local_size_;
        run_.announce(creating);
        announced_ = true;
        run_.step(message_kind::create_remote_file, [&] {
            try {
                remote_ = boost::dynamic_pointer_cast<vfs::file>(
                    folder_->create_file_alloc(owner_.filename_, local_size_));
                created_ = true;
            } catch (const vfs::item_already_exists_exception&) {
                remote_ = nullptr;
            }
        });
        if (created_) return true;
        existing_ = look_up();
        if (!needed_over(*existing_)) return false;
        remote_ = existing_->file;
        return true;
    }

    // Creates the remote file when none was found to overwrite (the name
    // was taken by what is no file), and tells the journal of a file this
    // upload made.
    void make_remote_file_if_missing() {
        if (!remote_ && !created_) {
            run_.step(message_kind::create_remote_file, [&] {
                remote_ = boost::dynamic_pointer_cast<vfs::file>(
                    folder_->create_file_alloc(owner_.filename_, local_size_));
                created_ = true;
            });
        }
        if (!remote_) run_.fail(message_kind::create_remote_file, L"");
        if (created_) {
            journal_entry made = run_.entry(journal_entry::kind::created);
            made.remote_id = remote_->get_id();
            run_.announce(made);
        }
    }

    // The bytes, block by block. A read names its offset, so a retried one
    // never skips or repeats a byte; a failed write call takes none of its
    // bytes, so a retried write goes on from the last byte a call accepted.
    void send_bytes() {
        vfs::block_copy copy;
        copy.read = [&](char* buffer, std::size_t length,
                        std::uint64_t offset) -> std::optional<std::size_t> {
            return run_.step(
                message_kind::read_local_stream,
                [&] { return source_->read_at(buffer, length, static_cast<std::int64_t>(offset)); },
                text::dropped);
        };
        copy.write = [&](const char* block, std::size_t length, std::uint64_t, std::size_t& taken) {
            run_.step(message_kind::write_remote_file, [&] {
                try {
                    vfs::write_all(*remote_, block, length, taken);
                } catch (const vfs::short_write&) {
                    // Recorded by its kind alone: the write says nothing more.
                    throw local_error(L"");
                }
            });
            return true;
        };
        copy.progress = [&](std::uint64_t copied, std::size_t) {
            run_.report_progress(static_cast<std::int64_t>(copied), local_size_);
        };
        copy.cancelled = [&] { return owner_.stop_.is_raised(); };
        if (vfs::copy_blocks(copy, run_.buffer_).end == vfs::copy_end::cancelled)
            run_.interruption_point();
    }

    // Closes the local stream, then the remote file, which commits it,
    // announced first; the file gets its own date when the service would
    // not keep it.
    void close_both() {
        // The stream is gone after a failed close, so it is not tried again.
        run_.interruption_point();
        try {
            source_->close();
        } catch (const local_error&) {
            run_.fail(message_kind::close_local_stream, L"");
        }
        source_.reset();
        journal_entry closing = run_.entry(journal_entry::kind::closing);
        closing.remote_id = remote_->get_id();
        closing.time = local_time_;
        closing.size = local_size_;
        closing.local = local_state_;
        run_.announce(closing);
        announced_ = true;
        run_.step(message_kind::close_remote_file, [&] { remote_->close(local_time_); });
        // The service dates a file closed without a positive time with the
        // time of the upload: a file dated at or before 1970 gets its own
        // date afterwards.
        if (local_time_ <= 0)
            run_.step(message_kind::set_remote_date,
                      [&] { remote_->set_modification_date(local_time_); });
    }

    // An upload that ends early takes back what it made: its private copy,
    // and the remote file it created. What the journal was told is marked
    // abandoned, unless the file stays behind.
    void abandon() noexcept {
        source_.reset();
        if (!in_place_) remove_quietly(temp_);
        bool left_behind = false;
        if (created_) {
            remote_.reset();
            try {
                folder_->delete_item(owner_.filename_, true);
            } catch (...) {
                // The file stays where it is: the journal still says this
                // upload made it, so the next pass finds and removes it.
                left_behind = true;
            }
        }
        if (announced_ && !left_behind)
            run_.announce_quietly(run_.entry(journal_entry::kind::abandoned));
    }

    runner& run_;
    task& owner_;
    const item_basis* const basis_;
    const bool in_place_;
    // The copy of an opened file goes only over its own remote file: it
    // never makes a folder or a file, which would put it where the path
    // leads now (a folder no longer shared ends in one of the user's own).
    const bool copy_of_opened_;
    const bool only_over_existing_;
    const boost::filesystem::path local_;
    const local_file_state local_state_;
    const std::int64_t local_time_;
    // The size the task saw, and the size of what it sends.
    const std::int64_t seen_size_;
    std::int64_t local_size_;
    vfs::directory_ptr folder_;
    std::optional<remote_state> existing_;
    vfs::file_ptr remote_;
    boost::filesystem::path temp_;
    std::optional<local_file> source_;
    bool created_ = false;
    // Whether the journal was told of a step on the remote file.
    bool announced_ = false;
};

// A download: fetches the remote file into a temporary file, then puts it in
// place of the local file in one rename, told to the journal first, and only
// while the local file is as the task found it.
class task::runner::download_job {
public:
    download_job(runner& run, const boost::filesystem::path& local,
                 const std::optional<local_file_state>& before)
        : run_(run),
          owner_(run.owner_),
          basis_(run.owner_.basis_.get()),
          local_(local),
          local_before_(before),
          local_time_(before ? before->last_write_time() : missing_time),
          local_size_(before ? before->size : 0),
          // A local file still as the scan saw it, unchanged since both
          // sides agreed, is older than the remote one whatever its time
          // says.
          local_unchanged_(before && basis_ && basis_->local_file &&
                           *before == *basis_->local_file) {}

    outcome run() {
        // A local file other than the one the download was decided over
        // (edited since, whatever its time says, or made since) is the
        // user's newer work.
        if (basis_ && (basis_->local_file ? !local_unchanged_ : local_before_.has_value())) {
            const bool newer = basis_->remote_file && local_time_ > basis_->remote_file->time;
            run_.fail(message_kind::none, newer ? local_is_newer : local_changed_meanwhile);
        }
        take_as_listed();
        if (remote_.file) {
            if (!needed()) return done;
            open_as_listed();
        }
        if (!opened_) {
            remote_ = look_up();
            if (!needed()) return done;
        }
        try {
            temp_ =
                run_.step(message_kind::make_temporary, [&] { return owner_.make_temp_path(); });
            if (!opened_)
                run_.step(message_kind::open_remote_file,
                          [&] { remote_.file->open(vfs::modeRead, 0); });
            run_.step(
                message_kind::open_local_stream,
                [&] { sink_.emplace(temp_, local_file::mode::write); }, text::dropped);
            fetch_whole();
            close_both();
            run_.step(message_kind::create_local_folder, [&] {
                const auto folder = local_path(owner_.dir_local_);
                if (!path_exists(folder)) create_folders(folder);
            });
            put_in_place();
        } catch (...) {
            abandon();
            throw;
        }
        remove_quietly(temp_);
        run_.settle({remote_.time, placed_state_});
        return done;
    }

private:
    // The file as the scan listed it, by its id: finding it by name costs a
    // listing of its whole folder, which grows with the folder. Nothing when
    // the scan did not list it.
    void take_as_listed() {
        if (!basis_ || !basis_->remote_file || basis_->remote_id.empty()) return;
        remote_.file = owner_.environment_->get_client()->get_file_by_id(
            basis_->remote_id, owner_.filename_, basis_->remote_file->size,
            basis_->remote_file->time);
        remote_.time = basis_->remote_file->time;
        remote_.size = basis_->remote_file->size;
    }

    // Opens the file as listed. It is looked up instead when the service
    // refuses to open it (gone, moved, or not addressable so) or states
    // another size than the listing did.
    void open_as_listed() {
        run_.interruption_point();
        try {
            remote_.file->open(vfs::modeRead, 0);
            opened_ = true;
        } catch (const vfs::exception&) {
        }
        run_.interruption_point();
        if (opened_ && remote_.file->get_size() != remote_.size) {
            try {
                remote_.file->close(-1);
            } catch (const vfs::exception&) {
                // The handle is dropped; the lookup finds the file anew.
            }
            opened_ = false;
        }
    }

    // The remote file of the task's name by a listing of its folder;
    // nothing when the folder or the file is gone.
    remote_state look_up() {
        return run_.step(message_kind::remote_file_info, [&] {
            remote_state found;
            vfs::item_ptr item;
            try {
                item = run_.remote_item(run_.remote_folder(owner_.dir_remote_, false),
                                        owner_.filename_);
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
    }

    // Whether the remote file is to be fetched over what the local side
    // holds; fails the task when the local file is the newer one.
    bool needed() {
        if (!remote_.file) return false;
        run_.set_size(remote_.size);
        if ((local_time_ > remote_.time && !local_unchanged_) || remote_.size == 0)
            run_.fail(message_kind::none, local_is_newer);
        if (local_before_ && local_time_ == remote_.time && local_size_ == remote_.size) {
            run_.settle({remote_.time, *local_before_});
            return false;
        }
        return true;
    }

    // The remote file into the temporary file. Every byte goes to its own
    // offset, so a retried read or write never repeats or skips one; a
    // transfer that does not deliver the remote size is fetched again from
    // the start.
    void fetch_whole() {
        int whole_attempts = attempts_per_step;
        while (fetch() != remote_.size) {
            run_.retry_step(message_kind::read_remote_file, size_mismatch, whole_attempts);
            run_.step(message_kind::open_remote_file, [&] {
                if (remote_.file->get_mode() != 0) remote_.file->close(-1);
                remote_.file->open(vfs::modeRead, 0);
            });
            run_.step(
                message_kind::write_local_stream, [&] { sink_->truncate(0); }, text::dropped);
            owner_.set_progress(0);
        }
    }

    // One pass over the remote file from where it stands; the bytes it
    // delivered.
    std::int64_t fetch() {
        const vfs::file_ptr& file = remote_.file;
        vfs::block_copy copy;
        copy.read = [&](char* buffer, std::size_t length,
                        std::uint64_t offset) -> std::optional<std::size_t> {
            // A file that delivers more than its size is fetched anew, not
            // read on.
            if (static_cast<std::int64_t>(offset) > remote_.size) return 0;
            if (run_.step(message_kind::read_remote_file, [&] { return file->is_eof(); })) return 0;
            const int count = run_.step(message_kind::read_remote_file, [&] {
                return file->read(buffer, static_cast<int>(length));
            });
            return count > 0 ? static_cast<std::size_t>(count) : 0;
        };
        copy.write = [&](const char* block, std::size_t length, std::uint64_t offset,
                         std::size_t& taken) {
            run_.step(
                message_kind::write_local_stream,
                [&] { sink_->write_at(block, length, static_cast<std::int64_t>(offset)); },
                text::dropped);
            taken = length;
            return true;
        };
        copy.progress = [&](std::uint64_t copied, std::size_t) {
            run_.report_progress(static_cast<std::int64_t>(copied), remote_.size);
        };
        copy.cancelled = [&] { return owner_.stop_.is_raised(); };
        const vfs::copy_result fetched = vfs::copy_blocks(copy, run_.buffer_);
        if (fetched.end == vfs::copy_end::cancelled) run_.interruption_point();
        return static_cast<std::int64_t>(fetched.copied);
    }

    // Closes the temporary file, flushed to the disk, then the remote file.
    void close_both() {
        run_.interruption_point();
        try {
            sink_->close();
        } catch (const local_error&) {
            run_.fail(message_kind::close_local_stream, L"");
        }
        sink_.reset();
        run_.step(message_kind::close_remote_file, [&] { remote_.file->close(-1); });
    }

    // The copy takes the local file's place. The local file is replaced only
    // as the task found it: an edit made meanwhile is newer than what was
    // fetched and stays.
    void put_in_place() {
        const auto placed = run_.step(message_kind::copy_from_temporary, [&] {
            return replace_file(
                temp_, local_, remote_.time, [&] { return file_state(local_) == local_before_; },
                [&](const boost::filesystem::path& copy, const local_file_state& copy_state) {
                    announce_copy(copy, copy_state);
                });
        });
        if (!placed) run_.fail(message_kind::none, local_is_newer);
        put_in_place_ = true;
        placed_state_ = *placed;
    }

    // Told to the journal before the copy takes the file's place, so a kill
    // right after the rename still leaves the download's result.
    void announce_copy(const boost::filesystem::path& copy, const local_file_state& copy_state) {
        if (!owner_.journal_) return;
        journal_entry replacing = run_.entry(journal_entry::kind::replacing);
        replacing.time = remote_.time;
        replacing.size = remote_.size;
        replacing.local = copy_state;
        replacing.copy_name = copy.filename().wstring();
        owner_.journal_->append(replacing);
        announced_ = true;
    }

    // A download that ends early leaves no copy behind; a copy the journal
    // was told of and that never took the file's place is marked abandoned.
    void abandon() noexcept {
        sink_.reset();
        remove_quietly(temp_);
        if (announced_ && !put_in_place_)
            run_.announce_quietly(run_.entry(journal_entry::kind::abandoned));
    }

    runner& run_;
    task& owner_;
    const item_basis* const basis_;
    const boost::filesystem::path local_;
    const std::optional<local_file_state> local_before_;
    const std::int64_t local_time_;
    const std::int64_t local_size_;
    const bool local_unchanged_;
    remote_state remote_;
    bool opened_ = false;
    boost::filesystem::path temp_;
    std::optional<local_file> sink_;
    local_file_state placed_state_;
    // Whether the journal was told that the copy is about to be put in
    // place, and whether it was.
    bool announced_ = false;
    bool put_in_place_ = false;
};

task::runner::outcome task::runner::upload() {
    check_local_names();
    const auto local = local_path(owner_.dir_local_, owner_.filename_);
    const auto local_state = file_state(local);
    if (!local_state) return done;
    return upload_job(*this, local, *local_state).run();
}

task::runner::outcome task::runner::download() {
    check_local_names();
    const auto local = local_path(owner_.dir_local_, owner_.filename_);
    return download_job(*this, local, file_state(local)).run();
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
