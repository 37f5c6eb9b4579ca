// The automatic log-in: a worker thread that logs the user in with the
// login the login dialog saved, as long as the user asked for it
// ("AutoLogin"), nobody is logged in and no login dialog has been opened in
// the session. A failed attempt is tried again after the retry interval.
// Attempts hold the session's login mutex, which the shell extension takes
// around its own log-in and holds while its login dialog is open; the
// worker waits for it in short steps, so ending the worker never waits for
// another process's dialog.
#pragma once

#include <atomic>
#include <chrono>
#include <stop_token>
#include <string>
#include <thread>

#include "utils/named_mutex.h"
#include "win/base.h"

class CSessionFacade;

// The session's login mutex: held around every log-in (this worker's, the
// shell extension's) and around the log-off of "/Uninstall".
inline constexpr const wchar_t* login_mutex_name = L"Local\\CMV_LOGIN_MUTEX";

class CAutoLogin {
public:
    // Five seconds on the programs' time scale.
    static std::chrono::milliseconds DefaultRetryInterval();

    // Opens the login mutex, creates or opens the dialog event and starts
    // the worker. Throws CTrayError or utils::system_error_exception when
    // an object cannot be had.
    explicit CAutoLogin(CSessionFacade& session,
                        std::chrono::milliseconds retry_interval = DefaultRetryInterval());
    // Ends the worker: at once while it waits, after the request while it
    // logs in.
    virtual ~CAutoLogin();
    CAutoLogin(const CAutoLogin&) = delete;
    CAutoLogin& operator=(const CAutoLogin&) = delete;

    // Whether the worker still runs.
    bool IsRunning() const { return !finished_.load(); }
    // Once the worker has logged in, a WM_TIMER is posted to the window, so
    // that the tray's tick sees the log-in at once rather than at its next
    // period; at once when the worker logged in already. A null window
    // stops the notice.
    void PostTickOnLogin(HWND window);

private:
    enum class Outcome { finished, try_again };

    void Run(const std::stop_token& stop);
    Outcome Attempt(const std::stop_token& stop);
    bool LockLoginMutex(const std::stop_token& stop);
    bool IsLoginDialogOpen() const;

    CSessionFacade& session_;
    const std::chrono::milliseconds retry_interval_;
    utils::named_mutex login_mutex_;
    HANDLE dialog_event_ = nullptr;
    std::atomic<bool> finished_{false};
    std::atomic<bool> logged_in_{false};
    std::atomic<HWND> tick_window_{nullptr};
    std::jthread thread_;  // last: starts once everything it uses exists
};

// The saved login (the value "Data1"): true when the value was read, even
// if its strings are empty; false when the key or the value is missing or
// unreadable.
bool LoadSavedLogin(std::wstring& user_name, std::wstring& password);
