#include "host_drive_sheet.h"

#include <string>

#include "win/com.h"
#include "win/registry.h"
#include "win/shell.h"

namespace shell_host {

HRESULT open_drive_sheet(REFCLSID junction) {
    wchar_t name[64] = {};
    if (StringFromGUID2(junction, name, static_cast<int>(std::size(name))) == 0)
        return E_INVALIDARG;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + name).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return REGDB_E_CLASSNOTREG;
    const BOOL shown = SHOpenPropSheetW(nullptr, &key, 1, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return shown ? S_OK : E_FAIL;
}

}  // namespace shell_host
