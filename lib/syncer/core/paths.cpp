#include "syncer/core/paths.h"

#include <algorithm>
#include <string_view>

#include "win/file.h"

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

// Reads the elements of a path one by one, without copying: a leading
// separator is a root element "/", runs of separators separate names, and a
// trailing separator adds a final "." element.
class element_reader {
public:
    // From the start of the path, or from an element boundary within it
    // (just after a separator), where no root element is read.
    explicit element_reader(std::wstring_view path, std::size_t from = 0) : path_(path), at_(from) {
        if (from == 0 && !path_.empty() && is_separator(path_[0])) pending_ = L"/";
        skip_separators();
        // Only separators after a name: the final "." of that name.
        if (from > 0 && at_ == path_.size() &&
            std::any_of(path_.begin(), path_.begin() + static_cast<std::ptrdiff_t>(from),
                        [](wchar_t c) { return !is_separator(c); }))
            pending_ = L".";
    }

    // The next element; false after the last.
    bool next(std::wstring_view& element) {
        if (!pending_.empty()) {
            element = pending_;
            pending_ = {};
            return true;
        }
        if (at_ >= path_.size()) return false;
        const std::size_t start = at_;
        while (at_ < path_.size() && !is_separator(path_[at_])) ++at_;
        element = path_.substr(start, at_ - start);
        const std::size_t name_end = at_;
        skip_separators();
        if (at_ == path_.size() && name_end < at_) pending_ = L".";
        return true;
    }

private:
    void skip_separators() {
        while (at_ < path_.size() && is_separator(path_[at_])) ++at_;
    }

    std::wstring_view path_;
    std::size_t at_ = 0;
    std::wstring_view pending_;
};

}  // namespace

bool paths_equal(const std::wstring& first, const std::wstring& second) {
    return first.size() == second.size() &&
           std::equal(first.begin(), first.end(), second.begin(), [](wchar_t a, wchar_t b) {
               return a == b || (is_separator(a) && is_separator(b));
           });
}

int compare_paths(const std::wstring& first, const std::wstring& second) {
    // Most paths compared are equal (the folders of the files of one folder).
    if (first == second) return 0;
    // The elements before the first difference (separators alike) are the
    // same in both: the comparison starts at the element that holds it.
    const std::size_t common = std::min(first.size(), second.size());
    std::size_t differ = 0;
    while (differ < common && (first[differ] == second[differ] ||
                               (is_separator(first[differ]) && is_separator(second[differ]))))
        ++differ;
    std::size_t element_start = differ;
    while (element_start > 0 && !is_separator(first[element_start - 1])) --element_start;
    element_reader mine(first, element_start);
    element_reader theirs(second, element_start);
    for (;;) {
        std::wstring_view my_element;
        std::wstring_view their_element;
        const bool have_mine = mine.next(my_element);
        const bool have_theirs = theirs.next(their_element);
        if (!have_mine || !have_theirs) return have_mine == have_theirs ? 0 : (have_mine ? 1 : -1);
        if (const int order = my_element.compare(their_element); order != 0) return order;
    }
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

boost::filesystem::path native_local_path(const std::wstring& path) {
    return boost::filesystem::path(win_file::native_path(path));
}

}  // namespace syncer
