// What the tray program's tests share: a session facade and a sync engine
// that the test scripts, a fresh machine in which no tray program needs
// starting, and small readers of the registry and the journals.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session_facade.h"
#include "sync_engine.h"
#include "syncer/tasks/task.h"
#include "tray_context.h"
#include "win/machine.h"
#include "win/shell_test.h"
#include "win/win_test.h"

namespace tray_testing {

// Answers as the test says and counts what the tray asked. Every
// operation may come from the automatic log-in's thread.
class scripted_session : public CSessionFacade {
public:
    using login_script =
        std::function<void(const std::wstring& user, const std::wstring& password)>;

    scripted_session();

    void set_logged_in(bool logged_in);
    void set_user(const std::wstring& user_name);
    void set_notifications(std::vector<vfs::notification> notifications);
    // What Login does; by default it logs in.
    void set_login(login_script script);
    // Opening the folder logs in, as the login dialog it shows would.
    void set_folder_logs_in(bool logs_in);

    std::vector<std::pair<std::wstring, std::wstring>> logins() const;
    int log_offs() const;
    int logged_in_tests() const;
    int folder_openings() const;

    bool IsLoggedIn() override;
    void LogOff() override;
    std::wstring GetUserInfo() override;
    std::vector<vfs::notification> GetNotifications() override;
    void Login(const std::wstring& user_name, const std::wstring& password) override;
    void OpenCalvimoraFolder(const std::wstring& suffix) override;

private:
    mutable std::mutex lock_;
    bool logged_in_ = false;
    std::wstring user_ = L"alice";
    std::vector<vfs::notification> notifications_;
    login_script login_;
    std::vector<std::pair<std::wstring, std::wstring>> logins_;
    int log_offs_ = 0;
    int logged_in_tests_ = 0;
    int folder_openings_ = 0;
    bool folder_logs_in_ = false;
};

// The engines a sync window made in place of the user's manager: for whom,
// how many still live, and the task list they all report.
class engine_log {
public:
    void set_tasks(std::list<syncer::task> tasks);
    std::list<syncer::task> tasks() const;
    std::vector<std::wstring> made_for() const;
    int alive() const;
    // While set, no engine can be made (the factory throws), and every
    // operation of the engines but the task list fails.
    void set_refusing(bool refusing);
    void set_failing(bool failing);
    // How often an engine was asked for, made or not.
    int attempts() const;

    // The factory to give the tray context.
    static SyncEngineFactory factory(const std::shared_ptr<engine_log>& log);

private:
    friend class scripted_engine;
    mutable std::mutex lock_;
    std::list<syncer::task> tasks_;
    std::vector<std::wstring> made_for_;
    int alive_ = 0;
    bool refusing_ = false;
    bool failing_ = false;
    int attempts_ = 0;
};

// A task of a folder pair in the state given.
syncer::task make_task(const std::wstring& file_name, int state);

// Holds the tray program's mutex as a running tray program does, so the
// client never starts one.
class held_tray_mutex {
public:
    held_tray_mutex();
    ~held_tray_mutex();
    held_tray_mutex(const held_tray_mutex&) = delete;
    held_tray_mutex& operator=(const held_tray_mutex&) = delete;

private:
    HANDLE mutex_;
};

// A machine of its own and COM on the test's thread.
class TrayTest : public ::testing::Test {
protected:
    TrayTest();
    ~TrayTest() override;

    // Removes what the thread's queue holds, a WM_QUIT included (the
    // hidden window's end posts one).
    static void drain_queue();

    win_machine::scoped_root root_;
};

// A tray context on the test's thread with the scripted session and
// engines.
class TrayContextTest : public TrayTest {
protected:
    TrayContextTest();
    ~TrayContextTest() override;

    // Makes and opens the context.
    void open();
    // Moves the context's clock on.
    void advance(std::chrono::steady_clock::duration by) { now_ += by; }
    // The timer fires once and the thread's queue is delivered.
    void tick();
    // Ticks until the condition holds (the automatic log-in's thread ends on
    // its own time); false when it never does.
    bool tick_until(const std::function<bool()>& condition);
    // What the shell does when the person uses the icon, delivered.
    void icon_event(UINT event);
    std::optional<win_test::tray_icon> icon() const;
    // The next tray menu chooses the command (0: none); the items as the
    // menu showed them land in shown_items_.
    void right_click_choosing(UINT command);
    UINT shown_state(UINT command) const;

    held_tray_mutex tray_mutex_;
    scripted_session session_;
    std::shared_ptr<engine_log> engines_ = std::make_shared<engine_log>();
    std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::now();
    std::unique_ptr<CTrayContext> context_;
    std::vector<win_test::menu_entry> shown_items_;
};

// Values under HKEY_CURRENT_USER "SOFTWARE\Calvimora".
void set_setting(const wchar_t* name, DWORD value);

// Waits until the condition holds; false when the patience ran out first.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds patience = std::chrono::milliseconds(5000));
std::optional<DWORD> read_setting(const wchar_t* name);

// The message boxes shown so far, their texts as UTF-8.
std::vector<std::string> box_texts();

}  // namespace tray_testing
