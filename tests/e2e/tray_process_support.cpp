#include "tray_process_support.h"

#include <stdlib.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <thread>

#include "syncer/core/binding.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "utils/time_scale.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_process_testing {

namespace {

const bool time_scale_set =
    setenv(utils::time_scale_variable, std::to_string(time_scale).c_str(), 1) == 0;

const wchar_t* const tray_class = L"Calvimora tray menu";

fs::path program_folder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

bool object_exists(HANDLE handle) {
    if (!handle) return false;
    CloseHandle(handle);
    return true;
}

void store_pc_id() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key), ERROR_SUCCESS);
    const std::wstring id = L"{4E1A7C20-9B3D-4F58-8A61-0C2D5E7F9B13}";
    RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                   static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace

bool eventually(const std::function<bool()>& condition, std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

tray_process::tray_process(const std::wstring& arguments) {
    const std::wstring program = (program_folder() / "Calvimora_Tray").wstring();
    std::wstring command_line = L"Calvimora_Tray" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        throw std::runtime_error("cannot start Calvimora_Tray");
    CloseHandle(started.hThread);
    process_ = started.hProcess;
}

tray_process::~tray_process() {
    if (!wait(std::chrono::seconds(0))) {
        if (const HWND window = tray_window()) PostMessageW(window, WM_DESTROY, 0, 0);
        if (!wait(std::chrono::seconds(20))) {
            ADD_FAILURE() << "the tray program did not end when told";
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, INFINITE);
        }
    }
    CloseHandle(process_);
}

std::optional<DWORD> tray_process::wait(std::chrono::seconds deadline) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(deadline);
    if (WaitForSingleObject(process_, static_cast<DWORD>(milliseconds.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool tray_mutex_exists() {
    return object_exists(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON"));
}

bool session_handler_runs() {
    return object_exists(OpenEventW(SYNCHRONIZE, FALSE, L"Local\\Calvimora_Event_LogOff"));
}

HWND tray_window() {
    return FindWindowW(tray_class, tray_class);
}

int last_tray_icon() {
    int shown = 0;
    for (const win_test::tray_record& record : win_test::tray_journal())
        if (record.succeeded && record.operation != "event")
            shown = record.operation == "delete" ? 0 : record.icon_id;
    return shown;
}

bool balloon_was_shown(const std::string& title) {
    for (const win_test::tray_record& record : win_test::tray_journal())
        if (record.succeeded && record.info_title == title) return true;
    return false;
}

std::optional<DWORD> setting(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, size = sizeof value;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

void set_setting(const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::optional<std::wstring> run_entry() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                    &key) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    const LONG status = RegQueryValueExW(key, L"Calvimora Tray", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(path);
}

TrayProcessTest::TrayProcessTest() {
    if (!time_scale_set || utils::time_scale() != time_scale)
        throw std::runtime_error("the time scale was read before it was set");
    utils::imbue_utf8_locale();
    service_.export_url();
    store_pc_id();
    user_id_ = service_.add_user(user, password);
    documents_id_ = service_.add_folder(user_id_, "0", "Documents");
    EXPECT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    set_setting(L"AutoLogin", 1);

    fs::create_directories(local());
    syncer::binding pair(L"/Documents", local().wstring(), L"", L"");
    pair._type = syncer::binding::type_user_choice;
    pair.can_recourse_subdirs = syncer::sync_permission::yes;
    using enum syncer::sync_permission;
    pair.rule = syncer::sync_rule({yes, yes, yes, yes, yes, yes, yes, yes});
    syncer::locked_add_binding(L"alice", pair);
    answer("");
}

TrayProcessTest::~TrayProcessTest() {
    unsetenv(win_test::answers_file_variable);
    // Nothing of the session may outlive the machine root.
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Calvimora_Event_LogOff");
    if (event) {
        SetEvent(event);
        CloseHandle(event);
        eventually([] { return !session_handler_runs(); }, std::chrono::seconds(20));
    }
}

void TrayProcessTest::answer(const std::string& lines) {
    const std::string path = root_.path() + "/answers.txt";
    std::ofstream(path) << lines;
    setenv(win_test::answers_file_variable, path.c_str(), 1);
}

fs::path TrayProcessTest::local(const std::string& relative) const {
    const fs::path work = fs::path(root_.path()) / "work";
    return relative.empty() ? work : work / relative;
}

bool TrayProcessTest::remote_has(const std::string& name) {
    const auto listing = service_.control(
        "list_folder",
        calvimora::testing::json_object().set("user", user).set("path", "/Documents"));
    for (const auto& [key, item] : listing.get_child("items"))
        if (item.get<std::string>("name") == name) return true;
    return false;
}

}  // namespace tray_process_testing
