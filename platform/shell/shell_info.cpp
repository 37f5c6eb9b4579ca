// Type names of files from the registry's file types, special folders, and
// the item-id lists of shell objects.
#include "win/shell_info.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>

#include "system_objects.h"
#include "win/file.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/shell_command.h"

namespace {

std::wstring type_name_of(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return L"File folder";
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot + 1 == name.size()) return L"File";
    const std::wstring extension = name.substr(dot);
    const std::wstring registered = win_shell::class_default(win_shell::class_default(extension));
    if (!registered.empty()) return registered;
    std::wstring upper = extension.substr(1);
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    return upper + L" File";
}

}  // namespace

std::wstring win_shell::class_default(const std::wstring& name) {
    HKEY key = nullptr;
    if (name.empty() ||
        RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);  // room kept for the terminator
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    return std::wstring(buffer, wcsnlen(buffer, MAX_PATH));
}

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT info_size,
                         UINT flags) {
    constexpr UINT known = SHGFI_TYPENAME | SHGFI_ICONLOCATION | SHGFI_ICON | SHGFI_SMALLICON |
                           SHGFI_OPENICON | SHGFI_USEFILEATTRIBUTES;
    if (!path || !info || info_size != sizeof(SHFILEINFOW) || (flags & ~known) ||
        !(flags & SHGFI_USEFILEATTRIBUTES) ||
        !(flags & (SHGFI_TYPENAME | SHGFI_ICONLOCATION | SHGFI_ICON)))
        return 0;
    if (flags & SHGFI_TYPENAME) {
        const std::wstring name = type_name_of(path, attributes);
        const size_t length = std::min<size_t>(name.size(), std::size(info->szTypeName) - 1);
        name.copy(info->szTypeName, length);
        info->szTypeName[length] = L'\0';
    }
    if ((flags & (SHGFI_ICONLOCATION | SHGFI_ICON)) &&
        !win_shell::file_icon_info(path, attributes, *info, flags))
        return 0;
    return 1;
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create) {
    if (FAILED(SHGetFolderPathW(owner, folder, nullptr, SHGFP_TYPE_CURRENT, path))) return FALSE;
    if (create && !CreateDirectoryW(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return FALSE;
    return TRUE;
}

STDAPI SHGetIDListFromObject(IUnknown* object, PIDLIST_ABSOLUTE* list) {
    if (!object || !list) return E_INVALIDARG;
    *list = nullptr;
    // A shell item names itself; a folder names the folder it shows.
    IPersistIDList* item = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IPersistIDList, reinterpret_cast<void**>(&item)))) {
        const HRESULT result = item->GetIDList(list);
        item->Release();
        return result;
    }
    IPersistFolder2* folder = nullptr;
    if (FAILED(object->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&folder))))
        return E_NOINTERFACE;
    const HRESULT result = folder->GetCurFolder(list);
    folder->Release();
    return result;
}
