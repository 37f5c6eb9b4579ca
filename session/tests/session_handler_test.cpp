// The session handler as a real process in a fresh stand-in machine.
#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "win/kernel.h"
#include "win/machine.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

constexpr DWORD exit_deadline_ms = 10000;

const wchar_t* const mapping_name = L"Local\\Calvimora_MMF_UID";
const wchar_t* const save_as_name = L"Local\\Calvimora_FileMapping_SaveAs";
const wchar_t* const log_off_name = L"Local\\Calvimora_Event_LogOff";
const wchar_t* const sync_thread_name = L"Local\\Calvimora_Event_SyncThread";
const wchar_t* const mutex_names[] = {L"Local\\Calvimora_Mutex_UID",
                                      L"Local\\Calvimora_Mutex_Download_Upload",
                                      L"Local\\Calvimora_Mutex_SFD_Access"};

std::wstring handler_path() {
    WCHAR own[4096] = {};
    GetModuleFileNameW(nullptr, own, 4096);
    std::wstring path(own);
    return path.substr(0, path.rfind(L'/') + 1) + L"Calvimora_Session";
}

// One started session handler; killed if a test leaves it running.
class handler_process {
public:
    handler_process() {
        std::wstring command = L"\"" + handler_path() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info_);
    }
    ~handler_process() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    handler_process(const handler_process&) = delete;
    handler_process& operator=(const handler_process&) = delete;

    bool started() const { return started_; }
    bool running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code, or STILL_ACTIVE when it has not ended within the deadline.
    DWORD wait_for_exit() const {
        WaitForSingleObject(info_.hProcess, exit_deadline_ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    BOOL started_ = FALSE;
    PROCESS_INFORMATION info_ = {};
};

bool event_exists(const wchar_t* name) {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name);
    if (event) CloseHandle(event);
    return event != nullptr;
}

// Polls until the handler has made its log-off event, within a deadline.
bool wait_until_running() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (event_exists(log_off_name)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void signal_log_off() {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, log_off_name);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(SetEvent(event));
    CloseHandle(event);
}

// Runs a check on a view of a named mapping of exactly the given size.
template <typename Check>
void with_mapping(const wchar_t* name, std::size_t size, Check check) {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size + 1), nullptr) << "larger";
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    ASSERT_NE(view, nullptr);
    check(static_cast<unsigned char*>(view));
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

bool all_zero(const unsigned char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

void set_auto_login(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"AutoLogin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(key);
}

// The "AutoLogin" value, or -1 when there is none.
long long auto_login() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) != ERROR_SUCCESS) return -1;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG result =
        RegQueryValueExW(key, L"AutoLogin", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD ? value : -1;
}

// Nothing of the session is left to open.
void expect_session_gone() {
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, mapping_name), nullptr);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, save_as_name), nullptr);
    for (const wchar_t* name : mutex_names)
        EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name), nullptr);
    EXPECT_FALSE(event_exists(log_off_name));
    EXPECT_FALSE(event_exists(sync_thread_name));
}

const char16_t empty_save_as[] = u"<SaveAsFiles></SaveAsFiles>";

class SessionHandler : public testing::Test {
protected:
    win_machine::scoped_root root;
};

TEST_F(SessionHandler, OwnsTheSessionObjectsUntilLogOff) {
    handler_process handler;
    ASSERT_TRUE(handler.started());
    ASSERT_TRUE(wait_until_running());

    with_mapping(mapping_name, 1024,
                 [](unsigned char* bytes) { EXPECT_TRUE(all_zero(bytes, 1024)); });
    with_mapping(save_as_name, 0x80000, [](unsigned char* bytes) {
        EXPECT_EQ(std::memcmp(bytes, empty_save_as, sizeof empty_save_as), 0);
        EXPECT_TRUE(all_zero(bytes + sizeof empty_save_as, 0x80000 - sizeof empty_save_as));
    });
    for (const wchar_t* name : mutex_names) {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "owned by the handler";
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    HANDLE sync_thread = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, sync_thread_name);
    ASSERT_NE(sync_thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(sync_thread, 0), WAIT_TIMEOUT) << "created signalled";
    SetEvent(sync_thread);
    EXPECT_EQ(WaitForSingleObject(sync_thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sync_thread, 0), WAIT_TIMEOUT) << "not auto-reset";
    CloseHandle(sync_thread);
    EXPECT_TRUE(handler.running());
    EXPECT_EQ(auto_login(), -1);

    signal_log_off();
    EXPECT_EQ(handler.wait_for_exit(), 0u);
    EXPECT_EQ(auto_login(), 0);
    expect_session_gone();
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(SessionHandler, ASecondHandlerChangesNothingAndLeaves) {
    set_auto_login(1);
    handler_process first;
    ASSERT_TRUE(wait_until_running());

    const char16_t record[] = u"user-17";
    const char16_t saved[] = u"<SaveAsFiles><NewFile>x</NewFile></SaveAsFiles>";
    with_mapping(mapping_name, 1024,
                 [&](unsigned char* bytes) { std::memcpy(bytes, record, sizeof record); });
    with_mapping(save_as_name, 0x80000,
                 [&](unsigned char* bytes) { std::memcpy(bytes, saved, sizeof saved); });

    handler_process second;
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.wait_for_exit(), 0u);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(auto_login(), 1);
    with_mapping(mapping_name, 1024, [&](unsigned char* bytes) {
        EXPECT_EQ(std::memcmp(bytes, record, sizeof record), 0);
    });
    with_mapping(save_as_name, 0x80000, [&](unsigned char* bytes) {
        EXPECT_EQ(std::memcmp(bytes, saved, sizeof saved), 0);
    });

    signal_log_off();
    EXPECT_EQ(first.wait_for_exit(), 0u);
    EXPECT_EQ(auto_login(), 0);
    expect_session_gone();
}

struct failure_case {
    const char* name;
    const wchar_t* taken_name;  // held by an object of another kind
    bool taken_by_event;        // else by a mutex
    const char* message;
};

// Keeps ctest's test names readable.
void PrintTo(const failure_case& c, std::ostream* out) {
    *out << c.name;
}

class SessionHandlerFailure : public testing::TestWithParam<failure_case> {
protected:
    win_machine::scoped_root root;
};

TEST_P(SessionHandlerFailure, ShowsTheErrorAndEndsWithoutWaiting) {
    HANDLE squatter = GetParam().taken_by_event
                          ? CreateEventW(nullptr, TRUE, FALSE, GetParam().taken_name)
                          : CreateMutexW(nullptr, FALSE, GetParam().taken_name);
    ASSERT_NE(squatter, nullptr);
    set_auto_login(1);

    handler_process handler;
    ASSERT_TRUE(handler.started());
    EXPECT_EQ(handler.wait_for_exit(), 0u);

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, GetParam().message);
    EXPECT_EQ(boxes[0].caption, "Calvimora Session handler error!");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_SETFOREGROUND | MB_ICONERROR));
    EXPECT_EQ(auto_login(), 1);
    CloseHandle(squatter);
    expect_session_gone();
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfObject, SessionHandlerFailure,
    testing::Values(failure_case{"UserRecordMapping", L"Local\\Calvimora_MMF_UID", false,
                                 "Error creating mapping"},
                    failure_case{"Mutex", L"Local\\Calvimora_Mutex_SFD_Access", true,
                                 "Error creating mutex"},
                    failure_case{"LogOffEvent", L"Local\\Calvimora_Event_LogOff", false,
                                 "Error creating event"},
                    failure_case{"SaveAsMapping", L"Local\\Calvimora_FileMapping_SaveAs", false,
                                 "Error creating file mapping for save as functionality"}),
    [](const testing::TestParamInfo<failure_case>& info) { return info.param.name; });

}  // namespace
