// What the end-to-end tests of the remote storage client share: a fresh
// machine root and stand-in service per test, the session objects they
// start, and the sibling programs placed in a folder of the test's choosing.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "service_fixture.h"
#include "win/base.h"
#include "win/machine.h"

namespace vfs_session_testing {

// Polls the condition every 10 ms until it holds or the deadline passes.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds deadline = std::chrono::seconds(20));

// The folder of the test program, which holds every built program.
std::filesystem::path program_folder();

// The module of the test program: sibling programs start from its folder.
HMODULE test_module();

bool tray_mutex_exists();
bool logoff_event_exists();

// Logs in; when the session handler came up only after the client gave up
// waiting for it (a loaded machine, a scaled clock), logs in again.
void login_once_session_is_up(HMODULE module, const std::wstring& user,
                              const std::wstring& password);

// Bytes of the given size that differ from one place to the next and from
// one seed to another, so that a misplaced or missing block shows.
std::string pattern(std::size_t size, int seed);

// Writes the computer's identifier where the shell extension would.
void store_pc_id(const std::wstring& id);

// Ends, when it goes, the session handlers started on the machine root, so
// that nothing outlives it: one that is up is told to end and awaited; one
// whose start the client gave up waiting for is awaited and told, or ended
// if it never comes up. Declared after the machine root it serves.
class session_ender {
public:
    session_ender() = default;
    ~session_ender();
    session_ender(const session_ender&) = delete;
    session_ender& operator=(const session_ender&) = delete;
};

// A test's own machine and service: the client of this process and of the
// programs it starts addresses this service. Nothing it starts outlives it.
class environment {
public:
    environment();
    environment(const environment&) = delete;
    environment& operator=(const environment&) = delete;

    calvimora::testing::service& service() { return service_; }

private:
    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    session_ender session_ender_;
};

// Holds the tray program's single-instance mutex, as a running tray would.
class tray_stand_in {
public:
    tray_stand_in();
    ~tray_stand_in();
    tray_stand_in(const tray_stand_in&) = delete;
    tray_stand_in& operator=(const tray_stand_in&) = delete;

private:
    HANDLE mutex_;
};

// A folder with a loaded module in it, from which the client starts the
// sibling programs the test put there.
class sibling_folder {
public:
    sibling_folder();
    ~sibling_folder();
    sibling_folder(const sibling_folder&) = delete;
    sibling_folder& operator=(const sibling_folder&) = delete;

    // Copies a built program into the folder under the sibling's name.
    void add_copy(const std::string& built_program, const std::string& sibling_name);
    // A sibling that starts and ends at once, without creating its object.
    void add_silent(const std::string& sibling_name);

    HMODULE module() const { return module_; }

private:
    std::filesystem::path folder_;
    void* library_ = nullptr;
    HMODULE module_ = nullptr;
};

// The output and exit status of the helper program run with these arguments.
struct helper_result {
    int status = -1;
    std::string output;
};
helper_result run_helper(const std::string& arguments);

}  // namespace vfs_session_testing
