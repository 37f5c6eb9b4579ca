#include "auto_login.h"

#include <condition_variable>
#include <mutex>

#include "session_facade.h"
#include "tray_error.h"
#include "tray_settings.h"
#include "utils/time_scale.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"
#include "win/user.h"

namespace {

const wchar_t* const login_dialog_event_name = L"Local\\CMV_LOGIN_DLG_EVENT";

// How long one wait for the login mutex lasts before the worker looks
// whether it should end.
constexpr std::chrono::milliseconds mutex_wait_step(50);

// Sleeps the interval; false when the stop was requested meanwhile.
bool sleep_unless_stopped(const std::stop_token& stop, std::chrono::milliseconds interval) {
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock<std::mutex> lock(mutex);
    woken.wait_for(lock, stop, interval, [] { return false; });
    return !stop.stop_requested();
}

}  // namespace

std::chrono::milliseconds CAutoLogin::DefaultRetryInterval() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        utils::scaled(std::chrono::milliseconds(5000)));
}

CAutoLogin::CAutoLogin(CSessionFacade& session, std::chrono::milliseconds retry_interval)
    : session_(session), retry_interval_(retry_interval), login_mutex_(login_mutex_name) {
    dialog_event_ = CreateEventW(nullptr, TRUE, FALSE, login_dialog_event_name);
    if (!dialog_event_) throw CTrayError(L"Error creating login dialog event");
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

CAutoLogin::~CAutoLogin() {
    thread_.request_stop();
    thread_.join();
    CloseHandle(dialog_event_);
}

void CAutoLogin::Run(const std::stop_token& stop) {
    try {
        while (Attempt(stop) == Outcome::try_again && sleep_unless_stopped(stop, retry_interval_)) {
        }
    } catch (...) {
        // The login mutex could not be waited for: automatic log-in is over.
    }
    finished_.store(true);
}

CAutoLogin::Outcome CAutoLogin::Attempt(const std::stop_token& stop) {
    if (!LockLoginMutex(stop)) return Outcome::finished;
    const utils::named_mutex_lock held(login_mutex_, std::adopt_lock);
    if (!IsAutoLoginEnabled() || session_.IsLoggedIn() || IsLoginDialogOpen())
        return Outcome::finished;
    std::wstring user_name, password;
    if (!LoadSavedLogin(user_name, password)) return Outcome::try_again;
    try {
        session_.Login(user_name, password);
        logged_in_.store(true);
        if (const HWND window = tick_window_.load()) PostMessageW(window, WM_TIMER, 0, 0);
        return Outcome::finished;
    } catch (...) {
        // The person is not told; the next attempt comes after the interval.
        return Outcome::try_again;
    }
}

void CAutoLogin::PostTickOnLogin(HWND window) {
    tick_window_.store(window);
    // Either this or the worker sees both stores; a second tick is harmless.
    if (window && logged_in_.load()) PostMessageW(window, WM_TIMER, 0, 0);
}

bool CAutoLogin::LockLoginMutex(const std::stop_token& stop) {
    while (!stop.stop_requested())
        if (login_mutex_.try_lock_for(mutex_wait_step)) return true;
    return false;
}

bool CAutoLogin::IsLoginDialogOpen() const {
    return WaitForSingleObject(dialog_event_, 1) != WAIT_TIMEOUT;
}

bool LoadSavedLogin(std::wstring& user_name, std::wstring& password) {
    vfs_calvimora::saved_login login;
    if (!vfs_calvimora::load_saved_login(login)) return false;
    user_name = login.user_name;
    password = login.password;
    return true;
}
