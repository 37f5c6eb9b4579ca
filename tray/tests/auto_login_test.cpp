// The automatic log-in: when it logs in, when it waits and tries again, and
// that ending it never waits long.
#include "auto_login.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "tray_test_support.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_testing {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds quick_retry(20);

const wchar_t* const saved_login_key = L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}";

// The value of a login whose password field the value does not end.
std::vector<BYTE> name_only_value(const std::wstring& user_name) {
    std::vector<char16_t> units = vfs_calvimora::scramble_login({user_name, L""});
    units.pop_back();
    std::vector<BYTE> bytes;
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

void store_raw_login(const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, saved_login_key, &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"Data1", 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

// Whether another thread can take the login mutex at once.
bool login_mutex_free() {
    bool taken = false;
    std::thread other([&] {
        const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_LOGIN_MUTEX");
        if (!mutex) return;
        const DWORD waited = WaitForSingleObject(mutex, 0);
        taken = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (taken) ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    other.join();
    return taken;
}

class AutoLogin : public TrayTest {
protected:
    scripted_session session_;
};

TEST_F(AutoLogin, LogsInWithTheSavedLoginAndEnds) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    CAutoLogin worker(session_, quick_retry);

    ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
    EXPECT_EQ(session_.logins(),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"alice", L"s3cret"}}));
    EXPECT_TRUE(login_mutex_free());
}

// A window that counts the timer messages it is sent.
class tick_counter {
public:
    tick_counter() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"auto login ticks";
        RegisterClassW(&window_class);
        window_ = CreateWindowW(L"auto login ticks", L"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                window_class.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~tick_counter() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    int ticks() const { return ticks_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_TIMER)
            ++reinterpret_cast<tick_counter*>(GetWindowLongPtrW(window, GWLP_USERDATA))->ticks_;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
    int ticks_ = 0;
};

// The tray's tick follows its own log-in at once, whether the worker logged
// in before or after the window was made known to it; without a log-in
// nothing is posted.
TEST_F(AutoLogin, ALogInIsFollowedByATickAtOnce) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    {
        tick_counter counter;
        CAutoLogin worker(session_, quick_retry);
        ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
        worker.PostTickOnLogin(counter.window());
        EXPECT_TRUE(win_test::pump_until([&] { return counter.ticks() == 1; }));
    }
    {
        session_.set_logged_in(false);
        std::atomic<bool> release{false};
        session_.set_login([&](const std::wstring&, const std::wstring&) {
            while (!release) std::this_thread::sleep_for(milliseconds(1));
            session_.set_logged_in(true);
        });
        tick_counter counter;
        CAutoLogin worker(session_, quick_retry);
        worker.PostTickOnLogin(counter.window());
        release = true;
        EXPECT_TRUE(win_test::pump_until([&] { return counter.ticks() >= 1; }));
    }
    {
        session_.set_logged_in(true);
        tick_counter counter;
        CAutoLogin worker(session_, quick_retry);
        worker.PostTickOnLogin(counter.window());
        ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
        win_test::pump();
        EXPECT_EQ(counter.ticks(), 0);
    }
}

TEST_F(AutoLogin, WithoutASavedLoginItWaitsWithoutARequestUntilSomebodyLogsIn) {
    set_setting(L"AutoLogin", 1);
    CAutoLogin worker(session_, quick_retry);

    // Each round tests the log-in again and finds no login to send.
    ASSERT_TRUE(eventually([&] { return session_.logged_in_tests() >= 4; }));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_TRUE(session_.logins().empty());

    session_.set_logged_in(true);
    ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
    EXPECT_TRUE(session_.logins().empty());
}

TEST_F(AutoLogin, EndsWithoutARequestWhenNotAskedForOrWhileALoginDialogIsOpen) {
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    {
        CAutoLogin missing(session_, quick_retry);
        ASSERT_TRUE(eventually([&] { return !missing.IsRunning(); }));
    }
    set_setting(L"AutoLogin", 0);
    {
        CAutoLogin cleared(session_, quick_retry);
        ASSERT_TRUE(eventually([&] { return !cleared.IsRunning(); }));
    }
    EXPECT_EQ(session_.logged_in_tests(), 0);

    set_setting(L"AutoLogin", 1);
    // The login dialog sets the event and nobody resets it.
    const HANDLE dialog = CreateEventW(nullptr, TRUE, FALSE, L"Local\\CMV_LOGIN_DLG_EVENT");
    SetEvent(dialog);
    {
        CAutoLogin behind_a_dialog(session_, quick_retry);
        ASSERT_TRUE(eventually([&] { return !behind_a_dialog.IsRunning(); }));
    }
    CloseHandle(dialog);
    EXPECT_TRUE(session_.logins().empty());
}

TEST_F(AutoLogin, AFailedLogInIsTriedAgainAfterTheInterval) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    std::atomic<int> attempts{0};
    session_.set_login([&](const std::wstring& user, const std::wstring&) {
        if (++attempts == 1) throw std::runtime_error("the service did not answer");
        session_.set_user(user);
        session_.set_logged_in(true);
    });
    const auto start = std::chrono::steady_clock::now();
    CAutoLogin worker(session_, milliseconds(200));

    ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(190));
    EXPECT_EQ(attempts, 2);
    EXPECT_TRUE(login_mutex_free());
}

TEST_F(AutoLogin, TheLoginMutexIsHeldThroughTheRequest) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    std::atomic<bool> in_request{false};
    std::atomic<bool> release{false};
    session_.set_login([&](const std::wstring&, const std::wstring&) {
        in_request = true;
        while (!release) std::this_thread::sleep_for(milliseconds(1));
    });
    CAutoLogin worker(session_, quick_retry);

    ASSERT_TRUE(eventually([&] { return in_request.load(); }));
    EXPECT_FALSE(login_mutex_free());
    release = true;
    ASSERT_TRUE(eventually([&] { return !worker.IsRunning(); }));
    EXPECT_TRUE(login_mutex_free());
}

TEST_F(AutoLogin, EndingItDuringItsWaitIsPrompt) {
    set_setting(L"AutoLogin", 1);
    auto worker = std::make_unique<CAutoLogin>(session_, std::chrono::seconds(60));
    ASSERT_TRUE(eventually([&] { return session_.logged_in_tests() >= 1; }));
    std::this_thread::sleep_for(milliseconds(20));

    const auto start = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
}

TEST_F(AutoLogin, EndingItWhileAnotherHoldsTheLoginMutexIsPrompt) {
    set_setting(L"AutoLogin", 1);
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"s3cret"}));
    // Another process's login dialog holds the mutex for as long as it is
    // open; here a thread stands in for it.
    std::atomic<bool> held{false};
    std::atomic<bool> close_dialog{false};
    std::thread dialog([&] {
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\CMV_LOGIN_MUTEX");
        WaitForSingleObject(mutex, INFINITE);
        held = true;
        while (!close_dialog) std::this_thread::sleep_for(milliseconds(1));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    ASSERT_TRUE(eventually([&] { return held.load(); }));

    auto worker = std::make_unique<CAutoLogin>(session_, quick_retry);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_TRUE(worker->IsRunning());
    EXPECT_EQ(session_.logged_in_tests(), 0) << "it tested the log-in without the mutex";

    const auto start = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
    close_dialog = true;
    dialog.join();
    EXPECT_TRUE(session_.logins().empty());
}

TEST_F(AutoLogin, TheSavedLoginIsReadWithinItsBounds) {
    std::wstring user = L"x", password = L"y";
    EXPECT_FALSE(LoadSavedLogin(user, password)) << "no value";

    // Only the user name: no second terminator, so the password is empty.
    std::vector<BYTE> bytes = name_only_value(L"bob");
    store_raw_login(bytes);
    ASSERT_TRUE(LoadSavedLogin(user, password));
    EXPECT_EQ(user, L"bob");
    EXPECT_EQ(password, L"");

    // An odd byte at the end is not a unit; an empty value holds two empty strings.
    bytes.push_back(0x41);
    store_raw_login(bytes);
    ASSERT_TRUE(LoadSavedLogin(user, password));
    EXPECT_EQ(user, L"bob");
    store_raw_login({});
    ASSERT_TRUE(LoadSavedLogin(user, password));
    EXPECT_EQ(user, L"");
    EXPECT_EQ(password, L"");
}

}  // namespace
}  // namespace tray_testing
