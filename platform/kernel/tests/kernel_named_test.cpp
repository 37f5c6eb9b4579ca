#include <dirent.h>

#include <string>
#include <vector>

#include "kernel_test_support.h"

namespace {

using kernel_test::KernelTest;

// Files in the session folder other than the namespace's own lock.
std::vector<std::string> object_files() {
    std::vector<std::string> names;
    DIR* dir = opendir(win_machine::session_dir().c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != ".namespace.lock") names.push_back(name);
    }
    closedir(dir);
    return names;
}

using NamedObjects = KernelTest;

TEST_F(NamedObjects, CreatingAnExistingNameOpensItAndSaysSo) {
    SetLastError(ERROR_ALREADY_EXISTS);  // a stale code must not survive a fresh create
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, L"Local\\Calvimora_Event_LogOff");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    // The second create's own arguments do not matter: it is the same event.
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"Local\\Calvimora_Event_LogOff");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(second));
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);  // manual-reset, as first made

    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(NamedObjects, LocalGlobalAndBareNamesMeetInOneNamespace) {
    HANDLE local = CreateMutexW(nullptr, FALSE, L"Local\\CMV_LOGIN_MUTEX");
    HANDLE global = CreateMutexW(nullptr, FALSE, L"Global\\CMV_LOGIN_MUTEX");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE bare = OpenMutexW(SYNCHRONIZE, FALSE, L"CMV_LOGIN_MUTEX");
    ASSERT_NE(bare, nullptr);
    CloseHandle(local);
    CloseHandle(global);
    CloseHandle(bare);
}

TEST_F(NamedObjects, ANameHeldByAnotherKindFails) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\shared name");
    ASSERT_NE(mutex, nullptr);

    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, L"Local\\shared name"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024,
                                 L"Local\\shared name"),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Local\\shared name"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // The mutex is unharmed.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(NamedObjects, VanishWithTheLastHandleAndLeaveNoFiles) {
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE created = CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    ASSERT_NE(opened, nullptr);
    CloseHandle(created);
    HANDLE again = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    ASSERT_NE(again, nullptr);  // one handle was still open
    CloseHandle(opened);
    CloseHandle(again);

    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(object_files().empty());

    HANDLE fresh = CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(fresh);
}

TEST_F(NamedObjects, NamesWithUserNamesAndOddCharactersStayApart) {
    const std::vector<std::wstring> names = {
        L"Local\\Calvimora_bindings_José Ñ/x",
        L"Local\\Calvimora_bindings_Jose N/x",
        L"Local\\Calvimora_bindings_José Ñ\\x",
        L"Local\\Calvimora_bindings_José Ñ%2Fx",
        L"Local\\Calvimora_bindings_josé ñ/x",  // names are case-sensitive
        L"Local\\用户_bindings_mutex",
        L"Local\\" + std::wstring(300, L'a') + L"1",
        L"Local\\" + std::wstring(300, L'a') + L"2",
    };
    std::vector<HANDLE> handles;
    for (const std::wstring& name : names) {
        handles.push_back(CreateMutexW(nullptr, FALSE, name.c_str()));
        ASSERT_NE(handles.back(), nullptr) << testing::PrintToString(name);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS))
            << testing::PrintToString(name);
    }
    for (const std::wstring& name : names) {
        HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
        EXPECT_NE(opened, nullptr) << testing::PrintToString(name);
        CloseHandle(opened);
    }
    for (HANDLE handle : handles) CloseHandle(handle);
    EXPECT_TRUE(object_files().empty());
}

TEST_F(NamedObjects, TheSessionsObjectsCanAllBeMadeAndOpened) {
    struct mapping {
        const wchar_t* name;
        DWORD size;
    };
    const std::vector<mapping> mappings = {{L"Local\\Calvimora_MMF_UID", 1024},
                                           {L"Local\\Calvimora_FileMapping_SaveAs", 0x80000}};
    const std::vector<const wchar_t*> mutexes = {L"Local\\Calvimora_Mutex_UID",
                                                 L"Local\\Calvimora_Mutex_Download_Upload",
                                                 L"Local\\Calvimora_Mutex_SFD_Access",
                                                 L"Local\\CMV_MUTEX_TRAY_ICON",
                                                 L"Local\\CMV_LOGIN_MUTEX",
                                                 L"Local\\José Ñ_bindings_mutex",
                                                 L"Local\\José Ñ_sync_rules_1.xml_items_mutex"};
    const std::vector<const wchar_t*> events = {L"Local\\Calvimora_Event_LogOff",
                                                L"Local\\Calvimora_Event_SyncThread",
                                                L"Local\\CMV_LOGIN_DLG_EVENT"};
    std::vector<HANDLE> handles;
    for (const mapping& m : mappings)
        handles.push_back(
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, m.size, m.name));
    for (const wchar_t* name : mutexes) handles.push_back(CreateMutexW(nullptr, FALSE, name));
    for (const wchar_t* name : events) handles.push_back(CreateEventW(nullptr, FALSE, FALSE, name));
    for (HANDLE handle : handles) ASSERT_NE(handle, nullptr);

    for (const mapping& m : mappings) {
        HANDLE opened = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, m.name);
        ASSERT_NE(opened, nullptr);
        EXPECT_NE(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, m.size), nullptr);
        EXPECT_EQ(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, m.size + 1), nullptr);
        CloseHandle(opened);
    }
    for (const wchar_t* name : mutexes) {
        HANDLE opened = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
        EXPECT_NE(opened, nullptr);
        CloseHandle(opened);
    }
    for (const wchar_t* name : events) {
        HANDLE opened = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
        EXPECT_NE(opened, nullptr);
        CloseHandle(opened);
    }
    for (HANDLE handle : handles) CloseHandle(handle);
}

TEST_F(NamedObjects, BadArgumentsAreRefused) {
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, L"Local\\"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(SetEvent(reinterpret_cast<HANDLE>(0x7777770)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    EXPECT_FALSE(SetEvent(mutex));  // not an event
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(mutex);
    EXPECT_FALSE(CloseHandle(mutex));
}

}  // namespace
