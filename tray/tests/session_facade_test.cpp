// The session facade over the real client: failures look logged out, and
// opening the virtual folder goes through the shell's namespace when
// nobody is logged in.
#include "session_facade.h"

#include "tray_error.h"
#include "tray_test_support.h"
#include "win/process.h"
#include "win/registry.h"

namespace tray_testing {
namespace {

const std::wstring folder_name =
    L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}";

void set_string(HKEY root, const std::wstring& path, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(root, path.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void steer_folder(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Calvimora Tray Tests", &key),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

DWORD enumerations() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"Software\\Calvimora Tray Tests", &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0, size = sizeof value;
    RegQueryValueExW(key, L"Enumerated", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

std::wstring failure_of_opening(CSessionFacade& session) {
    try {
        session.OpenCalvimoraFolder(L"");
    } catch (const CTrayError& failure) {
        return failure.Text();
    }
    return L"";
}

class SessionFacade : public TrayTest {
protected:
    void register_folder() {
        std::wstring module;
        for (const char c : std::string(TRAY_TEST_FOLDER)) module += c == '/' ? L'\\' : wchar_t(c);
        set_string(HKEY_CLASSES_ROOT,
                   L"CLSID\\{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}\\InprocServer32", module);
        set_string(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace"
                   L"\\{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}",
                   L"Calvimora");
    }

    held_tray_mutex tray_mutex_;
    CSessionFacade session_{GetModuleHandleW(nullptr)};
};

TEST_F(SessionFacade, TheClientsFailuresLookLoggedOut) {
    // No session handler runs: nobody is logged in and nothing can be had.
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_EQ(session_.GetUserInfo(), L"");
    EXPECT_TRUE(session_.GetNotifications().empty());
    session_.LogOff();
}

TEST_F(SessionFacade, LoggedOutTheFolderIsEnumeratedAndOpenedWhenThatSucceeds) {
    register_folder();
    win_test::clear_shell_executions();
    session_.OpenCalvimoraFolder(L"");
    EXPECT_EQ(enumerations(), 1u);
    const std::vector<win_test::shell_execution> opened = win_test::shell_executions();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].verb, "open");
    EXPECT_EQ(opened[0].file, std::string(folder_name.begin(), folder_name.end()));
    EXPECT_EQ(opened[0].show, SW_SHOWNORMAL);

    // The login the enumeration asked for was refused: nothing opens.
    steer_folder(L"EnumObjects", static_cast<DWORD>(E_ACCESSDENIED));
    session_.OpenCalvimoraFolder(L"");
    EXPECT_EQ(enumerations(), 2u);
    EXPECT_EQ(win_test::shell_executions().size(), 1u);
}

TEST_F(SessionFacade, AFolderThatCannotBeReachedIsReported) {
    EXPECT_EQ(failure_of_opening(session_), L"Error taking Calvimora PIDL") << "not registered";

    register_folder();
    set_string(HKEY_CLASSES_ROOT, L"CLSID\\{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}\\InprocServer32",
               L"\\nowhere\\Calvimora.so");
    EXPECT_EQ(failure_of_opening(session_), L"Error binding to Calvimora");
    EXPECT_TRUE(win_test::shell_executions().empty());
}

}  // namespace
}  // namespace tray_testing
