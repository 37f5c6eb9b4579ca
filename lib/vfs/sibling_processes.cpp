#include "vfs/sibling_processes.h"

#include <chrono>
#include <functional>
#include <vector>

#include "utils/time_scale.h"
#include "win/kernel.h"
#include "win/process.h"

namespace vfs_calvimora {

namespace {

constexpr std::chrono::milliseconds poll_interval(100);
constexpr int poll_count = 150;

// Opens the object that tells that a sibling runs and closes it again.
bool object_exists(const std::function<HANDLE()>& open) {
    const HANDLE handle = open();
    if (handle == nullptr) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

bool ensure_running(HMODULE module, bool start, const std::wstring& executable,
                    const std::function<HANDLE()>& open, const wchar_t* timeout_text) {
    if (object_exists(open)) {
        return true;
    }
    if (!start) {
        return false;
    }
    start_sibling_process(module, executable);
    for (int attempt = 0; attempt < poll_count; ++attempt) {
        utils::sleep_scaled(poll_interval);
        if (object_exists(open)) {
            return true;
        }
    }
    throw glue_failure{timeout_text};
}

}  // namespace

void start_sibling_process(HMODULE module, const std::wstring& executable) {
    std::vector<wchar_t> module_name(MAX_PATH + 1, L'\0');
    const DWORD length = GetModuleFileNameW(module, module_name.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        throw glue_failure{L"Error getting module name"};
    }
    std::wstring path(module_name.data(), length);
    path.erase(path.rfind(L'\\') + 1);
    path += executable;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        throw glue_failure{L"Error creating process " + executable};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool ensure_tray_running(HMODULE module, bool start) {
    return ensure_running(
        module, start, tray_program, [] { return OpenMutexW(SYNCHRONIZE, FALSE, tray_mutex_name); },
        L"Error waiting for tray icon to start");
}

bool ensure_session_running(HMODULE module, bool start) {
    return ensure_running(
        module, start, session_program,
        [] { return OpenEventW(EVENT_ALL_ACCESS, FALSE, logoff_event_name); },
        L"Error waiting for session start");
}

}  // namespace vfs_calvimora
