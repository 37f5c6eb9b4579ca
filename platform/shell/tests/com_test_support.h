// Registering the test server (com_test_folder) in a test's own machine
// root, and steering it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "win/machine.h"
#include "win/registry.h"
#include "win/shell_folder.h"
#include "win/test_journal.h"

namespace com_test {

// {6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F13}
inline constexpr CLSID folder_class{
    0x6F1E3C52, 0x9B0A, 0x4D7E, {0x8C, 0x11, 0x2A, 0x5B, 0x7D, 0x9E, 0x0F, 0x13}};
inline const std::wstring folder_class_text = L"{6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F13}";
inline const std::wstring computer_text = L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

inline void set_string(HKEY root, const std::wstring& key_name, const wchar_t* value_name,
                       const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(root, key_name.c_str(), &key), ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void set_dword(HKEY root, const std::wstring& key_name, const wchar_t* value_name,
                      DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(root, key_name.c_str(), &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, value_name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// A native path in the system's form, as registration writes it.
inline std::wstring system_form(const std::string& native) {
    std::wstring out(native.begin(), native.end());
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

inline void register_server(const std::wstring& clsid_text, const std::string& path) {
    set_string(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid_text + L"\\InprocServer32", nullptr,
               system_form(path));
}

inline void register_junction(const std::wstring& clsid_text) {
    HKEY key = nullptr;
    const std::wstring name =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\" +
        clsid_text;
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, name.c_str(), &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

// What the test server answers (see com_test_folder.cpp).
inline void steer_folder(const wchar_t* setting, DWORD value) {
    set_dword(HKEY_CURRENT_USER, L"Software\\Calvimora Tests\\Folder", setting, value);
}

// A machine root of its own, COM initialised on the test's thread, and no
// server left loaded afterwards.
class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    win_machine::scoped_root root;
};

}  // namespace com_test
