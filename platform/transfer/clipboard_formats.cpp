// The process's table of registered clipboard formats.
#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "win/clipboard.h"

namespace {

constexpr UINT first_registered = 0xC000;
constexpr UINT last_registered = 0xFFFF;

struct format_table {
    std::mutex lock;
    std::map<std::wstring, UINT> by_folded_name;
    std::vector<std::wstring> names;  // index: number - first_registered
};

format_table& table() {
    static auto* t = new format_table;  // used until the process ends
    return *t;
}

std::wstring folded(const std::wstring& name) {
    std::wstring out = name;
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

}  // namespace

UINT RegisterClipboardFormatW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring text = name;
    format_table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto [slot, added] = t.by_folded_name.try_emplace(folded(text), 0);
    if (!added) return slot->second;
    const UINT number = first_registered + static_cast<UINT>(t.names.size());
    if (number > last_registered) {
        t.by_folded_name.erase(slot);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    t.names.push_back(text);
    slot->second = number;
    return number;
}

int GetClipboardFormatNameW(UINT format, LPWSTR name, int max_count) {
    format_table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (format < first_registered || format - first_registered >= t.names.size() || !name ||
        max_count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring& text = t.names[format - first_registered];
    const size_t length = std::min(text.size(), static_cast<size_t>(max_count - 1));
    text.copy(name, length);
    name[length] = L'\0';
    return static_cast<int>(length);
}
