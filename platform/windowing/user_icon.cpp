// Icon handles: a module icon resource per handle, or a shared standard
// icon.
#include "win/user_icon.h"

#include <mutex>
#include <unordered_map>

namespace {

constexpr int first_standard = 32512;
constexpr int last_standard = 32518;

struct icon_record {
    HMODULE module = nullptr;
    int id = 0;  // 0 for a named resource
};

struct icon_table {
    std::mutex lock;
    std::unordered_map<HICON, icon_record> live;
};

icon_table& icons() {
    static auto* t = new icon_table;  // used until the process ends
    return *t;
}

// The shared standard icons are the addresses of these.
char standard_icons[last_standard - first_standard + 1];

int standard_id(HICON icon) {
    const auto* at = reinterpret_cast<const char*>(icon);
    if (at < standard_icons || at >= standard_icons + sizeof standard_icons) return 0;
    return first_standard + static_cast<int>(at - standard_icons);
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
        if (id >= first_standard && id <= last_standard)
            return reinterpret_cast<HICON>(&standard_icons[id - first_standard]);
    }
    if (!FindResourceW(instance, name, RT_GROUP_ICON)) return nullptr;
    auto* icon = reinterpret_cast<HICON>(new char);
    icon_record record{instance, 0};
    if (IS_INTRESOURCE(name)) record.id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    std::lock_guard<std::mutex> guard(icons().lock);
    icons().live[icon] = record;
    return icon;
}

BOOL DestroyIcon(HICON icon) {
    if (standard_id(icon)) return TRUE;
    {
        std::lock_guard<std::mutex> guard(icons().lock);
        if (icons().live.erase(icon) == 0) {
            SetLastError(ERROR_INVALID_ICON_HANDLE);
            return FALSE;
        }
    }
    delete reinterpret_cast<char*>(icon);
    return TRUE;
}

namespace win_icons {

int resource_id(HICON icon) {
    if (const int id = standard_id(icon)) return id;
    std::lock_guard<std::mutex> guard(icons().lock);
    const auto found = icons().live.find(icon);
    return found == icons().live.end() ? 0 : found->second.id;
}

int live_icons() {
    std::lock_guard<std::mutex> guard(icons().lock);
    return static_cast<int>(icons().live.size());
}

}  // namespace win_icons
