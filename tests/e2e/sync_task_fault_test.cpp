// Sync tasks when things go wrong: transfers cut by the service, a local
// edit during a download, a stop during a retry wait and a task process
// killed in the middle of a download.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <functional>

#include "sync_task_support.h"
#include "syncer/core/user_interface.h"

extern char** environ;

namespace sync_task_testing {
namespace {

namespace fs = boost::filesystem;
using calvimora::testing::request_fault;
using calvimora::testing::transfer_fault;
using syncer::task;

bool resumed_at(const std::vector<std::string>& commands, const std::string& offset) {
    return std::find(commands.begin(), commands.end(), "REST " + offset) != commands.end();
}

TEST_F(sync_task_test, TransfersCutByTheServiceArriveWhole) {
    const std::string down = pattern(400000, 3);
    add_remote_file(docs_id_, "down.bin", down, base_time);
    transfer_fault cut_download;
    cut_download.direction = "download";
    cut_download.kind = "cut";
    cut_download.after = 100000;
    service().arm(cut_download);
    take_transfer_commands();
    auto download = make(task::kind_download, L"\\Docs", local_folder(), L"down.bin");
    ASSERT_TRUE(run(*download));
    ASSERT_TRUE(download->is_done()) << syncer::to_utf8(download->get_message());
    EXPECT_TRUE(same_bytes(down, read_file(local_file("down.bin"))));
    EXPECT_EQ(file_time(local_file("down.bin")), base_time);
    const auto download_commands = take_transfer_commands();
    EXPECT_EQ(std::count_if(download_commands.begin(), download_commands.end(),
                            [](const std::string& c) { return c.rfind("RETR", 0) == 0; }),
              2);

    const std::string up = pattern(400000, 4);
    write_file(local_file("up.bin"), up, base_time);
    transfer_fault cut_upload;
    cut_upload.direction = "upload";
    cut_upload.kind = "cut";
    cut_upload.after = 150000;
    service().arm(cut_upload);
    auto upload = make(task::kind_upload, L"\\Docs", local_folder(), L"up.bin");
    ASSERT_TRUE(run(*upload));
    ASSERT_TRUE(upload->is_done()) << syncer::to_utf8(upload->get_message());
    const auto sent = remote("/Docs/up.bin");
    ASSERT_TRUE(sent && sent->live);
    EXPECT_TRUE(same_bytes(up, service().file_content(sent->id)));
    EXPECT_EQ(sent->date_modified, base_time);
    const auto upload_commands = take_transfer_commands();
    EXPECT_FALSE(resumed_at(upload_commands, "0"));
    EXPECT_TRUE(std::any_of(
        upload_commands.begin(), upload_commands.end(),
        [](const std::string& c) { return c.rfind("REST ", 0) == 0 || c.rfind("APPE", 0) == 0; }));
    EXPECT_TRUE(temp_names().empty());
}

class sync_task_edit_test : public sync_task_test {
protected:
    // A download stalled half-way while edit changes the local file: the
    // edit is kept, the task fails, and no temporary file is left.
    void expect_an_edit_during_a_download_kept(const std::string& edited,
                                               const std::function<void()>& edit);
};

void sync_task_edit_test::expect_an_edit_during_a_download_kept(const std::string& edited,
                                                                const std::function<void()>& edit) {
    write_file(local_file("doc.txt"), "original", base_time - 100);
    add_remote_file(docs_id_, "doc.txt", pattern(400000, 5), base_time);
    transfer_fault stall;
    stall.direction = "download";
    stall.kind = "stall";
    stall.after = 100000;
    stall.seconds = 2;
    service().arm(stall);

    auto job = make(task::kind_download, L"\\Docs", local_folder(), L"doc.txt");
    job->start();
    ASSERT_TRUE(vfs_session_testing::wait_until([&] { return job->get_state().progress > 0; }));
    edit();
    ASSERT_TRUE(wait_finished(*job));

    EXPECT_TRUE(job->is_failed());
    EXPECT_EQ(job->get_error_kind(), syncer::message_kind::none);
    EXPECT_EQ(job->get_message(), L"Local file is newer or remote file has zero length");
    EXPECT_TRUE(same_bytes(edited, read_file(local_file("doc.txt"))));
    EXPECT_EQ(local_names(), std::vector<std::string>{"doc.txt"});
    EXPECT_TRUE(temp_names().empty());
}

TEST_F(sync_task_edit_test, ALocalEditDuringADownloadIsKept) {
    expect_an_edit_during_a_download_kept("edited during the download", [&] {
        write_file(local_file("doc.txt"), "edited during the download");
    });
}

// An edit that neither the size nor the second of its time tells apart is
// kept all the same.
TEST_F(sync_task_edit_test, ALocalEditOfTheSameSizeWithinTheSameSecondIsKept) {
    expect_an_edit_during_a_download_kept("ORIGINAL", [&] {
        write_file(local_file("doc.txt"), "ORIGINAL", base_time - 100);
        const timespec same_second[2] = {{base_time - 100, 250000000},
                                         {base_time - 100, 250000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, local_file("doc.txt").c_str(), same_second, 0), 0);
    });
}

TEST_F(sync_task_test, AStopDuringARetryWaitCleansUpAtOnce) {
    write_file(local_file("new.bin"), pattern(100000, 6), base_time);
    request_fault refuse;
    refuse.target = "open_file_upload";
    refuse.kind = "error";
    refuse.count = 0;
    service().arm(refuse);

    auto job = make(task::kind_upload, L"\\Docs", local_folder(), L"new.bin");
    job->start();
    ASSERT_TRUE(vfs_session_testing::wait_until([&] {
        const auto requests = service().requests();
        return std::any_of(requests.begin(), requests.end(), [](const auto& request) {
            return request.action == "open_file_upload";
        });
    }));
    // The wait between attempts lasts 0.5 s here; a stop ends it at once.
    const auto asked = std::chrono::steady_clock::now();
    job->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(250));

    EXPECT_TRUE(job->is_stopped());
    EXPECT_EQ(job->get_state().progress, 0);
    EXPECT_TRUE(temp_names().empty());
    const auto created = remote("/Docs/new.bin");
    ASSERT_TRUE(created);
    EXPECT_FALSE(created->live);
    EXPECT_NE(created->date_deleted, 0);
    EXPECT_EQ(local_names(), std::vector<std::string>{"new.bin"});
}

// Runs the helper program, which downloads one file with a task of its own.
pid_t start_helper(const std::string& dir_remote, const std::string& dir_local,
                   const std::string& name) {
    std::string program = (vfs_session_testing::program_folder() / "sync_task_helper").string();
    std::vector<std::string> arguments{program, dir_remote, dir_local, name};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return child;
}

TEST_F(sync_task_test, ATaskProcessKilledInADownloadLeavesTheLocalFileIntact) {
    write_file(local_file("big.bin"), "the user's version", base_time - 100);
    const std::string bytes = pattern(2000000, 7);
    add_remote_file(docs_id_, "big.bin", bytes, base_time);
    transfer_fault stall;
    stall.direction = "download";
    stall.kind = "stall";
    stall.after = 500000;
    stall.seconds = 20;
    service().arm(stall);

    const pid_t helper = start_helper("\\Docs", local_.string(), "big.bin");
    ASSERT_GT(helper, 0);
    // Killed once part of the file has arrived in its temporary file.
    const bool arrived = vfs_session_testing::wait_until([&] {
        const auto folder = syncer::task::get_temp_directory();
        for (const auto& name : temp_names())
            if (fs::file_size(folder / name) >= 400000) return true;
        return false;
    });
    kill(helper, SIGKILL);
    int status = 0;
    waitpid(helper, &status, 0);
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(WIFSIGNALED(status));

    EXPECT_TRUE(same_bytes("the user's version", read_file(local_file("big.bin"))));
    EXPECT_EQ(file_time(local_file("big.bin")), base_time - 100);
    EXPECT_EQ(local_names(), std::vector<std::string>{"big.bin"});

    // The next run converges.
    service().disarm();
    auto job = make(task::kind_download, L"\\Docs", local_folder(), L"big.bin");
    ASSERT_TRUE(run(*job));
    ASSERT_TRUE(job->is_done()) << syncer::to_utf8(job->get_message());
    EXPECT_TRUE(same_bytes(bytes, read_file(local_file("big.bin"))));
    EXPECT_EQ(file_time(local_file("big.bin")), base_time);
}

}  // namespace
}  // namespace sync_task_testing
