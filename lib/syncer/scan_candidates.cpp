#include "syncer/scan_candidates.h"

#include <sys/stat.h>
#include <utf8.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>

#include "syncer/paths.h"
#include "syncer/scan_interruption.h"
#include "win/file.h"

namespace syncer {

namespace {

bool is_separator(wchar_t character) {
    return character == L'/' || character == L'\\';
}

// The wide name of a listed entry, and whether it can be used.
std::wstring widen_name(const std::string& native_name, name_problem& problem) {
    problem = name_problem::none;
    std::wstring name;
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

}  // namespace

bool never_acts_on_local_absence(const binding& owner) {
    return owner._type == binding::type_upload_only || owner._type == binding::type_saved_files;
}

boost::filesystem::path native_local_path(const std::wstring& path) {
    return boost::filesystem::path(win_file::native_path(path));
}

local_state probe_local(const std::wstring& path) {
    local_state state;
    const std::string native = win_file::native_path(path);
    struct stat link {};
    if (::lstat(native.c_str(), &link) != 0) return state;
    state.exists = true;
    struct stat target = link;
    if (S_ISLNK(link.st_mode)) {
        if (::stat(native.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) {
            // A dangling link, or one to a folder: never followed.
            state.hidden = true;
            state.is_directory = S_ISDIR(target.st_mode);
            return state;
        }
    }
    state.is_directory = S_ISDIR(target.st_mode);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    state.hidden = attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_HIDDEN);
    state.file = local_file_state::from_stat(target);
    if (state.is_directory) state.file.size = 0;
    return state;
}

std::vector<local_entry> list_local(const std::wstring& folder) {
    std::vector<local_entry> entries;
    for (const auto& item : boost::filesystem::directory_iterator(native_local_path(folder))) {
        local_entry entry;
        entry.name = widen_name(item.path().filename().string(), entry.problem);
        if (entry.problem == name_problem::none) {
            entry.state = probe_local(join_path(folder, entry.name));
            if (!entry.state.exists) continue;  // gone since the listing
        } else {
            boost::system::error_code failure;
            const auto status = item.symlink_status(failure);
            if (failure) continue;
            entry.state.exists = true;
            entry.state.is_directory = boost::filesystem::is_directory(status);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool has_visible_files(const std::wstring& folder) {
    for (const local_entry& entry : list_local(folder)) {
        if (entry.problem != name_problem::none || entry.state.hidden) continue;
        if (!entry.state.is_directory) return true;
        if (has_visible_files(join_path(folder, entry.name))) return true;
    }
    return false;
}

void add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                   const std::wstring& dir_local, const std::wstring& filename,
                   std::int64_t remote_time, std::int64_t remote_size, const stop_signal& stop) {
    add_candidate(candidates, dir_remote, dir_local, filename, remote_time, remote_size,
                  probe_local(filename.empty() ? dir_local : join_path(dir_local, filename)), stop);
}

void add_candidate(candidate_set& candidates, const std::wstring& dir_remote,
                   const std::wstring& dir_local, const std::wstring& filename,
                   std::int64_t remote_time, std::int64_t remote_size, const local_state& local,
                   const stop_signal& stop) {
    interruption_point(stop);
    sync_item candidate(dir_remote, dir_local, filename);
    candidate.last_time_remote = remote_time;
    candidate.remote_size = remote_size;
    // A name that is a folder on one side and a file on the other is not the
    // same item: the file side counts as missing.
    if (local.exists && !local.hidden && local.is_directory == filename.empty()) {
        candidate.last_time_local = filename.empty() ? 0 : local.file.last_write_time;
        candidate.local_size = filename.empty() ? 0 : local.file.size;
        if (!filename.empty()) candidate.local_file = local.file;
    }
    const auto [position, inserted] = candidates.insert(candidate);
    if (!inserted) candidates.insert(candidates.erase(position), candidate);
}

bool path_is_within(const std::wstring& path, const std::wstring& folder) {
    std::size_t folder_end = folder.size();
    while (folder_end > 0 && is_separator(folder[folder_end - 1])) --folder_end;
    if (path.size() < folder_end) return false;
    const auto same = [](wchar_t a, wchar_t b) {
        return a == b || (is_separator(a) && is_separator(b));
    };
    if (!std::equal(folder.begin(), folder.begin() + static_cast<std::ptrdiff_t>(folder_end),
                    path.begin(), same))
        return false;
    if (path.size() == folder_end) return true;
    // Only separators after the folder's names: the folder itself; else the
    // next character must start a new element.
    return is_separator(path[folder_end]);
}

}  // namespace syncer
