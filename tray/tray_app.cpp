#include "tray_app.h"

#include <chrono>
#include <optional>
#include <thread>

#include "auto_login.h"
#include "session_facade.h"
#include "tray_context.h"
#include "tray_error.h"
#include "utils/named_mutex.h"
#include "utils/scoped_handle.h"
#include "utils/time_scale.h"
#include "win/com.h"
#include "win/commctrl.h"
#include "win/gdiplus.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"

namespace {

const wchar_t* const run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const run_value = L"Calvimora Tray";
const wchar_t* const tray_mutex_name = L"Local\\CMV_MUTEX_TRAY_ICON";
const wchar_t* const tray_window_name = L"Calvimora tray menu";

// How long "/Uninstall" waits for a starting tray program's window.
constexpr std::chrono::milliseconds window_poll(100);
constexpr int window_polls = 50;
// How long "/Uninstall" waits for a log-in in progress to end (the tray
// program's automatic one, or the extension's login dialog), and for the
// tray program to end once told to.
constexpr std::chrono::milliseconds login_wait(10000);
constexpr int end_polls = 100;

class gdiplus_session {
public:
    gdiplus_session() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    ~gdiplus_session() { Gdiplus::GdiplusShutdown(token_); }
    gdiplus_session(const gdiplus_session&) = delete;
    gdiplus_session& operator=(const gdiplus_session&) = delete;

private:
    ULONG_PTR token_ = 0;
};

class com_apartment {
public:
    com_apartment() {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            throw CTrayError(L"Error initializing COM");
    }
    ~com_apartment() { CoUninitialize(); }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
};

bool tray_program_runs() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, tray_mutex_name);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

// The hidden window of the running tray program, waiting while the
// program is still there but has not made it yet.
HWND find_tray_window() {
    for (int poll = 0; poll < window_polls; ++poll) {
        if (const HWND window = FindWindowW(tray_window_name, tray_window_name)) return window;
        if (!tray_program_runs()) return nullptr;
        utils::sleep_scaled(window_poll);
    }
    return nullptr;
}

void wait_until_tray_program_ended() {
    for (int poll = 0; poll < end_polls && tray_program_runs(); ++poll)
        utils::sleep_scaled(window_poll);
}

// Logs the user off and ends the running tray program. Both happen under
// the login mutex, held until the program is gone: a log-in in progress
// ends first and is then logged off, and the program's automatic log-in,
// which waits for the mutex, ends with the program instead of logging the
// user in again. A login dialog of the extension holding the mutex longer
// than the wait is not waited for.
void end_tray_program(CSessionFacade& session) {
    const HWND window = find_tray_window();
    utils::named_mutex login_mutex(login_mutex_name);
    std::optional<utils::named_mutex_lock> held;
    if (login_mutex.try_lock_for(
            std::chrono::duration_cast<std::chrono::milliseconds>(utils::scaled(login_wait))))
        held.emplace(login_mutex, std::adopt_lock);
    if (session.IsLoggedIn()) session.LogOff();
    if (window) {
        PostMessageW(window, WM_DESTROY, 0, 0);
        wait_until_tray_program_ended();
    }
}

int run_tray(HINSTANCE instance, CSessionFacade& session) {
    const com_apartment com;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, tray_mutex_name);
    const bool another_runs = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mutex) throw CTrayError(L"Error creating tray program mutex");
    // Closed after the context is gone: while it exists, other processes
    // count the tray program as running and do not start another.
    const utils::scoped_handle held(mutex);
    if (another_runs) return 0;
    CTrayContext context(instance, session);
    return context.Run();
}

}  // namespace

BOOL CCalvimora_TrayApp::InitInstance() {
    CSessionFacade session(m_hInstance);
    return RunTrayProgram(m_hInstance, m_lpCmdLine, session);
}

int RunTrayProgram(HINSTANCE instance, const std::wstring& command_line, CSessionFacade& session) {
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    const gdiplus_session gdiplus;
    try {
        if (command_line == L"/Install") {
            RegisterAutoStart(instance);
            return 0;
        }
        if (command_line == L"/Uninstall") {
            UnregisterAutoStart(session);
            return 0;
        }
        return run_tray(instance, session);
    } catch (const CTrayError& failure) {
        ShowTrayErrorBox(failure.Text());
    } catch (const std::exception& failure) {
        ShowTrayErrorBox(ErrorTextOf(failure));
    }
    return -1;
}

void RegisterAutoStart(HINSTANCE instance) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw CTrayError(L"Error getting module name");
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, run_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw CTrayError(L"Error opening registry");
    const LONG written =
        RegSetValueExW(key, run_value, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                       static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (written != ERROR_SUCCESS) throw CTrayError(L"Error adding startup record");
}

void UnregisterAutoStart(CSessionFacade& session) {
    // Asking the client whether somebody is logged in starts a tray
    // program when none runs: only a running one is logged off and ended.
    if (tray_program_runs()) end_tray_program(session);
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, run_key, 0, KEY_ALL_ACCESS, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return;  // no entry to remove
    if (opened != ERROR_SUCCESS) throw CTrayError(L"Error opening registry");
    RegDeleteValueW(key, run_value);
    RegCloseKey(key);
}
