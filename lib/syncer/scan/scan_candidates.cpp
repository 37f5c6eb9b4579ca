#include "syncer/scan/scan_candidates.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <utf8.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

#include "syncer/core/paths.h"
#include "syncer/tasks/interruption.h"
#include "syncer/tasks/task_local_files.h"
#include "win/file.h"

namespace syncer {

namespace {

// The wide name of a listed entry, and whether it can be used.
std::wstring widen_name(std::string_view native_name, name_problem& problem) {
    problem = name_problem::none;
    std::wstring name;
    name.reserve(native_name.size());
    if (!utf8::is_valid(native_name.begin(), native_name.end())) {
        problem = name_problem::not_utf8;
        std::string shown;
        utf8::replace_invalid(native_name.begin(), native_name.end(), std::back_inserter(shown),
                              0xFFFD);
        utf8::utf8to32(shown.begin(), shown.end(), std::back_inserter(name));
        return name;
    }
    utf8::utf8to32(native_name.begin(), native_name.end(), std::back_inserter(name));
    if (!is_plain_name(name)) problem = name_problem::separator;
    return name;
}

// The state of a path whose own status (not following a link) is known;
// follow fills the status of what a link leads to.
template <class Follow>
local_state state_of(const std::string& native, const struct stat& link, Follow&& follow,
                     hidden_marks* marks = nullptr, std::int64_t now_ns = 0) {
    local_state state;
    state.exists = true;
    struct stat target = link;
    if (S_ISLNK(link.st_mode)) {
        if (!follow(target) || S_ISDIR(target.st_mode)) {
            // A dangling link, or one to a folder: never followed.
            state.hidden = true;
            state.is_directory = S_ISDIR(target.st_mode);
            return state;
        }
    }
    state.is_directory = S_ISDIR(target.st_mode);
    state.hidden =
        marks ? marks->is_hidden(target, now_ns, [&] { return win_file::is_hidden(native); })
              : win_file::is_hidden(native);
    state.file = local_file_state::from_stat(target);
    if (state.is_directory) state.file.size = 0;
    return state;
}

[[noreturn]] void throw_listing_error(const char* what, const std::string& native_path) {
    throw boost::filesystem::filesystem_error(
        what, native_path, boost::system::error_code(errno, boost::system::system_category()));
}

}  // namespace

local_listing_calls& listing_calls() {
    static local_listing_calls calls;
    return calls;
}

bool never_acts_on_local_absence(const binding& owner) {
    return owner._type == binding::type_upload_only || owner._type == binding::type_saved_files;
}

local_state probe_local(const std::wstring& path) {
    const std::string native = win_file::native_path(path);
    struct stat link {};
    if (::lstat(native.c_str(), &link) != 0) return local_state{};
    return state_of(native, link,
                    [&](struct stat& target) { return ::stat(native.c_str(), &target) == 0; });
}

std::vector<local_entry> list_local(const std::wstring& folder, hidden_marks* marks) {
    const std::string native_folder = win_file::native_path(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(native_folder.c_str()), ::closedir);
    if (!listing) throw_listing_error("cannot list the folder", native_folder);
    // Each entry is read relative to the open folder: one short look-up
    // for its state, and the full path only for its hidden mark.
    const int folder_descriptor = ::dirfd(listing.get());
    std::string native_path = native_folder + "/";
    const std::size_t folder_length = native_path.size();
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t now_ns = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    const local_listing_calls& calls = listing_calls();
    std::vector<local_entry> entries;
    for (;;) {
        // Only errno tells the end of the listing from a failure to read on.
        errno = 0;
        const dirent* item = calls.read_entry(listing.get());
        if (!item) {
            if (errno != 0) throw_listing_error("cannot read the folder on", native_folder);
            break;
        }
        const char* native_name = item->d_name;
        if (std::strcmp(native_name, ".") == 0 || std::strcmp(native_name, "..") == 0) continue;
        struct stat link {};
        if (calls.status_at(folder_descriptor, native_name, &link, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing
            throw_listing_error("cannot look at an entry", native_folder + "/" + native_name);
        }
        local_entry entry;
        entry.name = widen_name(native_name, entry.problem);
        if (entry.problem == name_problem::none) {
            native_path.resize(folder_length);
            native_path += native_name;
            entry.state = state_of(
                native_path, link,
                [&](struct stat& target) {
                    if (calls.status_at(folder_descriptor, native_name, &target, 0) == 0)
                        return true;
                    // A link that leads nowhere (or round in a loop) is
                    // passed over; one whose target could not be looked at
                    // may lead to a file that is there.
                    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return false;
                    throw_listing_error("cannot look at a link's target",
                                        native_folder + "/" + native_name);
                },
                marks, now_ns);
        } else {
            entry.state.exists = true;
            entry.state.is_directory = S_ISDIR(link.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool has_visible_files(const std::wstring& folder) {
    for (const local_entry& entry : list_local(folder)) {
        if (entry.problem != name_problem::none || entry.state.hidden) continue;
        if (!entry.state.is_directory) {
            if (is_replacement_name(entry.name)) continue;
            return true;
        }
        if (has_visible_files(join_path(folder, entry.name))) return true;
    }
    return false;
}

candidate_set::iterator add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                                      const std::wstring& dir_local, const std::wstring& filename,
                                      std::int64_t remote_time, std::int64_t remote_size,
                                      const stop_signal& stop) {
    return add_candidate_at(candidates, candidates.find(sync_item(dir_remote, dir_local, filename)),
                            dir_remote, dir_local, filename, remote_time, remote_size, stop);
}

candidate_set::iterator add_candidate_at(candidate_set& candidates, candidate_set::iterator found,
                                         const std::wstring& dir_remote,
                                         const std::wstring& dir_local,
                                         const std::wstring& filename, std::int64_t remote_time,
                                         std::int64_t remote_size, const stop_signal& stop) {
    // What the local walk read of the same item a moment ago stands; the disk
    // is asked only about items it did not find.
    if (found != candidates.end() && found->last_time_local != missing_time) {
        interruption_point(stop);
        found->last_time_remote = remote_time;
        found->remote_size = remote_size;
        return found;
    }
    return add_candidate(candidates, dir_remote, dir_local, filename, remote_time, remote_size,
                         probe_local(filename.empty() ? dir_local : join_path(dir_local, filename)),
                         stop, candidates.end());
}

candidate_set::iterator add_candidate(candidate_set& candidates, const shared_path& dir_remote,
                                      const shared_path& dir_local, const std::wstring& filename,
                                      std::int64_t remote_time, std::int64_t remote_size,
                                      const local_state& local, const stop_signal& stop,
                                      candidate_set::iterator hint) {
    interruption_point(stop);
    sync_item candidate(dir_remote, dir_local, filename);
    candidate.last_time_remote = remote_time;
    candidate.remote_size = remote_size;
    // A name that is a folder on one side and a file on the other is not the
    // same item: the file side counts as missing.
    if (local.exists && !local.hidden && local.is_directory == filename.empty()) {
        candidate.last_time_local = filename.empty() ? 0 : local.file.last_write_time();
        if (!filename.empty()) candidate.local_file = local.file;
    }
    const auto less = candidates.key_comp();
    const bool hint_fits = (hint == candidates.begin() || less(*std::prev(hint), candidate)) &&
                           (hint == candidates.end() || less(candidate, *hint));
    if (hint_fits) return candidates.insert(hint, std::move(candidate));
    // An equal key takes every field of the new candidate; the key itself
    // stays, so the element is changed in place.
    const auto position = candidates.lower_bound(candidate);
    if (position == candidates.end() || less(candidate, *position))
        return candidates.insert(position, std::move(candidate));
    position->last_time_remote = candidate.last_time_remote;
    position->last_time_local = candidate.last_time_local;
    position->synced_time = candidate.synced_time;
    position->remote_size = candidate.remote_size;
    position->local_file = candidate.local_file;
    position->rule = candidate.rule;
    return position;
}

folder_candidates::folder_candidates(candidate_set& candidates, const shared_path& dir_remote,
                                     const shared_path& dir_local)
    : candidates_(candidates) {
    const auto same = [](const shared_path& first, const shared_path& second) {
        return first.same_as(second) || compare_paths(first, second) == 0;
    };
    // The folder's own record (empty name) sorts just before its files, and
    // the records of other folders before or after all of them.
    for (auto file = candidates.upper_bound(sync_item(dir_remote, dir_local, L""));
         file != candidates.end() && same(file->dir_remote, dir_remote) &&
         same(file->dir_local, dir_local);
         ++file)
        files_.push_back(file);
}

candidate_set::iterator folder_candidates::find(const std::wstring& filename) const {
    const auto place = std::lower_bound(files_.begin(), files_.end(), filename,
                                        [](candidate_set::iterator file, const std::wstring& name) {
                                            return file->filename < name;
                                        });
    if (place == files_.end() || (*place)->filename != filename) return candidates_.end();
    return *place;
}

}  // namespace syncer
