// A sync task's run under scripted time: local removals, names that must not
// reach the disk, the five attempts of a step and stopping in between.
#include <stdexcept>
#include <tuple>

#include "syncer/core/user_interface.h"
#include "syncer/tasks/task_local_files.h"
#include "syncer/tasks/tests/task_test_support.h"
#include "win/shell_file_operation.h"

namespace syncer::task_testing {
namespace {

namespace fs = boost::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

class task_run_test : public task_test {
protected:
    task make(int kind, const std::wstring& dir_local, const std::wstring& filename,
              int type = binding::type_user_choice) {
        binding owner(L"\\Docs", local_.wstring(), L"", L"");
        owner._type = type;
        return task(owner, kind, L"\\Docs\\Sub", dir_local, filename, environment_);
    }

    void run_to_end(task& job) {
        job.start();
        ASSERT_TRUE(wait_until([&] { return is_finished(job); }));
    }
};

// Only the names a download writes beside its target: prefix, a decimal
// number, suffix, nothing around them.
TEST(ReplacementNames, AreTheDownloadsOwnAndNoOtherName) {
    for (const wchar_t* name : {L".calvimora-0.tmp", L".calvimora-4711.tmp"})
        EXPECT_TRUE(is_replacement_name(name)) << name;
    for (const wchar_t* name :
         {L".calvimora-.tmp", L".calvimora-1a.tmp", L"x.calvimora-1.tmp", L".calvimora-1.tmpx",
          L".Calvimora-1.tmp", L".calvimora-1.TMP", L".calvimora-\x0661.tmp", L".calvimora-", L"",
          L"calvimora-1.tmp", L".calvimora--1.tmp"})
        EXPECT_FALSE(is_replacement_name(name)) << name;
}

// Whatever the engine removes locally, the person can take back from the
// desktop's trash.
TEST_F(task_run_test, LocalRemovalsGoToTheTrashAndCountMissingAsDone) {
    write_file(local_ / "a.txt", "a");
    task file_job = make(task::kind_remove_local_file, local_.wstring(), L"a.txt");
    run_to_end(file_job);
    EXPECT_TRUE(file_job.is_done());
    EXPECT_EQ(file_job.get_state().progress, 100);
    EXPECT_FALSE(fs::exists(local_ / "a.txt"));
    const fs::path trash = win_machine::trash_dir();
    EXPECT_EQ(read_file(trash / "files" / "a.txt"), "a");
    EXPECT_NE(
        read_file(trash / "info" / "a.txt.trashinfo").find("Path=" + local_.string() + "/a.txt\n"),
        std::string::npos);
    task again = make(task::kind_remove_local_file, local_.wstring(), L"a.txt");
    run_to_end(again);
    EXPECT_TRUE(again.is_done());

    // A folder of empty folders goes.
    fs::create_directories(local_ / "tree" / "deeper" / "deepest");
    task folder_job = make(task::kind_remove_local_folder, (local_ / "tree").wstring(), L"");
    run_to_end(folder_job);
    EXPECT_TRUE(folder_job.is_done());
    EXPECT_FALSE(fs::exists(local_ / "tree"));
    EXPECT_TRUE(fs::is_directory(trash / "files" / "tree" / "deeper" / "deepest"));
    EXPECT_EQ(environment_->client_calls(), 0);
    for (const win_test::file_operation& call : win_test::file_operations())
        EXPECT_EQ(call.flags, FOF_ALLOWUNDO | FOF_NO_UI);
    EXPECT_EQ(win_test::file_operations().size(), 2u);
}

TEST_F(task_run_test, AFolderRemovalKeepsWhatNoRemovalWasDecidedFor) {
    // A file that came after the scan decided, and a link to a folder outside:
    // both stay with the folders that hold them, and the task fails.
    const fs::path outside = fs::path(root_.path()) / "outside";
    fs::create_directories(outside);
    write_file(outside / "keep.txt", "keep");
    fs::create_directories(local_ / "tree" / "empty");
    fs::create_directories(local_ / "tree" / "deeper");
    write_file(local_ / "tree" / "deeper" / "new.txt", "new");
    fs::create_directory_symlink(outside, local_ / "tree" / "link");
    task folder_job = make(task::kind_remove_local_folder, (local_ / "tree").wstring(), L"");
    run_to_end(folder_job);
    EXPECT_TRUE(folder_job.is_failed());
    EXPECT_EQ(folder_job.get_error_kind(), message_kind::remove_local);
    EXPECT_NE(folder_job.get_message().find(L"is not empty"), std::wstring::npos);
    EXPECT_EQ(fs::file_size(local_ / "tree" / "deeper" / "new.txt"), 3u);
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    EXPECT_TRUE(fs::is_symlink(local_ / "tree" / "link"));
    EXPECT_FALSE(fs::exists(local_ / "tree" / "empty"));
    EXPECT_TRUE(fs::is_directory(fs::path(win_machine::trash_dir()) / "files" / "empty"));
}

TEST_F(task_run_test, NamesThatLeaveTheFolderFailWithoutTouchingTheDisk) {
    fs::create_directories(local_ / "inner");
    write_file(local_ / "victim.txt", "precious");
    const std::wstring inner = (local_ / "inner").wstring();
    const std::vector<std::pair<int, std::pair<std::wstring, std::wstring>>> cases = {
        {task::kind_remove_local_file, {inner, L".."}},
        {task::kind_remove_local_file, {inner, L"..\\victim.txt"}},
        {task::kind_remove_local_file, {inner, L"../victim.txt"}},
        {task::kind_remove_local_file, {inner, L""}},
        {task::kind_remove_local_file, {inner, std::wstring(L"a\0b", 3)}},
        {task::kind_remove_local_folder, {inner + L"\\..", L""}},
        {task::kind_remove_local_folder, {L"/", L""}},
        {task::kind_remove_local_folder, {L"C:\\", L""}},
        {task::kind_download, {inner, L".."}},
        {task::kind_upload, {inner + L"/../..", L"victim.txt"}},
    };
    for (const auto& [kind, paths] : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << kind);
        task job = make(kind, paths.first, paths.second);
        run_to_end(job);
        EXPECT_TRUE(job.is_failed());
        EXPECT_EQ(job.get_error_kind(), message_kind::none);
        EXPECT_EQ(job.get_message(), L"Invalid local path");
    }
    EXPECT_TRUE(fs::exists(local_ / "victim.txt"));
    EXPECT_TRUE(fs::exists(local_ / "inner"));
    EXPECT_EQ(environment_->client_calls(), 0);
}

TEST_F(task_run_test, AFailingStepIsTriedFiveTimesTenSecondsApart) {
    write_file(local_ / "up.txt", "up");
    // The remote removal's file is gone locally: a local file there would
    // keep the remote one without asking the service.
    const std::vector<std::tuple<int, int, std::wstring>> kinds = {
        {task::kind_upload, message_kind::open_remote_folder, L"up.txt"},
        {task::kind_download, message_kind::remote_file_info, L"up.txt"},
        {task::kind_remove_remote_file, message_kind::remove_remote, L"gone.txt"},
    };
    int calls = 0;
    for (const auto& [kind, expected_kind, name] : kinds) {
        SCOPED_TRACE(testing::Message() << "kind " << kind);
        const auto before = environment_->elapsed();
        task job = make(kind, local_.wstring(), name);
        run_to_end(job);
        EXPECT_TRUE(job.is_failed());
        EXPECT_EQ(job.get_state().progress, 0);
        EXPECT_EQ(job.get_error_kind(), expected_kind);
        EXPECT_EQ(job.get_message(), L"Not logged in");
        EXPECT_EQ(environment_->client_calls() - calls, 5);
        calls = environment_->client_calls();
        // Four waits of ten seconds, each made of 100 ms slices.
        EXPECT_EQ(environment_->elapsed() - before, seconds(40));
        EXPECT_EQ(job.get_fail_time(), environment_->now());
    }
    EXPECT_EQ(environment_->waits(), 3 * 400);
    EXPECT_TRUE(fs::is_empty(task::get_temp_directory()));
}

TEST_F(task_run_test, AStopDuringARetryWaitEndsTheTaskWithinOneSlice) {
    write_file(local_ / "up.txt", "up");
    environment_->pause_at(milliseconds(15000));
    task job = make(task::kind_upload, local_.wstring(), L"up.txt");
    job.start();
    ASSERT_TRUE(environment_->wait_until_paused());
    EXPECT_TRUE(job.is_running());

    // The thread is busy: a second start does not run the job again.
    job.start();
    EXPECT_TRUE(job.is_running());
    EXPECT_EQ(environment_->client_calls(), 2);

    job.stop();
    EXPECT_TRUE(job.is_stopped());
    EXPECT_EQ(job.get_state().progress, 0);
    EXPECT_EQ(environment_->elapsed(), milliseconds(15000));
    EXPECT_EQ(environment_->client_calls(), 2);
    EXPECT_EQ(job.get_fail_time(), -1);

    // A stopped task starts again from its first step once reset.
    environment_->pause_at(milliseconds(-1));
    job.reset();
    run_to_end(job);
    EXPECT_TRUE(job.is_failed());
    EXPECT_EQ(environment_->client_calls(), 7);
}

TEST_F(task_run_test, UnexpectedFailuresEndAtOnceAndUnknownKindsAreDone) {
    environment_->set_client_source(
        []() -> vfs::client_ptr { throw std::runtime_error("not a vfs failure"); });
    task job = make(task::kind_remove_remote_folder, local_.wstring(), L"");
    run_to_end(job);
    EXPECT_TRUE(job.is_failed());
    EXPECT_EQ(job.get_error_kind(), message_kind::none);
    EXPECT_EQ(job.get_message(), L"Unknown error");
    EXPECT_EQ(environment_->client_calls(), 1);
    EXPECT_EQ(environment_->waits(), 0);

    task odd = make(17, local_.wstring(), L"x");
    run_to_end(odd);
    EXPECT_TRUE(odd.is_done());
}

TEST_F(task_run_test, AnUploadOfAMissingFileSendsNothing) {
    task job = make(task::kind_upload, local_.wstring(), L"never-there.txt");
    run_to_end(job);
    EXPECT_TRUE(job.is_done());
    EXPECT_EQ(job.get_state().size, -1);
    EXPECT_EQ(environment_->client_calls(), 0);
}

}  // namespace
}  // namespace syncer::task_testing
