#include "folder/overlay/marked_paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "syncer/binding_manager.h"

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

std::optional<marked_paths::file_stamp> marked_paths::stamp_of(
    const std::wstring& user_name) const {
    const std::filesystem::path file(
        syncer::binding_manager::get_bindings_path(user_name).native());
    std::error_code failed;
    const auto modified = std::filesystem::last_write_time(file, failed);
    if (failed) return std::nullopt;
    const auto size = std::filesystem::file_size(file, failed);
    if (failed) return std::nullopt;
    return file_stamp{
        user_name,
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count(),
        size};
}

bool marked_paths::contains(const std::wstring& user_name, const std::wstring& path) {
    // A missing table file (one that a companion may stand in for) has no
    // stamp and is read every time.
    const std::optional<file_stamp> stamp = stamp_of(user_name);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> hold(lock_);
    if (!stamp || stamp != stamp_ || now - read_at_ >= max_age) {
        syncer::binding_set bindings;
        {
            // The table's own lock is held only while it is read.
            syncer::binding_manager table(user_name, true);
            bindings = table.get_bindings();
        }
        paths_.clear();
        for (const syncer::binding& bound : bindings)
            if (bound._type == syncer::binding::type_user_choice)
                paths_.insert(local_path_of(bound));
        stamp_ = stamp;
        read_at_ = now;
        ++reads_;
    }
    return paths_.contains(normalised(path));
}

int marked_paths::reads() const {
    std::lock_guard<std::mutex> hold(lock_);
    return reads_;
}

marked_paths& shared_marked_paths() {
    static marked_paths shared;
    return shared;
}

}  // namespace shell_overlay
