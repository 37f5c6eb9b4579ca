// What the end-to-end tests of the tray program share: the real
// Calvimora_Tray started as its own process in the test's machine, against
// the test's stand-in service, answered from an answers file, and read
// through the journals it leaves under the machine root.
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem/path.hpp>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "service_fixture.h"
#include "win/base.h"
#include "win/machine.h"
#include "win/shell_test.h"

namespace tray_process_testing {

namespace fs = boost::filesystem;

// Every program of these tests runs on this time scale: the tray's 1 s
// tick takes 100 ms.
inline constexpr double time_scale = 0.1;

bool eventually(const std::function<bool()>& condition,
                std::chrono::seconds deadline = std::chrono::seconds(60));

// One run of the tray program with a command line of its own.
class tray_process {
public:
    explicit tray_process(const std::wstring& arguments = L"");
    // Tells a program that still runs to end, as "/Uninstall" does, and
    // waits for it (killing it when it does not end).
    ~tray_process();
    tray_process(const tray_process&) = delete;
    tray_process& operator=(const tray_process&) = delete;

    // The exit code once it ended within the deadline.
    std::optional<DWORD> wait(std::chrono::seconds deadline = std::chrono::seconds(30));

private:
    HANDLE process_ = nullptr;
};

bool tray_mutex_exists();
bool session_handler_runs();
// The program's hidden window, null while there is none.
HWND tray_window();
// The icon shown by the last tray change journalled, 0 for none.
int last_tray_icon();
bool balloon_was_shown(const std::string& title);

// Values under HKEY_CURRENT_USER "SOFTWARE\Calvimora".
std::optional<DWORD> setting(const wchar_t* name);
void set_setting(const wchar_t* name, DWORD value);
// The start-up entry of the machine's Run key.
std::optional<std::wstring> run_entry();

// A machine and service of the test's own with the user "alice", her
// remote folder "/Documents" bound to the local folder "work" (every
// decision allowed), her login saved with automatic log-in asked for, and
// the answers file of the programs the test starts.
class TrayProcessTest : public ::testing::Test {
protected:
    static constexpr const char* user = "alice";
    static constexpr const char* password = "s3cret";

    TrayProcessTest();
    ~TrayProcessTest() override;

    // Lines of the answers file (the format of win/win_test.h).
    void answer(const std::string& lines);
    fs::path local(const std::string& relative = "") const;
    // Whether the remote folder "/Documents" holds a file of that name.
    bool remote_has(const std::string& name);

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    std::string user_id_;
    std::string documents_id_;
};

}  // namespace tray_process_testing
