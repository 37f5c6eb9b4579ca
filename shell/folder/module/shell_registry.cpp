#include "folder/module/shell_registry.h"

#include <cwctype>

namespace shell_utils {

namespace {

bool is_string(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

bool same_text(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

bool RegReadString(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD* type, void* data, DWORD* size) {
    if (!type || !data || !size || *size < sizeof(wchar_t)) return false;
    scoped_key opened;
    HKEY key = root;
    if (subkey) {
        if (RegOpenKeyW(root, subkey, opened.out()) != ERROR_SUCCESS) return false;
        key = opened.get();
    }
    DWORD read = *size;
    if (RegQueryValueExW(key, name, nullptr, type, static_cast<BYTE*>(data), &read) !=
        ERROR_SUCCESS)
        return false;
    if (is_string(*type)) {
        // Any program may store a string without its terminator: one is
        // added after the last whole or partial character, when it fits.
        auto* text = static_cast<wchar_t*>(data);
        const DWORD characters = (read + sizeof(wchar_t) - 1) / sizeof(wchar_t);
        const bool terminated =
            characters > 0 && read % sizeof(wchar_t) == 0 && text[characters - 1] == L'\0';
        if (!terminated) {
            if ((characters + 1) * sizeof(wchar_t) > *size) return false;
            text[characters] = L'\0';
        }
    }
    *size = read;
    return true;
}

bool RegWriteString(HKEY root, LPCWSTR subkey, LPCWSTR name, DWORD type, const void* data,
                    DWORD size) {
    scoped_key created;
    HKEY key = root;
    if (subkey) {
        if (RegCreateKeyW(root, subkey, created.out()) != ERROR_SUCCESS) return false;
        key = created.get();
    }
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool GetPerceivedType(LPCWSTR extension, LPWSTR buffer, DWORD size) {
    if (!extension || !*extension) return false;
    DWORD type = 0;
    return RegReadString(HKEY_CLASSES_ROOT, extension, L"PerceivedType", &type, buffer, &size) &&
           is_string(type);
}

bool IsPerceivedType(const std::wstring& file_name, const std::wstring& type) {
    const size_t dot = file_name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    wchar_t perceived[260 / sizeof(wchar_t)] = {};
    if (!GetPerceivedType(file_name.substr(dot).c_str(), perceived, sizeof perceived)) return false;
    return same_text(perceived, type);
}

bool IsPerceivedAudio(const std::wstring& file_name) {
    return IsPerceivedType(file_name, L"audio");
}

bool IsPerceivedVideo(const std::wstring& file_name) {
    return IsPerceivedType(file_name, L"video");
}

}  // namespace shell_utils
