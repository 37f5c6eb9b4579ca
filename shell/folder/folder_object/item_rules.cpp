#include "folder/folder_object/item_rules.h"

#include <cwctype>
#include <string>

#include "folder/module/host_process.h"
#include "win/kernel.h"

namespace folder_rules {

namespace {

constexpr size_t name_units = 260;
constexpr size_t type_units = 80;

int sign(long long value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

std::wstring lower_name(const PIDLDATA& record) {
    std::wstring name = pidl_name(record).substr(0, name_units);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

// The sign of the first differing character; a text that ends first is the
// smaller.
int compare_text(const std::wstring& a, const std::wstring& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i)
        if (a[i] != b[i]) return sign(static_cast<long long>(a[i]) - b[i]);
    return sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

bool is_folder(const PIDLDATA& record) {
    return record.type == 1;
}

}  // namespace

bool in_other_host() {
    return shell_utils::ClassifyProcess(GetCurrentProcessId()) != shell_utils::host_explorer;
}

SFGAOF attributes_of(const PIDLDATA& record, bool other_host) {
    const bool fixed = record.is_fixed_folder != 0;
    const bool deleted = record.date_deleted != -1.0;
    SFGAOF bits = SFGAO_HASPROPSHEET;
    if (!fixed) bits |= SFGAO_CANDELETE;
    if (!fixed && !deleted) bits |= SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME;
    if (is_folder(record)) {
        if (other_host) bits |= SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_STORAGE;
        if (!deleted) {
            bits |= SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_DROPTARGET;
            if (record.is_shared) bits |= SFGAO_SHARE;
            if (record.has_subfolders) bits |= SFGAO_HASSUBFOLDER;
        }
    } else {
        if (other_host) bits |= SFGAO_FILESYSTEM;
        bits |= SFGAO_STREAM;
    }
    return bits;
}

int compare(LPARAM lparam, const std::vector<PIDLDATA>& first,
            const std::vector<PIDLDATA>& second) {
    if (first.empty() || second.empty())
        return first.empty() == second.empty() ? 0 : (first.empty() ? 1 : -1);
    if (lparam & SHCIDS_CANONICALONLY) {
        if (first.size() != second.size()) return first.size() > second.size() ? -1 : 1;
        for (size_t level = 0; level < first.size(); ++level) {
            const int order = compare_text(lower_name(first[level]), lower_name(second[level]));
            if (order != 0) return order;
        }
        return 0;
    }
    const PIDLDATA& a = first.back();
    const PIDLDATA& b = second.back();
    if (is_folder(a) != is_folder(b)) return is_folder(a) ? -1 : 1;
    switch (lparam & 0xFF) {
        case 0:
            return compare_text(lower_name(a), lower_name(b));
        case 1:
            return compare_text(pidl_type_name(a).substr(0, type_units),
                                pidl_type_name(b).substr(0, type_units));
        case 2:
            return a.size == b.size ? 0 : (a.size > b.size ? 1 : -1);
        default:
            return 0;
    }
}

HRESULT compare_result(int order) {
    const WORD code = order < 0 ? 0xFFFF : (order > 0 ? 1 : 0);
    return static_cast<HRESULT>(code);
}

}  // namespace folder_rules
