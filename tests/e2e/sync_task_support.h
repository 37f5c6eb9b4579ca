// Sync tasks against the stand-in service: a machine root and service per
// test, "alice" logged in through the session handler as the tray program
// would, her folder "Docs", and a local folder to sync with. Waits run on a
// scaled clock (10 s between attempts become 0.5 s).
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "syncer/core/exceptions.h"
#include "syncer/tasks/task.h"
#include "vfs_session_support.h"

namespace sync_task_testing {

// A time in the past for file dates, in seconds since 1970.
inline constexpr std::int64_t base_time = 1600000000;

// One item of the service's store.
struct remote_entry {
    std::string id;
    bool is_folder = false;
    bool live = false;  // neither it nor a folder above it is in the trash
    std::int64_t size = 0;
    std::int64_t date_modified = 0;
    std::int64_t date_deleted = 0;
};

class sync_task_test : public ::testing::Test {
protected:
    sync_task_test();

    calvimora::testing::service& service() { return env_.service(); }

    // A task of alice's; dir_local is a folder below the local folder.
    std::unique_ptr<syncer::task> make(int kind, const std::wstring& dir_remote,
                                       const std::wstring& dir_local, const std::wstring& name,
                                       int binding_type = syncer::binding::type_user_choice);
    // Starts the task and waits until it is done, stopped or failed.
    static bool run(syncer::task& job);
    static bool wait_finished(const syncer::task& job);

    std::string add_remote_file(const std::string& dir_id, const std::string& name,
                                const std::string& content, std::int64_t date_modified);
    // The item at a path such as "/Docs/a.txt" (the live one when there are
    // several); nothing when there is none.
    std::optional<remote_entry> remote(const std::string& path);
    // The transfer-server commands since the last call, as "VERB argument".
    std::vector<std::string> take_transfer_commands();

    std::wstring local_folder(const std::string& below = "") const;
    boost::filesystem::path local_file(const std::string& name) const;
    // Files in the local folder (all levels) and the task's temporary folder.
    std::vector<std::string> local_names() const;
    std::vector<std::string> temp_names() const;

    static std::string pattern(std::size_t size, unsigned seed);
    static void write_file(const boost::filesystem::path& path, const std::string& bytes,
                           std::int64_t time = -1);
    static std::string read_file(const boost::filesystem::path& path);
    static std::int64_t file_time(const boost::filesystem::path& path);

    vfs_session_testing::environment env_;
    vfs_session_testing::tray_stand_in tray_;
    std::string alice_;
    std::string docs_id_;
    boost::filesystem::path local_;
};

// Keeps failures of megabytes short.
::testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual);

}  // namespace sync_task_testing
