#include "syncer/paths.h"

#include <algorithm>
#include <vector>

namespace syncer {

namespace {

bool is_separator(wchar_t character) {
    return character == L'/' || character == L'\\';
}

// The position just after the last character that is not a separator; 0 for
// a path made only of separators.
std::size_t end_of_names(const std::wstring& path) {
    std::size_t end = path.size();
    while (end > 0 && is_separator(path[end - 1])) --end;
    return end;
}

std::vector<std::wstring> elements(const std::wstring& path) {
    std::vector<std::wstring> result;
    std::size_t at = 0;
    if (!path.empty() && is_separator(path[0])) {
        result.emplace_back(L"/");
        while (at < path.size() && is_separator(path[at])) ++at;
    }
    while (at < path.size()) {
        const std::size_t start = at;
        while (at < path.size() && !is_separator(path[at])) ++at;
        result.push_back(path.substr(start, at - start));
        const std::size_t separators = at;
        while (at < path.size() && is_separator(path[at])) ++at;
        if (at == path.size() && separators < at) result.emplace_back(L".");
    }
    return result;
}

}  // namespace

bool paths_equal(const std::wstring& first, const std::wstring& second) {
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(), [](wchar_t a, wchar_t b) {
               return a == b || (is_separator(a) && is_separator(b));
           });
}

int compare_paths(const std::wstring& first, const std::wstring& second) {
    const auto mine = elements(first);
    const auto theirs = elements(second);
    const std::size_t common = std::min(mine.size(), theirs.size());
    for (std::size_t index = 0; index < common; ++index) {
        if (const int order = mine[index].compare(theirs[index]); order != 0) return order;
    }
    if (mine.size() == theirs.size()) return 0;
    return mine.size() < theirs.size() ? -1 : 1;
}

std::wstring parent_path(const std::wstring& path) {
    const std::size_t names_end = end_of_names(path);
    if (names_end == 0) return path;
    const std::wstring names = path.substr(0, names_end);
    const std::size_t last_separator = names.find_last_of(L"/\\");
    if (last_separator == std::wstring::npos) return L"";
    const std::size_t parent_end = end_of_names(names.substr(0, last_separator));
    if (parent_end == 0) return names.substr(0, 1);
    std::wstring parent = names.substr(0, parent_end);
    // A drive keeps its root separator, as "C:\" is the folder above "C:\a".
    if (parent.back() == L':') parent += names[parent_end];
    return parent;
}

std::wstring leaf_name(const std::wstring& path) {
    const std::wstring names = path.substr(0, end_of_names(path));
    const std::size_t last_separator = names.find_last_of(L"/\\");
    return last_separator == std::wstring::npos ? names : names.substr(last_separator + 1);
}

std::wstring join_path(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (is_separator(folder.back())) return folder + name;
    return folder + L"/" + name;
}

std::wstring relative_path(const std::wstring& path, const std::wstring& folder) {
    std::wstring result;
    std::size_t at = std::min(end_of_names(folder), path.size());
    while (at < path.size()) {
        while (at < path.size() && is_separator(path[at])) ++at;
        const std::size_t start = at;
        while (at < path.size() && !is_separator(path[at])) ++at;
        if (at == start) break;
        if (!result.empty()) result += L'/';
        result.append(path, start, at - start);
    }
    return result;
}

bool is_plain_name(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(std::wstring(L"/\\\0", 3)) == std::wstring::npos;
}

}  // namespace syncer
