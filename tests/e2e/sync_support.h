// What the end-to-end tests of the sync engine share: a machine root and a
// stand-in service of their own, a user logged in as the tray program would
// leave it, a local folder to bind, views of both sides, and edits of the
// remote side through a session of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem/path.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "service_fixture.h"
#include "syncer/core/binding.h"
#include "syncer/manager/manager.h"
#include "syncer/scan/tests/scan_scripted_ui.h"
#include "syncer/tables/locked_operations.h"
#include "vfs/client.h"
#include "vfs_session_support.h"
#include "win/base.h"
#include "win/machine.h"

namespace sync_testing {

namespace fs = boost::filesystem;

// The time scale every program of these tests runs with (set before first
// use; child processes inherit it).
inline constexpr double time_scale = 0.1;

// Polls every 20 ms until the condition holds or the deadline passes.
bool eventually(const std::function<bool()>& condition,
                std::chrono::seconds deadline = std::chrono::seconds(60));

// A file as found on one side: its bytes and its time.
struct side_file {
    std::string content;
    std::int64_t time = -1;
    bool operator==(const side_file&) const = default;
};
using side_files = std::map<std::wstring, side_file>;
// Folder paths relative to a side's folder, "/"-separated.
using side_folders = std::set<std::wstring>;

class sync_world {
public:
    static constexpr const wchar_t* user = L"alice";

    // A fresh root and service, the user logged in (the tray program's mutex
    // held, the session handler started), and an empty local folder "work".
    sync_world();
    // Ends the log-on session, so the session handler exits.
    ~sync_world();
    sync_world(const sync_world&) = delete;
    sync_world& operator=(const sync_world&) = delete;

    calvimora::testing::service& service() { return service_; }
    const std::string& user_id() const { return user_id_; }
    // The local folder "work" as the engine's paths write it.
    std::wstring local() const;
    fs::path local_path(const std::wstring& relative) const;

    // A two-way binding of the remote folder and the local folder "work"
    // (or a sub-folder of it), added to the user's table; returns it stored.
    syncer::binding bind(const std::wstring& dir_remote, const std::wstring& local_relative,
                         const syncer::sync_rule& rule);
    // Asks for a pass at once, as the sync manager dialog does.
    void force(const syncer::binding& target);

    void put_local(const std::wstring& relative, const std::string& content, std::int64_t time);
    void remove_local(const std::wstring& relative);
    // Every file below the local folder (hidden ones included).
    side_files local_files(const std::wstring& relative = L"") const;
    // Every folder below the local folder.
    side_folders local_folders(const std::wstring& relative = L"") const;

    // Remote edits by another session of the same user.
    void put_remote(const std::wstring& path, const std::string& content, std::int64_t time);
    void remove_remote(const std::wstring& path);
    void make_remote_folder(const std::wstring& path);
    // Renames the file or folder at the path (the service's names ignore
    // case, so a rename by case only is one).
    void rename_remote(const std::wstring& path, const std::wstring& new_name);
    // Every live file of the user below the remote folder.
    side_files remote_files(const std::wstring& folder);
    // Every live folder of the user below the remote folder.
    side_folders remote_folders(const std::wstring& folder);
    // Whether the service's trash holds an item of that kind at that path
    // ("folder/name" below the user's root).
    bool in_remote_trash(const std::wstring& path, bool is_folder);

private:
    // The folder at the path; the root for an empty one.
    vfs::directory_ptr remote_folder(const std::wstring& path);

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    vfs_session_testing::session_ender session_ender_;
    HANDLE tray_mutex_ = nullptr;
    std::string user_id_;
    vfs::client_ptr editor_;
};

// Every permission allowed.
syncer::sync_rule allow_all();

// The tasks of the manager, waiting out a busy task list.
std::list<syncer::task> tasks_of(const syncer::manager& engine);

// Until nothing is left to do: no task pending, the files below the remote
// folder and the local folder (relative to "work") equal in bytes and times,
// and the item table recording both sides of each. Asks for passes while
// waiting.
::testing::AssertionResult converged(sync_world& world, const syncer::manager& engine,
                                     const syncer::binding& target,
                                     const std::wstring& remote_folder,
                                     const std::wstring& local_relative = L"",
                                     std::chrono::seconds deadline = std::chrono::seconds(60));

// Whether the item table of the binding records each file of the side views
// with both of its times.
::testing::AssertionResult table_matches(const syncer::binding& target, const side_files& local,
                                         const side_files& remote);

std::string text_of(const side_files& files);
std::string text_of(const side_folders& folders);

}  // namespace sync_testing
