// Type library registration: the library's and its interfaces' keys.
#include "win/atl_typelib.h"

#include <cwchar>

#include "com/com_internal.h"
#include "win/registry.h"

namespace win_atl {

namespace {

std::wstring hex(unsigned value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%x", value);
    return text;
}

std::wstring version_of(const type_library& library) {
    return hex(library.major) + L"." + hex(library.minor);
}

bool set_string(const std::wstring& key_name, const wchar_t* value_name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status =
        RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool deleted(LONG status) {
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HRESULT register_type_library(const type_library& library, const std::wstring& module_path) {
    const size_t slash = module_path.rfind(L'\\');
    if (slash == std::wstring::npos) return E_INVALIDARG;
    const std::wstring libid = win_com::guid_text(library.libid);
    const std::wstring version_key = L"TypeLib\\" + libid + L"\\" + version_of(library);
    const std::wstring marshaller = win_com::guid_text(automation_marshaller);
    bool written =
        set_string(version_key, nullptr, library.help_string) &&
        set_string(version_key + L"\\" + hex(library.locale) + L"\\win32", nullptr, module_path) &&
        set_string(version_key + L"\\FLAGS", nullptr, L"0") &&
        set_string(version_key + L"\\HELPDIR", nullptr, module_path.substr(0, slash));
    for (const type_library_interface& entry : library.interfaces) {
        if (!written) break;
        const std::wstring key = L"Interface\\" + win_com::guid_text(entry.iid);
        written = set_string(key, nullptr, entry.name) &&
                  set_string(key + L"\\ProxyStubClsid", nullptr, marshaller) &&
                  set_string(key + L"\\ProxyStubClsid32", nullptr, marshaller) &&
                  set_string(key + L"\\TypeLib", nullptr, libid) &&
                  set_string(key + L"\\TypeLib", L"Version", version_of(library));
    }
    return written ? S_OK : E_FAIL;
}

HRESULT unregister_type_library(const type_library& library) {
    for (const type_library_interface& entry : library.interfaces) {
        const std::wstring key = L"Interface\\" + win_com::guid_text(entry.iid);
        if (!deleted(RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()))) return E_FAIL;
    }
    const std::wstring library_key = L"TypeLib\\" + win_com::guid_text(library.libid);
    if (!deleted(
            RegDeleteTreeW(HKEY_CLASSES_ROOT, (library_key + L"\\" + version_of(library)).c_str())))
        return E_FAIL;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, library_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return S_OK;
    DWORD subkeys = 0;
    const LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && subkeys == 0 &&
        !deleted(RegDeleteTreeW(HKEY_CLASSES_ROOT, library_key.c_str())))
        return E_FAIL;
    return S_OK;
}

}  // namespace win_atl
