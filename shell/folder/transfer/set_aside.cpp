#include "folder/transfer/set_aside.h"

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

namespace shell_upload {

namespace {

const std::wstring set_aside_prefix = L"~";
const std::wstring set_aside_suffix = L".replaced";
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

}  // namespace

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

bool repair_set_asides(vfs::directory& folder, const vfs::item_list& children) {
    std::wstring folder_id;
    try {
        folder_id = folder.get_id();
    } catch (const vfs::exception&) {
        return false;
    }
    bool changed = false;
    for (const vfs::item_ptr& child : children) {
        try {
            if (child->get_type() == vfs::item_type_directory) continue;
            const std::wstring name = child->get_name();
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
