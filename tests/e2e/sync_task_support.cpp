#include "sync_task_support.h"

#include <stdlib.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <random>
#include <sstream>

#include "utils/filesystem.h"
#include "utils/locale.h"
#include "utils/time_scale.h"
#include "vfs/session.h"

namespace sync_task_testing {

namespace {

namespace fs = boost::filesystem;
using calvimora::testing::json_object;

// Read once, before any wait of the library.
const bool time_scaled = setenv(utils::time_scale_variable, "0.05", 1) == 0;

const wchar_t* const pc_id = L"6f2b9a1e-4c3d-4e5f-8a7b-9c0d1e2f3a4b";

std::vector<std::string> files_below(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
        if (fs::is_regular_file(it->symlink_status()))
            names.push_back(fs::relative(it->path(), folder).generic_string());
    }
    return names;
}

}  // namespace

sync_task_test::sync_task_test() {
    EXPECT_TRUE(time_scaled);
    utils::imbue_utf8_locale();
    alice_ = service().add_user("alice", "secret");
    vfs_session_testing::store_pc_id(pc_id);
    vfs_session_testing::login_once_session_is_up(vfs_session_testing::test_module(), L"alice",
                                                  L"secret");
    docs_id_ = service().add_folder(alice_, "0", "Docs");
    local_ = utils::filesystem::get_app_data_directory() / "Sync";
    fs::create_directories(local_);
}

std::unique_ptr<syncer::task> sync_task_test::make(int kind, const std::wstring& dir_remote,
                                                   const std::wstring& dir_local,
                                                   const std::wstring& name, int binding_type) {
    syncer::binding owner(L"\\Docs", local_folder(), L"", L"");
    owner._type = binding_type;
    return std::make_unique<syncer::task>(owner, kind, dir_remote, dir_local, name);
}

bool sync_task_test::wait_finished(const syncer::task& job) {
    return vfs_session_testing::wait_until(
        [&] { return job.is_done() || job.is_stopped() || job.is_failed(); },
        std::chrono::seconds(60));
}

bool sync_task_test::run(syncer::task& job) {
    job.start();
    return wait_finished(job);
}

std::string sync_task_test::add_remote_file(const std::string& dir_id, const std::string& name,
                                            const std::string& content,
                                            std::int64_t date_modified) {
    std::string latin1;
    for (const char byte : content) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x80) {
            latin1 += static_cast<char>(code);
        } else {
            latin1 += static_cast<char>(0xC0 | (code >> 6));
            latin1 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return service()
        .control("add_file", json_object()
                                 .set("owner_id", alice_)
                                 .set("dir_id", dir_id)
                                 .set("name", name)
                                 .set("content_latin1", latin1)
                                 .set("date_modified", date_modified))
        .get<std::string>("file_id");
}

std::optional<remote_entry> sync_task_test::remote(const std::string& path) {
    std::optional<remote_entry> found;
    const auto state = service().control("state");
    for (const auto& [ignored, item] : state.get_child("items")) {
        if (item.get<std::string>("path") != path) continue;
        remote_entry entry;
        entry.id = item.get<std::string>("id");
        entry.is_folder = item.get<bool>("is_folder");
        entry.live = item.get<bool>("live");
        entry.size = item.get<std::int64_t>("size", 0);
        entry.date_modified = item.get<std::int64_t>("date_modified", 0);
        entry.date_deleted = item.get<std::int64_t>("date_deleted", 0);
        if (!found || entry.live) found = entry;
    }
    return found;
}

std::vector<std::string> sync_task_test::take_transfer_commands() {
    std::vector<std::string> commands;
    for (const auto& command : service().transfer_commands(true))
        commands.push_back(command.command + " " + command.argument);
    return commands;
}

std::wstring sync_task_test::local_folder(const std::string& below) const {
    return (below.empty() ? local_ : local_ / below).wstring();
}

fs::path sync_task_test::local_file(const std::string& name) const {
    return local_ / name;
}

std::vector<std::string> sync_task_test::local_names() const {
    return files_below(local_);
}

std::vector<std::string> sync_task_test::temp_names() const {
    return files_below(syncer::task::get_temp_directory());
}

std::string sync_task_test::pattern(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

void sync_task_test::write_file(const fs::path& path, const std::string& bytes, std::int64_t time) {
    fs::create_directories(path.parent_path());
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << bytes;
    if (time >= 0) fs::last_write_time(path, static_cast<std::time_t>(time));
}

std::string sync_task_test::read_file(const fs::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::int64_t sync_task_test::file_time(const fs::path& path) {
    return static_cast<std::int64_t>(fs::last_write_time(path));
}

::testing::AssertionResult same_bytes(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size()
                                         << ", first difference at " << at;
}

}  // namespace sync_task_testing
