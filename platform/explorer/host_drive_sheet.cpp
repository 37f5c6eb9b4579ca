#include "host_drive_sheet.h"

#include <string>

#include "win/com.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/shell_folder2.h"

namespace shell_host {

namespace {

// The folder's name under Computer, as the file manager shows it: its
// sheet is titled with it, as every item's sheet is with the item's name.
// Empty when the shell does not know the folder.
std::wstring junction_name(const std::wstring& clsid_text) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return {};
    wchar_t computer[40] = {};
    StringFromGUID2(CLSID_MyComputer, computer, static_cast<int>(std::size(computer)));
    std::wstring path = std::wstring(L"::") + computer + L"\\::" + clsid_text;
    PIDLIST_RELATIVE list = nullptr;
    std::wstring name;
    if (SUCCEEDED(
            desktop->ParseDisplayName(nullptr, nullptr, path.data(), nullptr, &list, nullptr))) {
        STRRET shown{};
        LPWSTR text = nullptr;
        if (SUCCEEDED(desktop->GetDisplayNameOf(list, SHGDN_NORMAL, &shown)) &&
            SUCCEEDED(StrRetToStrW(&shown, list, &text))) {
            name = text;
            CoTaskMemFree(text);
        }
    }
    CoTaskMemFree(list);
    desktop->Release();
    return name;
}

}  // namespace

HRESULT open_drive_sheet(REFCLSID junction) {
    wchar_t name[64] = {};
    if (StringFromGUID2(junction, name, static_cast<int>(std::size(name))) == 0)
        return E_INVALIDARG;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + name).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    const std::wstring caption = junction_name(name);
    const BOOL shown =
        SHOpenPropSheetW(caption.c_str(), &key, 1, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return shown ? S_OK : E_FAIL;
}

}  // namespace shell_host
