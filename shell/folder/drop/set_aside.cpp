#include "folder/drop/set_aside.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

#include "vfs/calvimora_directory.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/kernel.h"

namespace shell_upload {

namespace {

const std::wstring set_aside_prefix = L"~";
const std::wstring set_aside_suffix = L".replaced";
const std::wstring upload_suffix = L".uploading";
constexpr std::size_t token_digits = 8;
constexpr std::size_t longest_name = 255;

bool same_name(const std::wstring& left, const std::wstring& right) {
    return vfs_calvimora::directory::names_match(left, right);
}

// The set-aside files of replaces running in this process, as "folder id"
// and name.
struct busy_set_asides {
    std::mutex lock;
    std::vector<std::pair<std::wstring, std::wstring>> entries;
};

// An object of the module itself, never of the heap: the extension is
// unloaded when its host has no more use for it.
busy_set_asides& busy() {
    static busy_set_asides b;
    return b;
}

bool is_busy(const std::wstring& folder_id, const std::wstring& name) {
    std::lock_guard<std::mutex> hold(busy().lock);
    return std::any_of(busy().entries.begin(), busy().entries.end(), [&](const auto& entry) {
        return entry.first == folder_id && same_name(entry.second, name);
    });
}

// The original name of a set-aside file; empty for any other name.
std::wstring original_of(const std::wstring& name) {
    const std::size_t affixes = set_aside_prefix.size() + set_aside_suffix.size();
    if (name.size() <= affixes || name.compare(0, set_aside_prefix.size(), set_aside_prefix) != 0 ||
        name.compare(name.size() - set_aside_suffix.size(), set_aside_suffix.size(),
                     set_aside_suffix) != 0)
        return L"";
    return name.substr(set_aside_prefix.size(), name.size() - affixes);
}

// The session-wide name that says an upload into the folder still runs.
std::wstring upload_marker_name(const std::wstring& folder_id, const std::wstring& token) {
    return L"Local\\Calvimora_Upload_" + folder_id + L"_" + token;
}

bool still_sent(const std::wstring& folder_id, const std::wstring& token) {
    HANDLE marker = OpenEventW(SYNCHRONIZE, FALSE, upload_marker_name(folder_id, token).c_str());
    if (!marker) return false;
    CloseHandle(marker);
    return true;
}

// The user's own root and the ordinary folders of the user's own tree,
// outside the trash: nobody else uploads into them.
bool is_own_folder(vfs::directory& folder) {
    return (folder.is_plain_directory() || folder.get_folder_type() == 1) &&
           folder.get_delete_date() == vfs::no_date;
}

// Moves a file a killed host left under its upload name to the trash;
// true when it did.
bool remove_abandoned_upload(vfs::directory& folder, const std::wstring& folder_id,
                             const vfs::item_ptr& child, const std::wstring& name) {
    const std::wstring token = upload_token(name);
    if (token.empty() || still_sent(folder_id, token)) return false;
    folder.delete_item(child, true);
    return true;
}

}  // namespace

std::wstring upload_token(const std::wstring& name) {
    const std::size_t tail = 1 + token_digits + upload_suffix.size();
    if (name.size() < set_aside_prefix.size() + tail ||
        name.compare(0, set_aside_prefix.size(), set_aside_prefix) != 0 ||
        name.compare(name.size() - upload_suffix.size(), upload_suffix.size(), upload_suffix) !=
            0 ||
        name[name.size() - tail] != L'.')
        return L"";
    const std::wstring token = name.substr(name.size() - tail + 1, token_digits);
    return token.find_first_not_of(L"0123456789abcdef") == std::wstring::npos ? token : L"";
}

std::wstring set_aside_name(const std::wstring& name) {
    return set_aside_prefix + name + set_aside_suffix;
}

std::wstring upload_name(const std::wstring& name) {
    static std::mutex lock;
    static std::mt19937 draw{std::random_device{}()};
    unsigned value = 0;
    {
        std::lock_guard<std::mutex> hold(lock);
        value = static_cast<unsigned>(draw());
    }
    wchar_t token[16];
    std::swprintf(token, std::size(token), L".%08x", value);
    const std::wstring suffix = std::wstring(token) + L".uploading";
    const std::size_t room = longest_name - set_aside_prefix.size() - suffix.size();
    return set_aside_prefix + name.substr(0, room) + suffix;
}

set_aside_in_progress::set_aside_in_progress(vfs::directory& folder, const std::wstring& set_aside)
    : name_(set_aside) {
    try {
        folder_id_ = folder.get_id();
    } catch (const vfs::exception&) {
    }
    std::lock_guard<std::mutex> hold(busy().lock);
    busy().entries.emplace_back(folder_id_, name_);
}

set_aside_in_progress::~set_aside_in_progress() {
    std::lock_guard<std::mutex> hold(busy().lock);
    auto& entries = busy().entries;
    const auto mine = std::find(entries.begin(), entries.end(), std::make_pair(folder_id_, name_));
    if (mine != entries.end()) entries.erase(mine);
}

upload_in_progress::upload_in_progress(vfs::directory& folder, const std::wstring& upload_name) {
    try {
        marker_ =
            CreateEventW(nullptr, TRUE, FALSE,
                         upload_marker_name(folder.get_id(), upload_token(upload_name)).c_str());
    } catch (const vfs::exception&) {
        // Without the folder's id nobody can look for it: no repair sees it.
    }
}

upload_in_progress::~upload_in_progress() {
    if (marker_) CloseHandle(marker_);
}

bool repair_set_asides(vfs::directory& folder, const vfs::item_list& children) {
    std::wstring folder_id;
    try {
        folder_id = folder.get_id();
    } catch (const vfs::exception&) {
        return false;
    }
    bool own = false;
    try {
        own = is_own_folder(folder);
    } catch (const vfs::exception&) {
    }
    bool changed = false;
    for (const vfs::item_ptr& child : children) {
        try {
            if (child->get_type() == vfs::item_type_directory) continue;
            const std::wstring name = child->get_name();
            if (own && remove_abandoned_upload(folder, folder_id, child, name)) {
                changed = true;
                continue;
            }
            const std::wstring original = original_of(name);
            if (original.empty() || is_busy(folder_id, name)) continue;
            const auto holder =
                std::find_if(children.begin(), children.end(), [&](const vfs::item_ptr& other) {
                    return other != child && same_name(other->get_name(), original);
                });
            if (holder == children.end()) {
                folder.rename_item(child, original);
                changed = true;
            } else if ((*holder)->get_type() != vfs::item_type_directory) {
                folder.delete_item(child, true);
                changed = true;
            }
        } catch (const vfs::exception&) {
            // Left for the next listing.
        }
    }
    return changed;
}

}  // namespace shell_upload
