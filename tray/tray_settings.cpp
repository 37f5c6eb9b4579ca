#include "tray_settings.h"

#include "win/registry.h"

namespace {

const wchar_t* const settings_key = L"SOFTWARE\\Calvimora";

bool read_dword(const wchar_t* name, DWORD& value) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return false;
    DWORD read = 0;
    DWORD size = sizeof read;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size != sizeof read) return false;
    value = read;
    return true;
}

}  // namespace

bool IsAutoLoginEnabled() {
    DWORD value = 0;
    return read_dword(L"AutoLogin", value) && value != 0;
}

bool ReadAutoShowMgr(DWORD& value) {
    return read_dword(L"AutoShowMgr", value);
}

bool WriteAutoShowMgr(DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return false;
    const LONG status = RegSetValueExW(key, L"AutoShowMgr", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool IsAutoShowEnabled() {
    DWORD value = 0;
    return !ReadAutoShowMgr(value) || value != 0;
}
