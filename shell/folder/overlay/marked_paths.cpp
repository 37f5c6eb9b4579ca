#include "folder/overlay/marked_paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "folder/module/folder_session.h"
#include "syncer/tables/binding_manager.h"

namespace shell_overlay {

std::wstring normalised(const std::wstring& path) {
    std::wstring result = path;
    std::replace(result.begin(), result.end(), L'\\', L'/');
    return result;
}

std::wstring local_path_of(const syncer::binding& bound) {
    std::wstring path = bound.dir_local;
    if (!bound.filename.empty()) {
        const wchar_t first = bound.filename.front();
        if (first != L'/' && first != L'\\') path += L'/';
        path += bound.filename;
    }
    return normalised(path);
}

std::optional<marked_paths::file_stamp> marked_paths::stamp_of(const std::string& file) {
    const std::filesystem::path native(file);
    std::error_code failed;
    const auto modified = std::filesystem::last_write_time(native, failed);
    if (failed) return std::nullopt;
    const auto size = std::filesystem::file_size(native, failed);
    if (failed) return std::nullopt;
    return file_stamp{
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count(),
        size};
}

void marked_paths::read(const std::wstring& user_name) {
    // Forgotten first: a failed read leaves nothing that looks current.
    file_.clear();
    const std::string file = syncer::binding_manager::get_bindings_path(user_name).native();
    // A missing table file (one that a companion may stand in for) has no
    // stamp and is read every time.
    const std::optional<file_stamp> stamp = stamp_of(file);
    syncer::binding_set bindings;
    {
        // The table's own lock is held only while it is read.
        syncer::binding_manager table(user_name, true);
        bindings = table.get_bindings();
    }
    paths_.clear();
    for (const syncer::binding& bound : bindings)
        if (bound._type == syncer::binding::type_user_choice) paths_.insert(local_path_of(bound));
    user_name_ = user_name;
    file_ = file;
    stamp_ = stamp;
    read_at_ = std::chrono::steady_clock::now();
    ++reads_;
}

bool marked_paths::contains(const std::wstring& user_name, const std::wstring& path) {
    std::lock_guard<std::mutex> hold(lock_);
    const bool current = !file_.empty() && user_name == user_name_ && stamp_ &&
                         std::chrono::steady_clock::now() - read_at_ < max_age &&
                         stamp_of(file_) == stamp_;
    if (!current) read(user_name);
    return paths_.contains(normalised(path));
}

void marked_paths::forget() {
    std::lock_guard<std::mutex> hold(lock_);
    file_.clear();
}

int marked_paths::reads() const {
    std::lock_guard<std::mutex> hold(lock_);
    return reads_;
}

std::optional<std::wstring> session_user::current() {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> hold(lock_);
    if (!known_ || now - asked_at_ >= max_age) {
        known_ = false;
        folder_session& session = current_folder_session();
        user_ = session.is_logged_in() ? std::optional(session.get_user_info().user_name)
                                       : std::nullopt;
        known_ = true;
        asked_at_ = now;
    }
    return user_;
}

void session_user::forget() {
    std::lock_guard<std::mutex> hold(lock_);
    known_ = false;
}

session_user& shared_session_user() {
    static session_user shared;
    return shared;
}

marked_paths& shared_marked_paths() {
    static marked_paths shared;
    return shared;
}

}  // namespace shell_overlay
