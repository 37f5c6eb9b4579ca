// The registry calls: key handles, access rights, name paths and the
// conversion between the callers' wide text and the hive's UTF-16LE.
#include "win/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "registry_key_name.h"
#include "registry_store.h"

#include <sys/stat.h>
#include "kernel/wide_text.h"
#include "win/machine.h"

using win_detail::registry_key;
using win_detail::registry_store;
using win_detail::registry_value;

namespace {

enum class hive { current_user, local_machine };

// What a key handle stands for: a path of key names from a hive's root. The
// names are those found in the tree, so a handle keeps pointing at its key
// by name.
struct key_location {
    hive which = hive::current_user;
    std::vector<std::wstring> path;
    REGSAM access = KEY_ALL_ACCESS;
    bool predefined = false;
};

struct registry_state {
    registry_state() { user_store.set_file_mode(S_IRUSR | S_IWUSR); }

    std::mutex lock;  // one call at a time in this process
    // The user's hive holds the saved login: readable by that user only.
    registry_store user_store;
    registry_store machine_store;
    std::unordered_map<uintptr_t, key_location> open_keys;
    uintptr_t next_key = 1;

    registry_store& store(hive which) {
        return which == hive::current_user ? user_store : machine_store;
    }
};

registry_state& state() {
    static auto* s = new registry_state;  // used until the process ends
    return *s;
}

std::string hive_path(hive which) {
    return win_machine::registry_dir() +
           (which == hive::current_user ? "/current_user.hive" : "/local_machine.hive");
}

bool is_string_type(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

REGSAM effective_access(REGSAM requested) {
    if (requested & (MAXIMUM_ALLOWED | GENERIC_ALL)) return KEY_ALL_ACCESS;
    REGSAM access = requested & KEY_ALL_ACCESS;
    if (requested & GENERIC_READ) access |= KEY_READ;
    if (requested & GENERIC_WRITE) access |= KEY_WRITE;
    if (requested & GENERIC_EXECUTE) access |= KEY_EXECUTE;
    return access;
}

// Caller holds the state lock.
std::optional<key_location> resolve(registry_state& s, HKEY key) {
    if (key == HKEY_CURRENT_USER) return key_location{hive::current_user, {}, KEY_ALL_ACCESS, true};
    if (key == HKEY_LOCAL_MACHINE)
        return key_location{hive::local_machine, {}, KEY_ALL_ACCESS, true};
    if (key == HKEY_CLASSES_ROOT)
        return key_location{hive::local_machine, {L"Software", L"Classes"}, KEY_ALL_ACCESS, true};
    const auto id = reinterpret_cast<uintptr_t>(key);
    if (id % 4 != 0) return std::nullopt;
    auto it = s.open_keys.find(id / 4);
    if (it == s.open_keys.end()) return std::nullopt;
    return it->second;
}

HKEY register_key(registry_state& s, key_location location) {
    const uintptr_t id = s.next_key++;
    s.open_keys.emplace(id, std::move(location));
    return reinterpret_cast<HKEY>(id * 4);
}

// A key or value name as the hive keeps it: characters that cannot be
// stored become U+FFFD here already, so names compare alike before and after
// a reload.
std::wstring name_text(LPCWSTR name) {
    return win_detail::from_utf8(win_detail::to_utf8(win_detail::wide_or_empty(name)));
}

// Splits "A\B\C" into its names. A trailing backslash is allowed; a leading
// one or an empty name inside is not.
LONG split_subkey(LPCWSTR subkey, size_t base_depth, std::vector<std::wstring>& names) {
    names.clear();
    const std::wstring text = name_text(subkey);
    if (text.empty()) return ERROR_SUCCESS;
    if (text.front() == L'\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(L'\\', start), text.size());
        if (end == start) return ERROR_BAD_PATHNAME;
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (base_depth + names.size() > win_detail::max_registry_depth) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// Key is registry_key or const registry_key.
template <typename Key>
Key* find_key(Key& root, const std::vector<std::wstring>& path) {
    Key* key = &root;
    for (const auto& name : path) {
        key = key->find_subkey(name);
        if (!key) return nullptr;
    }
    return key;
}

// The key of a handle, or null with the error to report: a predefined root
// whose path is missing has simply no such key yet, an opened key that is
// gone was deleted.
template <typename Key>
Key* find_handle_key(Key& root, const key_location& location, LONG& error) {
    Key* key = find_key(root, location.path);
    if (!key) error = location.predefined ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    return key;
}

// Finds or creates each name below key; appends the names as stored.
registry_key* create_path(registry_key* key, const std::vector<std::wstring>& names,
                          std::vector<std::wstring>& stored_names, bool& created) {
    for (const auto& name : names) {
        registry_key* next = key->find_subkey(name);
        if (!next) {
            auto fresh = std::make_unique<registry_key>();
            fresh->name = name;
            next = fresh.get();
            key->subkeys.emplace(win_detail::fold_registry_name(name), std::move(fresh));
            created = true;
        }
        stored_names.push_back(next->name);
        key = next;
    }
    return key;
}

// The value's data as the caller sees it.
std::vector<BYTE> caller_data(const registry_value& value) {
    if (!is_string_type(value.type)) return value.data;
    const std::wstring text = win_detail::from_utf16le(value.data.data(), value.data.size());
    std::vector<BYTE> out(text.size() * sizeof(wchar_t));
    if (!out.empty()) std::memcpy(out.data(), text.data(), out.size());
    return out;
}

// The caller's data as the hive stores it.
std::vector<BYTE> stored_data(DWORD type, const BYTE* data, DWORD size) {
    if (!data || size == 0) return {};
    if (!is_string_type(type)) return std::vector<BYTE>(data, data + size);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    const std::string bytes = win_detail::to_utf16le(text);
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}

LONG open_key(HKEY key, LPCWSTR subkey, REGSAM access, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> names;
    if (LONG e = split_subkey(subkey, location->path.size(), names); e != ERROR_SUCCESS) return e;

    key_location opened{location->which, location->path, effective_access(access), false};
    const LONG status =
        s.store(location->which)
            .read(hive_path(location->which), [&](const registry_key& root) -> LONG {
                LONG error = ERROR_SUCCESS;
                const registry_key* k = find_handle_key(root, *location, error);
                if (!k) return error;
                for (const auto& name : names) {
                    k = k->find_subkey(name);
                    if (!k) return ERROR_FILE_NOT_FOUND;
                    opened.path.push_back(k->name);
                }
                return ERROR_SUCCESS;
            });
    if (status != ERROR_SUCCESS) return status;
    *result = register_key(s, std::move(opened));
    return ERROR_SUCCESS;
}

LONG create_key(HKEY key, LPCWSTR subkey, REGSAM access, PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> names;
    if (LONG e = split_subkey(subkey, location->path.size(), names); e != ERROR_SUCCESS) return e;

    key_location opened{location->which, {}, effective_access(access), false};
    bool created_leaf = false;
    const LONG status =
        s.store(location->which)
            .update(hive_path(location->which), [&](registry_key& root, bool& changed) -> LONG {
                registry_key* base = find_key(root, location->path);
                if (!base && !location->predefined) return ERROR_KEY_DELETED;
                const bool needs_creation = !base || !find_key(*base, names);
                if (needs_creation && !(location->access & KEY_CREATE_SUB_KEY))
                    return ERROR_ACCESS_DENIED;
                // A predefined root's own path (the classes key) is made on demand.
                registry_key* k = create_path(&root, location->path, opened.path, changed);
                bool created = false;
                create_path(k, names, opened.path, created);
                created_leaf = created && !names.empty();
                changed = changed || created;
                return ERROR_SUCCESS;
            });
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = created_leaf ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = register_key(s, std::move(opened));
    return ERROR_SUCCESS;
}

// RegOpenKeyW and RegCreateKeyW hand back the caller's own handle for an
// empty subkey, as the system does.
LONG same_key(HKEY key, PHKEY result) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!resolve(s, key)) return ERROR_INVALID_HANDLE;
    *result = key;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyW(HKEY key, LPCWSTR subkey, PHKEY result) {
    if (result && (!subkey || !*subkey)) return same_key(key, result);
    return create_key(key, subkey, KEY_ALL_ACCESS, result, nullptr);
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subkey, DWORD reserved, LPWSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (reserved != 0) return ERROR_INVALID_PARAMETER;
    return create_key(key, subkey, access, result, disposition);
}

LONG RegOpenKeyW(HKEY key, LPCWSTR subkey, PHKEY result) {
    if (result && (!subkey || !*subkey)) return same_key(key, result);
    return open_key(key, subkey, KEY_ALL_ACCESS, result);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subkey, DWORD, REGSAM access, PHKEY result) {
    return open_key(key, subkey, access, result);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    if (!(location->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;

    const std::wstring value_name = name_text(name);
    DWORD value_type = REG_NONE;
    std::vector<BYTE> bytes;
    const LONG status =
        s.store(location->which)
            .read(hive_path(location->which), [&](const registry_key& root) -> LONG {
                LONG error = ERROR_SUCCESS;
                const registry_key* k = find_handle_key(root, *location, error);
                if (!k) return error;
                const registry_value* value = k->find_value(value_name);
                if (!value) return ERROR_FILE_NOT_FOUND;
                value_type = value->type;
                bytes = caller_data(*value);
                return ERROR_SUCCESS;
            });
    if (status != ERROR_SUCCESS) return status;

    if (type) *type = value_type;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (!data) {
        if (size) *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, bytes.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
    if (reserved != 0 || (!data && size != 0)) return ERROR_INVALID_PARAMETER;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    if (!(location->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;

    const std::wstring value_name = name_text(name);
    std::vector<BYTE> bytes = stored_data(type, data, size);
    return s.store(location->which)
        .update(hive_path(location->which), [&](registry_key& root, bool& changed) -> LONG {
            LONG error = ERROR_SUCCESS;
            registry_key* k = find_handle_key(root, *location, error);
            if (!k) return error;
            auto [it, inserted] = k->values.try_emplace(win_detail::fold_registry_name(value_name));
            registry_value& value = it->second;
            if (inserted) value.name = value_name;
            if (!inserted && value.type == type && value.data == bytes) return ERROR_SUCCESS;
            value.type = type;
            value.data = std::move(bytes);
            changed = true;
            return ERROR_SUCCESS;
        });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    if (!(location->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;

    const std::wstring folded = win_detail::fold_registry_name(name_text(name));
    return s.store(location->which)
        .update(hive_path(location->which), [&](registry_key& root, bool& changed) -> LONG {
            LONG error = ERROR_SUCCESS;
            registry_key* k = find_handle_key(root, *location, error);
            if (!k) return error;
            if (k->values.erase(folded) == 0) return ERROR_FILE_NOT_FOUND;
            changed = true;
            return ERROR_SUCCESS;
        });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subkey) {
    if (!subkey) return ERROR_INVALID_PARAMETER;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> names;
    if (LONG e = split_subkey(subkey, location->path.size(), names); e != ERROR_SUCCESS) return e;
    // An empty subkey names the key itself; a predefined root stays.
    if (names.empty() && location->predefined) return ERROR_ACCESS_DENIED;

    std::vector<std::wstring> full_path = location->path;
    full_path.insert(full_path.end(), names.begin(), names.end());
    if (full_path.empty()) return ERROR_ACCESS_DENIED;  // a hive's root
    const std::wstring leaf = full_path.back();
    full_path.pop_back();
    return s.store(location->which)
        .update(hive_path(location->which), [&](registry_key& root, bool& changed) -> LONG {
            LONG error = ERROR_SUCCESS;
            if (!find_handle_key(root, *location, error)) return error;
            registry_key* parent = find_key(root, full_path);
            registry_key* doomed = parent ? parent->find_subkey(leaf) : nullptr;
            if (!doomed) return ERROR_FILE_NOT_FOUND;
            if (!doomed->subkeys.empty()) return ERROR_ACCESS_DENIED;
            parent->subkeys.erase(win_detail::fold_registry_name(leaf));
            changed = true;
            return ERROR_SUCCESS;
        });
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const auto id = reinterpret_cast<uintptr_t>(key);
    if (id % 4 != 0 || s.open_keys.erase(id / 4) == 0) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

namespace {

// Copies a name into the caller's buffer as the enumeration calls do.
LONG copy_name(const std::wstring& name, LPWSTR buffer, LPDWORD count) {
    if (!buffer || !count) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *count) {
        *count = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    *count = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Reads the key of a handle with the access it needs.
LONG read_key(HKEY key, REGSAM needed, const std::function<LONG(const registry_key&)>& visit) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    if ((location->access & needed) != needed) return ERROR_ACCESS_DENIED;
    return s.store(location->which)
        .read(hive_path(location->which), [&](const registry_key& root) -> LONG {
            LONG error = ERROR_SUCCESS;
            const registry_key* k = find_handle_key(root, *location, error);
            return k ? visit(*k) : error;
        });
}

}  // namespace

LONG RegDeleteTreeW(HKEY key, LPCWSTR subkey) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto location = resolve(s, key);
    if (!location) return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> names;
    if (LONG e = split_subkey(subkey, location->path.size(), names); e != ERROR_SUCCESS) return e;
    return s.store(location->which)
        .update(hive_path(location->which), [&](registry_key& root, bool& changed) -> LONG {
            LONG error = ERROR_SUCCESS;
            registry_key* base = find_handle_key(root, *location, error);
            if (!base) return error;
            if (names.empty()) {
                changed = !base->values.empty() || !base->subkeys.empty();
                base->values.clear();
                base->subkeys.clear();
                return ERROR_SUCCESS;
            }
            std::vector<std::wstring> parent_path(names.begin(), names.end() - 1);
            registry_key* parent = find_key(*base, parent_path);
            if (!parent || parent->subkeys.erase(win_detail::fold_registry_name(names.back())) == 0)
                return ERROR_FILE_NOT_FOUND;
            changed = true;
            return ERROR_SUCCESS;
        });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_count, LPDWORD reserved,
                   LPWSTR key_class, LPDWORD class_count, LPFILETIME last_write) {
    if (reserved) return ERROR_INVALID_PARAMETER;
    std::wstring found;
    const LONG status = read_key(key, KEY_ENUMERATE_SUB_KEYS, [&](const registry_key& k) -> LONG {
        if (index >= k.subkeys.size()) return ERROR_NO_MORE_ITEMS;
        found = std::next(k.subkeys.begin(), index)->second->name;
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    if (key_class && class_count && *class_count > 0) key_class[0] = L'\0';
    if (class_count) *class_count = 0;
    if (last_write) *last_write = FILETIME{};
    return copy_name(found, name, name_count);
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_count, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size) {
    if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
    std::wstring found;
    DWORD found_type = REG_NONE;
    std::vector<BYTE> bytes;
    const LONG status = read_key(key, KEY_QUERY_VALUE, [&](const registry_key& k) -> LONG {
        if (index >= k.values.size()) return ERROR_NO_MORE_ITEMS;
        const registry_value& value = std::next(k.values.begin(), index)->second;
        found = value.name;
        found_type = value.type;
        bytes = caller_data(value);
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    if (const LONG e = copy_name(found, name, name_count); e != ERROR_SUCCESS) return e;
    if (type) *type = found_type;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (data && *data_size < needed) {
        *data_size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) std::memcpy(data, bytes.data(), needed);
    if (data_size) *data_size = needed;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_count, LPDWORD reserved,
                      LPDWORD subkeys, LPDWORD longest_subkey, LPDWORD longest_class,
                      LPDWORD values, LPDWORD longest_value_name, LPDWORD longest_value_data,
                      LPDWORD security_descriptor, LPFILETIME last_write) {
    if (reserved) return ERROR_INVALID_PARAMETER;
    DWORD subkey_count = 0, value_count = 0, subkey_name = 0, value_name = 0, value_data = 0;
    const LONG status = read_key(key, KEY_QUERY_VALUE, [&](const registry_key& k) -> LONG {
        subkey_count = static_cast<DWORD>(k.subkeys.size());
        value_count = static_cast<DWORD>(k.values.size());
        for (const auto& [folded, sub] : k.subkeys)
            subkey_name = std::max(subkey_name, static_cast<DWORD>(sub->name.size()));
        for (const auto& [folded, value] : k.values) {
            value_name = std::max(value_name, static_cast<DWORD>(value.name.size()));
            value_data = std::max(value_data, static_cast<DWORD>(caller_data(value).size()));
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) return status;
    if (key_class && class_count && *class_count > 0) key_class[0] = L'\0';
    if (class_count) *class_count = 0;
    if (subkeys) *subkeys = subkey_count;
    if (longest_subkey) *longest_subkey = subkey_name;
    if (longest_class) *longest_class = 0;
    if (values) *values = value_count;
    if (longest_value_name) *longest_value_name = value_name;
    if (longest_value_data) *longest_value_data = value_data;
    if (security_descriptor) *security_descriptor = 0;
    if (last_write) *last_write = FILETIME{};
    return ERROR_SUCCESS;
}

namespace win_detail {

std::wstring registry_key_name(HKEY key) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const auto location = resolve(s, key);
    if (!location) return {};
    std::wstring name =
        location->which == hive::current_user ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
    for (const auto& element : location->path) name += L"\\" + element;
    return name;
}

}  // namespace win_detail

namespace win_test {

size_t open_registry_keys() {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.open_keys.size();
}

void set_registry_read_only(HKEY root, bool read_only) {
    registry_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (root == HKEY_CURRENT_USER)
        s.user_store.set_read_only(read_only);
    else if (root == HKEY_LOCAL_MACHINE || root == HKEY_CLASSES_ROOT)
        s.machine_store.set_read_only(read_only);
}

}  // namespace win_test

namespace {

std::wstring value_line(const registry_value& value) {
    static const wchar_t* const type_names[] = {L"REG_NONE", L"REG_SZ", L"REG_EXPAND_SZ",
                                                L"REG_BINARY", L"REG_DWORD"};
    std::wstring type = value.type < 5               ? type_names[value.type]
                        : value.type == REG_MULTI_SZ ? L"REG_MULTI_SZ"
                                                     : L"type " + std::to_wstring(value.type);
    std::wstring line = (value.name.empty() ? L"@" : value.name) + L" = " + type + L" ";
    if (is_string_type(value.type)) {
        std::wstring text = win_detail::from_utf16le(value.data.data(), value.data.size());
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        return line + L"\"" + text + L"\"";
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), 4);
        wchar_t hex[16];
        std::swprintf(hex, 16, L"0x%08X", number);
        return line + hex;
    }
    static const wchar_t digits[] = L"0123456789abcdef";
    for (BYTE b : value.data) {
        line += digits[b >> 4];
        line += digits[b & 0xF];
    }
    return line;
}

void tree_lines(const registry_key& key, const std::wstring& path,
                std::vector<std::wstring>& lines) {
    for (const auto& [folded, value] : key.values)
        lines.push_back((path.empty() ? L"" : path + L": ") + value_line(value));
    for (const auto& [folded, subkey] : key.subkeys) {
        const std::wstring sub_path = path.empty() ? subkey->name : path + L"\\" + subkey->name;
        lines.push_back(sub_path);
        tree_lines(*subkey, sub_path, lines);
    }
}

}  // namespace

namespace win_test {

std::vector<std::wstring> registry_tree(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> lines;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return lines;
    read_key(key, KEY_QUERY_VALUE, [&](const registry_key& k) -> LONG {
        tree_lines(k, L"", lines);
        return ERROR_SUCCESS;
    });
    RegCloseKey(key);
    return lines;
}

}  // namespace win_test
