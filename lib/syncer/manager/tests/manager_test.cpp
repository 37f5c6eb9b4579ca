// The sync manager: its start, its two threads, the control operations and
// its end, with a fake remote and an environment whose waits the test holds.
#include <atomic>

#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/manager/manager.h"
#include "syncer/scan/tests/scan_test_support.h"
#include "syncer/tables/binding_manager.h"

namespace syncer::scan_testing {
namespace {

using std::chrono::milliseconds;

const milliseconds runner_period{5000};
const milliseconds scan_step{1000};

class SyncManager : public scan_test {
protected:
    // A folder binding that may do everything without asking.
    binding bind_allowing(const std::wstring& dir_remote, const std::wstring& dir_local) {
        binding made(dir_remote, dir_local, L"", L"");
        made._type = binding::type_user_choice;
        made.rule = sync_rule({sync_permission::yes, sync_permission::yes, sync_permission::yes,
                               sync_permission::yes, sync_permission::yes, sync_permission::yes,
                               sync_permission::yes, sync_permission::yes});
        return add(made);
    }

    void start() { engine = std::make_unique<manager>(user, &ui, environment); }

    // Starts the manager and returns once its runner waits for a cycle. The
    // runner's first cycle comes at once, so work put in place before that
    // could be started by it; work put in place after waits for the test.
    void start_with_runner_held() {
        environment->hold(runner_period);
        start();
        ASSERT_TRUE(environment->wait_until_held(runner_period));
    }

    std::list<task> current_tasks() {
        std::list<task> result;
        EXPECT_TRUE(eventually([&] {
            try {
                result = engine->get_tasks();
                return true;
            } catch (const busy_exception&) {
                return false;
            }
        }));
        return result;
    }

    int count_in_state(int state) {
        int count = 0;
        for (const task& job : current_tasks()) count += job.get_state().state == state;
        return count;
    }

    // Lets the held runner make one cycle and waits until it is held again.
    void one_runner_cycle() {
        const int begun = environment->held_waits_begun(runner_period);
        environment->let_one_pass(runner_period);
        ASSERT_TRUE(environment->wait_until_held(runner_period, begun));
    }

    ~SyncManager() override {
        remote->release_transfers();
        environment->release(runner_period);
        environment->release(scan_step);
        engine.reset();
    }

    std::unique_ptr<manager> engine;
};

TEST_F(SyncManager, AFreshUserGetsItsFoldersAndTheDefaultBinding) {
    start();
    const fs::path saved = manager::get_files_saved_directory(user);
    EXPECT_TRUE(fs::is_directory(saved));
    EXPECT_TRUE(fs::is_directory(binding_manager::get_settings_directory(user)));
    const binding_set bindings = locked_get_bindings(user);
    ASSERT_EQ(bindings.size(), 1u);
    const binding& saved_files = *bindings.begin();
    EXPECT_EQ(saved_files.dir_remote, L"Calvimora");
    EXPECT_EQ(saved_files._type, binding::type_saved_files);
    EXPECT_EQ(saved_files.can_recourse_subdirs, sync_permission::yes);
    EXPECT_EQ(saved_files.rule, binding::default_rule());
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(SyncManager, ATableRestoredFromItsBackupIsReportedOnce) {
    bind_allowing(L"sync", local);
    const fs::path table = binding_manager::get_bindings_path(user);
    fs::copy_file(table, fs::path(table.string() + ".bak"));
    std::ofstream(table.native(), std::ios::trunc) << "<sync_bindings><binding>";
    start();
    EXPECT_EQ(ui.messages(), std::vector<int>{information_table_restored});
    EXPECT_EQ(locked_get_bindings(user).size(), 2u);
}

// The pairs are gone with the table: the user is told where the damaged
// table is kept, so they can be set up again.
TEST_F(SyncManager, ABindingTableLostWithItsBackupIsToldWithTheKeptFile) {
    bind_allowing(L"sync", local);
    const fs::path table = binding_manager::get_bindings_path(user);
    std::ofstream(table.native(), std::ios::trunc) << "<sync_bindings><binding>";
    std::ofstream(table.native() + ".bak", std::ios::trunc) << "<sync_bind";
    start();
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(table.wstring() + L".bad"), std::wstring::npos);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(fs::exists(table.native() + ".bad"));
}

// A crash between writes can leave the backup alone, and it damaged: the
// user is told of it as of a damaged table, and the item tables of the
// pairs it held outlive the next starts.
TEST_F(SyncManager, ABindingTableMissingWithADamagedBackupIsToldWithTheKeptFile) {
    const binding pair = bind_allowing(L"sync", local);
    const fs::path table = binding_manager::get_bindings_path(user);
    const fs::path items = items_manager::get_items_path(pair.items_filename, user);
    std::ofstream(items.native()) << "<sync_items></sync_items>";
    fs::remove(table);
    std::ofstream(table.native() + ".bak", std::ios::trunc) << "<sync_bind";
    start();
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(table.wstring() + L".bad"), std::wstring::npos);
    std::ifstream kept(table.native() + ".bad");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "<sync_bind");

    engine.reset();
    start();
    EXPECT_EQ(ui.notices().size(), 1u);
    EXPECT_TRUE(fs::exists(items));
}

// The task list of a binding table that cannot be read is unknown, not
// empty: the tray would end syncing without asking.
TEST_F(SyncManager, TheTasksOfAnUnreadableBindingTableAreAnError) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    start_with_runner_held();
    write_local(L"up.txt", "up", t0);
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_queued) == 1; }));
    std::ofstream(binding_manager::get_bindings_path(user).native(), std::ios::trunc) << "<sync";
    EXPECT_THROW(engine->get_tasks(), serializer::serializer_exception);
}

TEST_F(SyncManager, AtMostFiveTasksRunAndEachIsStartedOnce) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    remote->hold_transfers();
    start_with_runner_held();
    for (int index = 0; index < 7; ++index)
        remote->put_file(L"sync/file" + std::to_wstring(index), "content", t0);
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_queued) == 7; }));

    one_runner_cycle();
    EXPECT_TRUE(eventually([&] { return count_in_state(task::state_running) == 5; }));
    EXPECT_EQ(count_in_state(task::state_queued), 2);
    EXPECT_TRUE(eventually([&] { return remote->waiting_transfers() == 5; }));

    remote->release_transfers();
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_running) == 0; }));
    // A finished task makes room only once its thread has ended, which on a
    // loaded machine may come after the next cycle: cycles are let through
    // one by one until the two queued tasks have started.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (count_in_state(task::state_queued) > 0 && std::chrono::steady_clock::now() < deadline)
        one_runner_cycle();
    EXPECT_EQ(count_in_state(task::state_queued), 0);
    EXPECT_TRUE(eventually([&] { return local_exists(L"file5") && local_exists(L"file6"); }));
    EXPECT_GE(ui.tasks_changed_calls(), 2);
}

// The runner's cycle is only its longest wait: work the scan queued starts
// at once, and a task that ends makes room for the next queued one at once.
// Here a cycle would last a minute, longer than the test's deadline.
TEST_F(SyncManager, QueuedWorkAndEndingTasksWakeTheRunner) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    for (int index = 0; index < 7; ++index)
        remote->put_file(L"sync/file" + std::to_wstring(index), "content", t0);
    remote->hold_transfers();
    environment->stretch(runner_period);
    start();
    ASSERT_TRUE(eventually([&] { return remote->waiting_transfers() == 5; }));
    EXPECT_EQ(count_in_state(task::state_queued), 2);

    remote->release_transfers();
    EXPECT_TRUE(eventually([&] {
        for (int index = 0; index < 7; ++index) {
            if (!local_exists(L"file" + std::to_wstring(index))) return false;
        }
        return true;
    }));
}

// Each task that ends lets the runner start the next one at once; the user
// interface, which reads the whole list for every notice, hears of such a
// burst of starts a few times a second, not once per task.
TEST_F(SyncManager, ABurstOfStartsIsToldAFewTimesASecond) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    constexpr int files = 60;
    for (int index = 0; index < files; ++index)
        remote->put_file(L"sync/file" + std::to_wstring(index), "content", t0);
    // One scan pass (its notice, then no more passes); the runner's cycles
    // come only as tasks end.
    environment->stretch(runner_period);
    environment->stretch(scan_step);
    const auto started = std::chrono::steady_clock::now();
    start();
    ASSERT_TRUE(eventually([&] {
        for (int index = 0; index < files; ++index) {
            if (!local_exists(L"file" + std::to_wstring(index))) return false;
        }
        return true;
    }));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const int at_most = 3 + static_cast<int>(elapsed / milliseconds(200));
    EXPECT_LE(ui.tasks_changed_calls(), at_most);
    EXPECT_GE(ui.tasks_changed_calls(), 1);
}

TEST_F(SyncManager, AFailedTaskStartsAgainOnlyOnceItsFailureIsOlderThanAMinute) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    start_with_runner_held();
    write_local(L"up.txt", "up", t0);
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_queued) == 1; }));

    remote->fail_lookup(L"sync");
    one_runner_cycle();
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_failed) == 1; }));
    const auto fail_time = [&] { return current_tasks().front().get_fail_time(); };
    EXPECT_EQ(fail_time(), test_environment::start_time);

    environment->advance(60);
    one_runner_cycle();
    EXPECT_EQ(count_in_state(task::state_failed), 1);
    EXPECT_EQ(fail_time(), test_environment::start_time);

    // The first run's thread may still be on its way out during a cycle; the
    // next cycle starts the task then.
    environment->advance(1);
    EXPECT_TRUE(eventually([&] {
        one_runner_cycle();
        return fail_time() == test_environment::start_time + 61;
    }));
}

TEST_F(SyncManager, TheTaskListIsBusyWhileTheScanWaitsForAnAnswer) {
    bind(L"sync", local);
    write_local(L"ask.txt", "a", t0);
    std::mutex answer_lock;
    std::condition_variable answered;
    bool may_answer = false;
    std::atomic<bool> asking{false};
    ui.on_question([&](const asked_question&) {
        asking = true;
        std::unique_lock<std::mutex> guard(answer_lock);
        answered.wait_for(guard, std::chrono::seconds(20), [&] { return may_answer; });
    });
    start();
    ASSERT_TRUE(eventually([&] { return asking.load(); }));
    EXPECT_THROW(engine->get_tasks(), busy_exception);
    {
        std::lock_guard<std::mutex> guard(answer_lock);
        may_answer = true;
    }
    answered.notify_all();
    EXPECT_TRUE(eventually([&] {
        try {
            engine->get_tasks();
            return true;
        } catch (const busy_exception&) {
            return false;
        }
    }));
}

TEST_F(SyncManager, TasksStopAndResumePerTaskPerBindingAndForAll) {
    const binding first = bind_allowing(L"one", join_path(local, L"one"));
    const binding second = bind_allowing(L"two", join_path(local, L"two"));
    remote->add_folder(L"one");
    remote->add_folder(L"two");
    start_with_runner_held();
    remote->put_file(L"one/a", "a", t0);
    remote->put_file(L"one/b", "b", t0);
    remote->put_file(L"two/c", "c", t0);
    ASSERT_TRUE(eventually([&] { return count_in_state(task::state_queued) == 3; }));

    engine->stop_binding(first);
    EXPECT_EQ(count_in_state(task::state_stopped), 2);
    remote->put_file(L"one/new", "n", t0);
    EXPECT_TRUE(eventually([&] { return count_in_state(task::state_stopped) == 3; }));
    engine->resume_binding(first);
    EXPECT_EQ(count_in_state(task::state_queued), 4);

    engine->stop_all();
    EXPECT_EQ(count_in_state(task::state_stopped), 4);
    engine->resume_all();
    EXPECT_EQ(count_in_state(task::state_queued), 4);

    const auto state_of_c = [&] {
        for (const task& job : current_tasks()) {
            if (job.get_filename() == L"c") return job.get_state().state;
        }
        return -1;
    };
    const task c(second, task::kind_download, L"two", join_path(local, L"two"), L"c", environment);
    engine->stop_task(c);
    EXPECT_EQ(state_of_c(), task::state_stopped);
    engine->restart_task(c);
    EXPECT_EQ(state_of_c(), task::state_queued);

    const task stranger(second, task::kind_download, L"two", join_path(local, L"two"), L"zzz",
                        environment);
    EXPECT_THROW(engine->stop_task(stranger), task_not_found_exception);
    EXPECT_THROW(engine->restart_task(stranger), task_not_found_exception);
}

TEST_F(SyncManager, RemovingABindingEndsItsTasksAndScanningGoesOn) {
    const binding gone = bind_allowing(L"gone", join_path(local, L"gone"));
    bind_allowing(L"kept", join_path(local, L"kept"));
    remote->put_file(L"gone/big.bin", std::string(100000, 'x'), t0);
    remote->add_folder(L"kept");
    remote->hold_transfers(milliseconds(300));
    start();
    ASSERT_TRUE(eventually([&] { return remote->waiting_transfers() == 1; }));

    engine->remove_binding(gone);
    EXPECT_EQ(remote->waiting_transfers(), 0);
    EXPECT_TRUE(current_tasks().empty());
    EXPECT_FALSE(local_exists(L"gone/big.bin"));

    // A removal the table refuses still leaves the scan running.
    EXPECT_THROW(engine->remove_binding(gone), binding_not_found_exception);
    remote->release_transfers();
    remote->put_file(L"kept/late.txt", "late", t0);
    EXPECT_TRUE(eventually([&] { return local_exists(L"kept/late.txt"); }));
}

// A forced binding whose turn fails is tried again soon, then less and less
// often, down to the regular rhythm: a failure that lasts cannot spin.
TEST_F(SyncManager, AForcedBindingThatKeepsFailingIsRetriedLessAndLessOften) {
    binding forced(L"forced", join_path(local, L"forced"), L"", L"");
    forced._type = binding::type_user_choice;
    forced._mode = 0;
    add(forced);
    {
        binding_manager table(user, true);
        table.set_force_sync_once(forced);
    }
    remote->fail_lookup(L"forced");
    environment->hold(scan_step);
    start();
    // The one-second waits after each pass, counted while the scan thread is
    // held in one of them.
    std::vector<int> waits_between;
    int waits = 0;
    int passes_seen = 0;
    while (waits_between.size() < 7) {
        ASSERT_TRUE(environment->wait_until_held(scan_step, waits));
        ++waits;
        const int passes = remote->lookups(L"forced");
        if (passes > passes_seen) {
            waits_between.push_back(0);
            passes_seen = passes;
        }
        ++waits_between.back();
        environment->let_one_pass(scan_step);
    }
    waits_between.pop_back();
    EXPECT_EQ(waits_between, (std::vector<int>{1, 2, 4, 8, 16, 30}));
    EXPECT_TRUE(locked_get_bindings(user).find(forced)->force_sync_once);
}

TEST_F(SyncManager, AForcedBindingCutsTheWaitBetweenPassesShort) {
    binding forced(L"forced", join_path(local, L"forced"), L"", L"");
    forced._type = binding::type_user_choice;
    forced._mode = 0;
    forced.rule.can_upload = sync_permission::yes;
    add(forced);
    write_local(L"forced/now.txt", "now", t0);
    environment->hold(scan_step);
    environment->hold(runner_period);
    start();
    ASSERT_TRUE(environment->wait_until_held(scan_step));
    {
        binding_manager table(user, true);
        table.set_force_sync_once(forced);
    }
    // A pass has ended when the scanner waits between passes again: the test
    // waits for that, not for the table or the task list to change, which
    // polling would contend for with the scanner. A forced pass that fails
    // (seen on a loaded machine) is tried again after a step or two, so
    // steps are let through one by one; without the binding's request the
    // scanner would wait thirty of them.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (current_tasks().empty() && std::chrono::steady_clock::now() < deadline) {
        const int begun = environment->held_waits_begun(scan_step);
        environment->let_one_pass(scan_step);
        ASSERT_TRUE(environment->wait_until_held(scan_step, begun));
    }
    EXPECT_EQ(current_tasks().size(), 1u);
    EXPECT_LT(environment->waits(scan_step), 10);
    EXPECT_FALSE(locked_get_bindings(user).find(forced)->force_sync_once);
    EXPECT_GE(ui.tasks_changed_calls(), 1);
}

// Every task has ended before the temporary folder is emptied, even when the
// binding table cannot be read at that moment.
TEST_F(SyncManager, DestructionEndsEveryTaskBeforeEmptyingTheTemporaryFolder) {
    bind_allowing(L"sync", local);
    remote->add_folder(L"sync");
    write_local(L"upload.txt", std::string(1000, 'u'), t0);
    remote->hold_transfers(milliseconds(1500));
    start();
    ASSERT_TRUE(eventually([&] { return remote->waiting_transfers() == 1; }));
    const fs::path temporary = manager::get_manager_temp_directory();
    ASSERT_FALSE(fs::is_empty(temporary));

    std::atomic<int> transfers_when_emptied{-1};
    std::thread watcher([&] {
        eventually([&] { return fs::is_empty(temporary); });
        transfers_when_emptied = remote->waiting_transfers();
    });
    std::ofstream(binding_manager::get_bindings_path(user).native(), std::ios::trunc) << "<";
    engine.reset();
    watcher.join();
    EXPECT_EQ(transfers_when_emptied, 0);
    EXPECT_TRUE(fs::is_empty(temporary));
}

TEST_F(SyncManager, TheEndRemovesEmptySavedFoldersButNotOnesWithHiddenFiles) {
    start();
    const fs::path saved = manager::get_files_saved_directory(user);
    fs::create_directories(saved / "empty" / "emptier");
    fs::create_directories(saved / "hidden");
    std::ofstream((saved / "hidden" / "h.txt").native()) << "h";
    const std::wstring hidden_file = (saved / "hidden" / "h.txt").wstring();
    ASSERT_TRUE(SetFileAttributesW(hidden_file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    engine.reset();
    EXPECT_FALSE(fs::exists(saved / "empty"));
    EXPECT_TRUE(fs::exists(saved / "hidden" / "h.txt"));
}

}  // namespace
}  // namespace syncer::scan_testing
