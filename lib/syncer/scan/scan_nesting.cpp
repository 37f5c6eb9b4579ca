#include "syncer/scan/scan_nesting.h"

#include <algorithm>

#include "syncer/core/paths.h"

namespace syncer {

namespace {

bool same_folder(const std::wstring& first, const std::wstring& second) {
    return path_is_within(first, second) && path_is_within(second, first);
}

}  // namespace

nested_bindings::nested_bindings(const binding& owner, const binding_set& table) {
    if (!owner.filename.empty()) return;
    for (const binding& other : table) {
        if (other.is_same_as(owner) || !path_is_within(other.dir_local, owner.dir_local)) continue;
        if (!other.filename.empty()) {
            files_.emplace_back(other.dir_local, other.filename);
        } else if (!same_folder(other.dir_local, owner.dir_local)) {
            // A binding of the same local folder to another remote folder is
            // no more specific: both walk it whole.
            folders_.push_back(other.dir_local);
        }
    }
}

bool nested_bindings::owns_folder(const std::wstring& dir_local) const {
    return std::any_of(folders_.begin(), folders_.end(), [&](const std::wstring& folder) {
        return path_is_within(dir_local, folder);
    });
}

std::vector<std::wstring> nested_bindings::owned_files_in(const std::wstring& dir_local) const {
    std::vector<std::wstring> names;
    for (const auto& [folder, name] : files_)
        if (same_folder(folder, dir_local)) names.push_back(name);
    return names;
}

}  // namespace syncer
