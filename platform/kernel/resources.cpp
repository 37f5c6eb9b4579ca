// The process-wide resource table: (module, type, name) -> bytes.
#include "win/resources.h"

#include <cwctype>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "win/process.h"

namespace {

// A type or name: an id, or a string kept in upper case (the system's way of
// making names match without regard to case).
struct resource_key {
    WORD id = 0;
    std::wstring text;

    bool operator<(const resource_key& other) const {
        return std::tie(id, text) < std::tie(other.id, other.text);
    }
};

bool make_key(LPCWSTR value, resource_key& key) {
    if (!value) return false;
    if (IS_INTRESOURCE(value)) {
        key.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value));
        return key.id != 0;
    }
    for (const wchar_t* c = value; *c; ++c) key.text.push_back(std::towupper(*c));
    return !key.text.empty();
}

struct resource {
    const void* bytes;
    size_t size;
};

using table_key = std::tuple<HMODULE, resource_key, resource_key>;

struct table {
    std::mutex lock;
    // The records never move, so an HRSRC (a record's address) stays valid.
    std::map<table_key, std::unique_ptr<resource>> resources;
};

table& the_table() {
    static table* t = new table;  // outlives static destructors of other units
    return *t;
}

HMODULE module_or_executable(HMODULE module) {
    return module ? module : GetModuleHandleW(nullptr);
}

// The record behind a handle that this table handed out.
const resource* find_record(table& t, HRSRC handle) {
    for (const auto& [key, record] : t.resources)
        if (reinterpret_cast<HRSRC>(record.get()) == handle) return record.get();
    return nullptr;
}

}  // namespace

namespace win_resources {

bool register_resource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* bytes, size_t size) {
    resource_key type_key, name_key;
    if (!make_key(type, type_key) || !make_key(name, name_key) || (!bytes && size != 0))
        return false;
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto& record = t.resources[{module_or_executable(module), type_key, name_key}];
    if (record)
        *record = {bytes, size};
    else
        record = std::make_unique<resource>(resource{bytes, size});
    return true;
}

void forget_module(HMODULE module) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const HMODULE owner = module_or_executable(module);
    for (auto it = t.resources.begin(); it != t.resources.end();)
        it = std::get<0>(it->first) == owner ? t.resources.erase(it) : std::next(it);
}

}  // namespace win_resources

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    resource_key type_key, name_key;
    if (!make_key(type, type_key)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!make_key(name, name_key)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const HMODULE owner = module_or_executable(module);
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.resources.find({owner, type_key, name_key});
    if (it != t.resources.end()) return reinterpret_cast<HRSRC>(it->second.get());
    // Tell a missing type from a missing name, as the system does.
    auto first_of_type = t.resources.lower_bound({owner, type_key, resource_key{}});
    const bool type_known = first_of_type != t.resources.end() &&
                            std::get<0>(first_of_type->first) == owner &&
                            !(type_key < std::get<1>(first_of_type->first)) &&
                            !(std::get<1>(first_of_type->first) < type_key);
    SetLastError(type_known ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC handle) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const resource* record = find_record(t, handle);
    if (!record) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(record->bytes);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC handle) {
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const resource* record = find_record(t, handle);
    if (!record) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(record->size);
}
