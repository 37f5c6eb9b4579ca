// Sync tasks under a scripted environment: time moves only by the task's own
// waits, and the session is whatever the test hands out.
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "syncer/tasks/task.h"
#include "utils/locale.h"
#include "vfs/calvimora_exception.h"
#include "win/machine.h"

namespace syncer::task_testing {

class scripted_environment : public task_environment {
public:
    static constexpr std::int64_t start_time = 1700000000;

    std::int64_t now() override { return start_time + elapsed().count() / 1000; }

    void wait(std::chrono::milliseconds duration, const stop_signal& stop) override {
        std::unique_lock<std::mutex> guard(mutex_);
        elapsed_ += duration;
        ++waits_;
        if (pause_at_ < std::chrono::milliseconds::zero() || elapsed_ < pause_at_) return;
        // Holds the task here, as a real wait would, until it is stopped.
        paused_ = true;
        changed_.notify_all();
        guard.unlock();
        stop.wait_for(std::chrono::seconds(30));
        guard.lock();
        paused_ = false;
    }

    std::chrono::microseconds real_length(std::chrono::milliseconds duration) override {
        return duration;
    }

    vfs::client_ptr get_client() override {
        std::function<vfs::client_ptr()> source;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++client_calls_;
            source = client_source_;
        }
        if (!source)
            throw vfs_calvimora::exception(L"Get connection from cache failed", L"Not logged in");
        return source();
    }

    // Waits from then on hold the task until it is stopped.
    void pause_at(std::chrono::milliseconds elapsed) {
        std::lock_guard<std::mutex> guard(mutex_);
        pause_at_ = elapsed;
    }

    bool wait_until_paused(std::chrono::seconds deadline = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, deadline, [this] { return paused_; });
    }

    void set_client_source(std::function<vfs::client_ptr()> source) {
        std::lock_guard<std::mutex> guard(mutex_);
        client_source_ = std::move(source);
    }

    std::chrono::milliseconds elapsed() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return elapsed_;
    }

    int waits() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return waits_;
    }

    int client_calls() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return client_calls_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::milliseconds elapsed_{0};
    std::chrono::milliseconds pause_at_{-1};
    bool paused_ = false;
    int waits_ = 0;
    int client_calls_ = 0;
    std::function<vfs::client_ptr()> client_source_;
};

// Polls until the condition holds or the deadline passes.
inline bool wait_until(const std::function<bool()>& condition,
                       std::chrono::seconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void write_file(const boost::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string read_file(const boost::filesystem::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool is_finished(const task& job) {
    const int state = job.get_state().state;
    return state == task::state_done || state == task::state_stopped || state == task::state_failed;
}

// A machine root of the test's own, a scripted environment and a local
// folder to work in.
class task_test : public testing::Test {
protected:
    task_test() {
        utils::imbue_utf8_locale();
        local_ = boost::filesystem::path(root_.path()) / "local";
        boost::filesystem::create_directories(local_);
    }

    std::shared_ptr<scripted_environment> environment_ = std::make_shared<scripted_environment>();
    win_machine::scoped_root root_;
    boost::filesystem::path local_;
};

}  // namespace syncer::task_testing
