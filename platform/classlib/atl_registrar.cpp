// The registrar: scripts written into and removed from the registry.
#include "win/atl_registrar.h"

#include <cwctype>

#include "kernel/wide_text.h"
#include "registry/registry_script.h"
#include "win/resources.h"

using win_detail::script_key;
using win_detail::script_key_kind;
using win_detail::script_value;

namespace {

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// Closes a key when it goes.
class open_key {
public:
    open_key() = default;
    ~open_key() {
        if (key_) RegCloseKey(key_);
    }
    open_key(const open_key&) = delete;
    open_key& operator=(const open_key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool set_value(HKEY key, const script_value& value) {
    return RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                          value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool write_key(HKEY parent, const script_key& key) {
    if (key.kind == script_key_kind::recreated) {
        const LONG removed = RegDeleteTreeW(parent, key.name.c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) return false;
    }
    open_key created;
    if (RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, created.out(), nullptr) != ERROR_SUCCESS)
        return false;
    if (key.default_value && !set_value(created.get(), *key.default_value)) return false;
    for (const script_value& value : key.values)
        if (!set_value(created.get(), value)) return false;
    for (const script_key& subkey : key.subkeys)
        if (!write_key(created.get(), subkey)) return false;
    return true;
}

bool remove_value(HKEY key, const std::wstring& name) {
    const LONG status = RegDeleteValueW(key, name.empty() ? nullptr : name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool is_empty(HKEY key) {
    DWORD subkeys = 0, values = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

bool remove_key(HKEY parent, const script_key& key) {
    if (key.kind == script_key_kind::recreated) {
        const LONG removed = RegDeleteTreeW(parent, key.name.c_str());
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
    }
    bool empty = false;
    {
        open_key opened;
        const LONG status =
            RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_ALL_ACCESS, opened.out());
        if (status == ERROR_FILE_NOT_FOUND) return true;
        if (status != ERROR_SUCCESS) return false;
        for (const script_key& subkey : key.subkeys)
            if (!remove_key(opened.get(), subkey)) return false;
        for (const script_value& value : key.values)
            if (!remove_value(opened.get(), value.name)) return false;
        if (key.kind == script_key_kind::kept) return true;
        if (key.default_value && !remove_value(opened.get(), L"")) return false;
        empty = is_empty(opened.get());
    }
    if (!empty) return true;
    const LONG deleted = RegDeleteKeyW(parent, key.name.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HRESULT CRegObject::AddReplacement(LPCOLESTR name, LPCOLESTR text) {
    if (!name || !*name || !text) return E_INVALIDARG;
    replacements_[upper(name)] = text;
    return S_OK;
}

HRESULT CRegObject::ClearReplacements() {
    replacements_.clear();
    return S_OK;
}

HRESULT CRegObject::StringRegister(LPCOLESTR script) {
    return script ? run(script, true) : E_INVALIDARG;
}

HRESULT CRegObject::StringUnregister(LPCOLESTR script) {
    return script ? run(script, false) : E_INVALIDARG;
}

HRESULT CRegObject::ResourceRegister(HMODULE module, UINT id, LPCOLESTR type) {
    return run_resource(module, id, type, true);
}

HRESULT CRegObject::ResourceUnregister(HMODULE module, UINT id, LPCOLESTR type) {
    return run_resource(module, id, type, false);
}

HRESULT CRegObject::run_resource(HMODULE module, UINT id, LPCOLESTR type, bool do_register) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) return HRESULT_FROM_WIN32(GetLastError());
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    if (!bytes && size) return E_FAIL;
    return run(win_detail::from_utf8(std::string_view(bytes ? bytes : "", size)), do_register);
}

HRESULT CRegObject::run(const std::wstring& script, bool do_register) {
    const auto roots = win_detail::parse_registry_script(
        script, [this](const std::wstring& name) -> std::optional<std::wstring> {
            const auto found = replacements_.find(upper(name));
            if (found == replacements_.end()) return std::nullopt;
            return found->second;
        });
    if (!roots) return DISP_E_EXCEPTION;
    for (const win_detail::script_root& root : *roots)
        for (const script_key& key : root.keys)
            if (!(do_register ? write_key(root.root, key) : remove_key(root.root, key)))
                return E_FAIL;
    return S_OK;
}
