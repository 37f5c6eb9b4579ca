// The states of a sync task as its owners move them, its order, and its
// temporary files.
#include <set>
#include <vector>

#include "syncer/core/exceptions.h"
#include "syncer/tasks/tests/task_test_support.h"
#include "utils/filesystem.h"

namespace syncer::task_testing {
namespace {

namespace fs = boost::filesystem;

binding pair_of(const std::wstring& remote, const std::wstring& local) {
    binding result(remote, local, L"", L"");
    result._type = binding::type_user_choice;
    return result;
}

class task_state_test : public task_test {
protected:
    task make(int kind, const std::wstring& filename = L"a.txt") {
        return task(pair_of(L"\\Docs", local_.wstring()), kind, L"\\Docs", local_.wstring(),
                    filename, environment_);
    }
};

TEST_F(task_state_test, StopOfAQueuedTaskAndResetKeepTheLastFailure) {
    task job = make(task::kind_upload);
    write_file(local_ / "a.txt", "content");
    EXPECT_EQ(job.get_description(), L"Sync task for a.txt");
    EXPECT_EQ(job.get_fail_time(), -1);

    // Nobody is logged in: every attempt fails.
    job.start();
    ASSERT_TRUE(wait_until([&] { return is_finished(job); }));
    ASSERT_TRUE(job.is_failed());
    EXPECT_EQ(job.get_message(), L"Not logged in");

    job.reset();
    EXPECT_TRUE(job.is_queued());
    job.stop();
    EXPECT_TRUE(job.is_stopped());
    job.reset();
    const task::status status = job.get_state();
    EXPECT_EQ(status.state, task::state_queued);
    EXPECT_EQ(status.progress, 0);
    EXPECT_EQ(job.get_message(), L"Not logged in");
    EXPECT_EQ(job.get_error_kind(), 21);

    // A copy carries the failure but not the thread.
    const task copy(job);
    EXPECT_TRUE(copy.is_queued());
    EXPECT_EQ(copy.get_message(), L"Not logged in");
    EXPECT_EQ(copy.get_fail_time(), job.get_fail_time());
    EXPECT_EQ(copy.get_state().size, 7);
}

TEST_F(task_state_test, AStopRequestIsOnlyReplacedByStopped) {
    task job = make(task::kind_download);
    job.set_state(task::state_stop_requested, 10);
    job.set_state(task::state_done, 100);
    EXPECT_EQ(job.get_state().state, task::state_stop_requested);
    EXPECT_EQ(job.get_state().progress, 100);
    job.reset();
    EXPECT_EQ(job.get_state().state, task::state_stop_requested);
    job.set_state(task::state_stopped, 0);
    EXPECT_TRUE(job.is_stopped());

    // Done is final for stop and reset.
    job.set_state(task::state_done, 100);
    job.stop();
    job.reset();
    EXPECT_TRUE(job.is_done());
}

TEST_F(task_state_test, StopWithoutAThreadEndsStoppedAndADoneTaskStaysDone) {
    task queued = make(task::kind_remove_local_file);
    queued.stop();
    EXPECT_TRUE(queued.is_stopped());
    EXPECT_EQ(environment_->client_calls(), 0);

    task job = make(task::kind_remove_local_file, L"gone.txt");
    job.start();
    ASSERT_TRUE(wait_until([&] { return is_finished(job); }));
    EXPECT_TRUE(job.is_done());
    job.stop();
    EXPECT_TRUE(job.is_done());
}

TEST_F(task_state_test, OrderGoesByBindingThenLocalThenRemoteThenName) {
    const task::less less;
    const binding first = pair_of(L"\\A", L"C:\\a");
    const binding second = pair_of(L"\\B", L"C:\\a");
    const auto make_task = [&](const binding& owner, const std::wstring& local,
                               const std::wstring& remote, const std::wstring& name) {
        return task(owner, task::kind_upload, remote, local, name, environment_);
    };
    const task base = make_task(first, L"C:\\a\\x", L"\\A\\z", L"n");

    EXPECT_TRUE(less(base, make_task(second, L"C:\\a\\a", L"\\A\\a", L"a")));
    EXPECT_TRUE(less(base, make_task(first, L"C:\\a\\y", L"\\A\\a", L"a")));
    EXPECT_TRUE(less(base, make_task(first, L"C:\\a\\x", L"\\A\\zz", L"a")));
    EXPECT_TRUE(less(base, make_task(first, L"C:\\a\\x", L"\\A\\z", L"o")));
    // Paths compare element by element, either separator alike.
    const task same = make_task(first, L"C:/a/x", L"/A/z", L"n");
    EXPECT_FALSE(less(base, same));
    EXPECT_FALSE(less(same, base));
    EXPECT_TRUE(less(make_task(first, L"C:\\a\\x\\b", L"\\A\\z", L"n"),
                     make_task(first, L"C:\\a\\x-", L"\\A\\a", L"a")));
}

TEST_F(task_state_test, TemporaryNamesTakeTheFirstFreeNumberAndAreNeverShared) {
    const fs::path folder = task::get_temp_directory();
    EXPECT_EQ(folder, utils::filesystem::get_temp_directory() / L"Calvimora");
    ASSERT_TRUE(fs::is_directory(folder));
    for (int number = 0; number < 5; ++number)
        write_file(folder / ("temp" + std::to_string(number) + ".tmp"), "x");

    const task job = make(task::kind_upload);
    const fs::path fifth = job.make_temp_path();
    EXPECT_EQ(fifth, folder / "temp5.tmp");
    EXPECT_EQ(fs::file_size(fifth), 0u);
    fs::remove(folder / "temp2.tmp");
    EXPECT_EQ(job.make_temp_path(), folder / "temp2.tmp");

    std::vector<std::thread> threads;
    std::vector<std::vector<fs::path>> names(4);
    for (auto& mine : names)
        threads.emplace_back([&job, &mine] {
            for (int call = 0; call < 25; ++call) mine.push_back(job.make_temp_path());
        });
    for (auto& thread : threads) thread.join();
    std::set<fs::path> distinct;
    for (const auto& mine : names) distinct.insert(mine.begin(), mine.end());
    EXPECT_EQ(distinct.size(), 100u);
}

TEST_F(task_state_test, ATemporaryFolderThatCannotBeMadeFailsConstruction) {
    const fs::path parent = utils::filesystem::get_temp_directory();
    fs::create_directories(parent.parent_path());
    fs::remove_all(parent);
    write_file(parent, "a file where the folder belongs");
    EXPECT_THROW(make(task::kind_upload), create_directory_exception);
}

}  // namespace
}  // namespace syncer::task_testing
