#include "ui/sync_folder_rule.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "syncer/core/paths.h"
#include "win/file.h"
#include "win/shell.h"

namespace sync_folder_rule {

namespace {

namespace fs = std::filesystem;

constexpr size_t longest_path = 4095;
constexpr size_t longest_name = 255;

// Folders of the system: neither they nor anything inside them is paired.
const char* const system_folders[] = {"/bin",  "/boot", "/dev", "/etc", "/lib",
                                      "/proc", "/run",  "/sys", "/usr"};
// Folders that are not paired themselves; folders inside them may be.
const char* const shared_folders[] = {"/", "/tmp", "/var"};

// A path without "..", "." or symbolic links, and without a trailing
// separator: what of it exists is resolved on disk, the rest by its text.
fs::path resolved(const fs::path& path) {
    std::error_code failure;
    fs::path out = fs::weakly_canonical(path, failure);
    if (failure) out = path.lexically_normal();
    if (out.filename().empty() && out.has_relative_path()) out = out.parent_path();
    return out;
}

// A stored local path as the engine reads it: "\" separates as "/" does.
fs::path engine_path(const std::wstring& path) {
    return resolved(fs::path(win_file::native_path(path)));
}

// Whether path is base or lies inside it.
bool within(const fs::path& path, const fs::path& base) {
    auto level = path.begin();
    for (auto wanted = base.begin(); wanted != base.end(); ++wanted, ++level)
        if (level == path.end() || *level != *wanted) return false;
    return true;
}

// A folder both as written and as it resolves on this machine.
std::vector<fs::path> both_forms(const fs::path& folder) {
    return {folder.lexically_normal(), resolved(folder)};
}

std::vector<fs::path> special_folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) || !path[0]) return {};
    return both_forms(fs::path(win_file::native_path(path)));
}

// The person's home folder of the system the program runs on, and the
// profile folder the program knows as the user's.
std::vector<fs::path> home_folders() {
    std::vector<fs::path> homes = special_folder(CSIDL_PROFILE);
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        for (const fs::path& form : both_forms(home)) homes.push_back(form);
    return homes;
}

bool made_by_the_person(const syncer::binding& b) {
    return (b._type == syncer::binding::type_user_choice ||
            b._type == syncer::binding::type_upload_only) &&
           b._mode != 2;
}

bool overlap(const fs::path& one, const fs::path& other) {
    return within(one, other) || within(other, one);
}

}  // namespace

bool is_binding_path(const std::wstring& path) {
    if (path.size() < 2 || path[0] != L'/' || path[1] == L'/') return false;
    if (path.find_first_of(std::wstring(L"\\\0", 2)) != std::wstring::npos) return false;
    const std::string native = win_file::native_path(path);
    if (native.size() > longest_path) return false;
    size_t start = 1;
    while (start <= native.size()) {
        const size_t end = std::min(native.find('/', start), native.size());
        const std::string name = native.substr(start, end - start);
        // One separator may end the path; any other empty level is refused.
        const bool ends_path = end == native.size();
        if ((name.empty() && !ends_path) || name == "." || name == ".." ||
            name.size() > longest_name)
            return false;
        start = end + 1;
    }
    return true;
}

bool is_allowed_place(const std::wstring& folder) {
    if (!is_binding_path(folder)) return false;
    const fs::path place = engine_path(folder);
    for (const char* system : system_folders)
        for (const fs::path& form : both_forms(system))
            if (within(place, form)) return false;
    for (const char* shared : shared_folders)
        for (const fs::path& form : both_forms(shared))
            if (place == form) return false;
    for (const fs::path& home : home_folders())
        if (place == home) return false;
    for (const fs::path& data : special_folder(CSIDL_LOCAL_APPDATA))
        if (overlap(place, data)) return false;
    return true;
}

std::wstring covered_local(const syncer::binding& b) {
    return b.filename.empty() ? b.dir_local : syncer::join_path(b.dir_local, b.filename);
}

bool can_bind(const std::vector<syncer::binding>& wanted, const syncer::binding_set& stored,
              const std::vector<syncer::binding>& replaced) {
    std::vector<fs::path> covered;
    for (const syncer::binding& b : wanted) {
        if (!is_binding_path(covered_local(b)) || !is_allowed_place(b.dir_local)) return false;
        const fs::path mine = engine_path(covered_local(b));
        for (const fs::path& earlier : covered)
            if (overlap(mine, earlier)) return false;
        covered.push_back(mine);
    }
    for (const syncer::binding& other : stored) {
        if (!made_by_the_person(other)) continue;
        if (std::any_of(replaced.begin(), replaced.end(),
                        [&](const syncer::binding& gone) { return gone.is_same_as(other); }))
            continue;
        const fs::path theirs = engine_path(covered_local(other));
        for (const fs::path& mine : covered)
            if (overlap(mine, theirs)) return false;
    }
    return true;
}

}  // namespace sync_folder_rule
