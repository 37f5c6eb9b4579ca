// The tray program's state for its whole run: the hidden window "Calvimora
// tray menu" that owns the tray icon, the icons and the menu, the progress
// window with the sync engine's manager, the service's notifications shown
// as balloons, and the automatic log-in.
//
// A 1 s timer on the hidden window follows the client's log-in state: the
// icon shows logged in (130) while a user is logged in or the automatic
// log-in runs; on the change to logged in the manager is made for the user
// and the notifications are shown one balloon after another; on the change
// to logged out the manager goes at once, without a question, because the
// session it worked for is already gone. A manager that cannot be made is
// told once and tried again on a later tick, at most once a minute.
//
// Boxes run this thread's messages while they are up, the tick included:
// the progress window is never deleted while the program runs, so a box of
// its own always returns to it; log-in edges only end and start engines.
//
// Everything here runs on the thread that runs the context.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync_engine.h"
#include "vfs/client.h"
#include "win/user.h"

class CAutoLogin;
class CCMSyncWindow;
class CSessionFacade;

class CTrayContext {
public:
    // The callback message of the tray icon.
    static constexpr UINT tray_message = WM_USER + 1;
    // How long a manager that could not be made waits before the next try
    // (on the programs' time scale).
    static constexpr std::chrono::seconds start_retry_interval{60};

    using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

    // Loads the icons and the menu (CTrayError "Error loading icons" when
    // one is missing), makes the progress window object and starts the
    // automatic log-in. The progress window makes its engines with the
    // factory when one is given (tests), else the user's syncer::manager;
    // the retry of a manager follows the clock when one is given (tests),
    // else the steady clock.
    CTrayContext(HINSTANCE instance, CSessionFacade& session, SyncEngineFactory engines = nullptr,
                 SteadyClock now = nullptr);
    // Removes the icon, destroys the windows, ends the automatic log-in and
    // deletes a running manager without asking.
    ~CTrayContext();
    CTrayContext(const CTrayContext&) = delete;
    CTrayContext& operator=(const CTrayContext&) = delete;

    // Open, then the message loop until WM_QUIT; the loop's exit code.
    int Run();
    // Creates the hidden window, the progress window in the bottom-right
    // corner of the work area, the tray icon and the timer. On a failure
    // (CTrayError) the icon and the window are gone again.
    void Open();

    HWND GetWindow() const { return window_; }
    CCMSyncWindow& GetSyncWindow() { return *sync_window_; }
    // The notification whose balloon is shown now, if any.
    std::optional<std::size_t> GetCurrentNotification() const { return current_notification_; }

    void AddTrayIcon(HICON icon);
    // Falls back to adding the icon when the shell no longer knows it.
    void SetTrayIcon(HICON icon);
    void RemoveTrayIcon();
    void ShowBalloon(std::size_t position);
    void ShowTrayMenu();
    void OnTrayTick();
    // Opens the address with the shell, only an http:// or https:// one:
    // the service's text must not run programs or open local files.
    void OpenNotificationUrl(const std::wstring& url);

    static LRESULT CALLBACK TrayWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

private:
    static CTrayContext& FromWindow(HWND window);
    LRESULT OnTrayNotification(LPARAM event);
    void TickUnlessInTick();
    bool StartSession();
    void EndSession();
    // Makes the manager of the synced user; a failure is told when asked
    // to, and a later tick tries again.
    void StartSyncing(bool tell_failure);
    void RetryStartSyncing();
    void ShowNextBalloon();
    void LogOut();
    void CloseWindow();

    CSessionFacade& session_;
    HINSTANCE instance_;
    SyncEngineFactory engines_;
    HWND window_ = nullptr;
    HICON icon_logged_in_ = nullptr;
    HICON icon_logged_out_ = nullptr;
    HMENU menu_ = nullptr;
    bool icon_shown_ = false;
    bool was_logged_in_ = false;
    HICON current_icon_ = nullptr;
    std::vector<vfs::notification> notifications_;
    std::optional<std::size_t> current_notification_;
    bool in_tick_ = false;
    // Made once GDI+ runs, and kept for the whole run.
    std::unique_ptr<CCMSyncWindow> sync_window_;
    std::wstring synced_user_;  // the user the manager is (to be) made for
    SteadyClock now_;
    // When making the synced user's manager last failed; empty otherwise.
    std::optional<std::chrono::steady_clock::time_point> start_failed_at_;
    std::unique_ptr<CAutoLogin> auto_login_;
};

// The work area of the monitor nearest to the window.
RECT GetMonitorWorkArea(HWND window);
