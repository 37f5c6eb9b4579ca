// What the scan and manager tests share: a user interface that answers from
// a script, an environment whose clock, waits and session the test controls,
// and a fixture with a machine root, a local folder and a fake remote.
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "syncer/core/answer.h"
#include "syncer/core/user_interface.h"
#include "syncer/scan/scan_pass.h"
#include "syncer/scan/tests/scan_fake_remote.h"
#include "syncer/scan/tests/scan_scripted_ui.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "vfs/calvimora_exception.h"
#include "win/file.h"
#include "win/machine.h"

namespace syncer::scan_testing {

namespace fs = boost::filesystem;

// Time the test moves; waits a thousand times shorter than asked, or held
// until released; the fake remote's session.
class test_environment : public task_environment {
public:
    static constexpr std::int64_t start_time = 1700000000;

    explicit test_environment(std::shared_ptr<fake_remote> remote) : remote_(std::move(remote)) {}

    std::int64_t now() override {
        std::lock_guard<std::mutex> guard(mutex_);
        return start_time + advanced_;
    }

    void wait(std::chrono::milliseconds duration, const stop_signal& stop) override {
        const auto length = duration.count();
        std::unique_lock<std::mutex> guard(mutex_);
        ++waits_[length];
        if (held_.contains(length)) {
            ++waiting_[length];
            ++entered_[length];
            changed_.notify_all();
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (held_.contains(length) && passes_[length] == 0 && !stop.is_raised() &&
                   std::chrono::steady_clock::now() < give_up)
                changed_.wait_for(guard, std::chrono::milliseconds(2));
            if (passes_[length] > 0) --passes_[length];
            --waiting_[length];
            return;
        }
        if (stretched_.contains(length)) {
            guard.unlock();
            stop.wait_for(stretched_length);
            return;
        }
        guard.unlock();
        stop.wait_for(
            std::max(std::chrono::microseconds(duration) / 1000, std::chrono::microseconds(200)));
    }

    std::chrono::microseconds real_length(std::chrono::milliseconds duration) override {
        return duration;
    }

    vfs::client_ptr get_client() override { return remote_->client(); }

    void advance(std::int64_t seconds) {
        std::lock_guard<std::mutex> guard(mutex_);
        advanced_ += seconds;
    }
    // Waits of this length block until released (or their thread is stopped).
    void hold(std::chrono::milliseconds duration) {
        std::lock_guard<std::mutex> guard(mutex_);
        held_.insert(duration.count());
    }
    // Waits of this length last a minute of the real clock, unless their
    // stop signal is raised or poked: a test that finishes well within that
    // proves the thread was woken.
    static constexpr std::chrono::seconds stretched_length{60};
    void stretch(std::chrono::milliseconds duration) {
        std::lock_guard<std::mutex> guard(mutex_);
        stretched_.insert(duration.count());
    }
    void release(std::chrono::milliseconds duration) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            held_.erase(duration.count());
        }
        changed_.notify_all();
    }
    int waits(std::chrono::milliseconds duration) const {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto found = waits_.find(duration.count());
        return found == waits_.end() ? 0 : found->second;
    }
    // Lets one held wait of this length end.
    void let_one_pass(std::chrono::milliseconds duration) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++passes_[duration.count()];
        }
        changed_.notify_all();
    }
    // How many held waits of this length began so far.
    int held_waits_begun(std::chrono::milliseconds duration) {
        std::lock_guard<std::mutex> guard(mutex_);
        return entered_[duration.count()];
    }
    // Until the number of held waits of this length that began exceeds
    // the given one and a thread waits in one.
    bool wait_until_held(std::chrono::milliseconds duration, int begun_before = 0,
                         std::chrono::seconds deadline = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, deadline, [&] {
            return waiting_[duration.count()] > 0 && entered_[duration.count()] > begun_before;
        });
    }

private:
    std::shared_ptr<fake_remote> remote_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t advanced_ = 0;
    std::set<std::int64_t> held_;
    std::set<std::int64_t> stretched_;
    std::map<std::int64_t, int> waits_;
    std::map<std::int64_t, int> waiting_;
    std::map<std::int64_t, int> entered_;
    std::map<std::int64_t, int> passes_;
};

// Polls until the condition holds or the deadline passes.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::seconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline bool is_finished(const task& job) {
    const int state = job.get_state().state;
    return state == task::state_done || state == task::state_stopped || state == task::state_failed;
}

// A machine root, a local folder "local" in it, a fake remote and the
// scripted user interface and environment.
class scan_test : public testing::Test {
protected:
    static constexpr std::int64_t t0 = 1600000000;

    scan_test() {
        utils::imbue_utf8_locale();
        local_root = fs::path(root_.path()) / "local";
        fs::create_directories(local_root);
        local = local_root.wstring();
    }

    ~scan_test() override {
        remote->release_transfers();
        std::lock_guard<std::mutex> guard(tasks_lock);
        tasks.clear();
    }

    // A two-way folder binding with every permission left to the user and
    // recursion on, added to the table; returns the stored copy.
    binding bind(const std::wstring& dir_remote, const std::wstring& dir_local,
                 int type = binding::type_user_choice) {
        binding made(dir_remote, dir_local, L"", L"");
        made._type = type;
        made.can_recourse_subdirs = sync_permission::yes;
        made.rule = sync_rule();
        return add(made);
    }
    binding add(const binding& made) {
        locked_add_binding(user, made);
        for (const binding& stored : locked_get_bindings(user)) {
            if (stored.is_same_as(made)) return stored;
        }
        throw std::runtime_error("binding not stored");
    }

    scan_result pass(bool first = false) {
        scan_shared shared{user,  ui,           task_environment_, tasks_lock,
                           tasks, stopped_lock, stopped,           guard,
                           {},    &memory,      on_results_taken};
        return scan_bindings(shared, first, stop);
    }

    // The kinds of the queued tasks, in list order.
    std::vector<int> task_kinds() {
        std::lock_guard<std::mutex> guard(tasks_lock);
        std::vector<int> kinds;
        for (const task& job : tasks) kinds.push_back(job.get_kind());
        return kinds;
    }

    // Runs every task that is not done, one at a time, to its end.
    void run_tasks() {
        std::lock_guard<std::mutex> guard(tasks_lock);
        for (task& job : tasks) {
            if (job.is_done()) continue;
            job.start();
            // Until its thread has ended: a task that was failed before it
            // started looks finished at once.
            ASSERT_TRUE(eventually([&] { return !job.has_busy_thread() && is_finished(job); }));
        }
    }

    fs::path local_path(const std::wstring& relative) const { return local_root / relative; }

    void write_local(const std::wstring& relative, const std::string& content, std::int64_t time) {
        const fs::path path = local_path(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << content;
        fs::last_write_time(path, static_cast<std::time_t>(time));
    }
    bool local_exists(const std::wstring& relative) const {
        return fs::exists(local_path(relative));
    }
    std::string read_local(const std::wstring& relative) const {
        std::ifstream in(local_path(relative).native(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    void hide_local(const std::wstring& relative) {
        const std::wstring path = local_path(relative).wstring();
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    }

    // The stored record of an item (times -1 when there is none).
    sync_item stored(const binding& owner, const std::wstring& dir_remote,
                     const std::wstring& dir_local, const std::wstring& filename) {
        items_manager table(owner, user);
        const auto found = table.find(sync_item(dir_remote, dir_local, filename));
        return found == table.end() ? sync_item(dir_remote, dir_local, filename) : *found;
    }

    const std::wstring user = L"scanner";
    win_machine::scoped_root root_;
    fs::path local_root;
    std::wstring local;
    std::shared_ptr<fake_remote> remote = fake_remote::make();
    std::shared_ptr<test_environment> environment = std::make_shared<test_environment>(remote);
    std::shared_ptr<task_environment> task_environment_ = environment;
    scripted_ui ui;
    std::mutex tasks_lock;
    task_list tasks;
    std::mutex stopped_lock;
    binding_set stopped;
    removal_guard guard;
    scan_memory memory;
    stop_signal stop;
    // Run in each binding's turn, the task list locked, once the pass took
    // the results of ended transfers.
    std::function<void()> on_results_taken;
};

}  // namespace syncer::scan_testing
