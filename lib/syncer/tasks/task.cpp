#include "syncer/tasks/task.h"

#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/tasks/task_local_files.h"
#include "syncer/tasks/task_runner.h"
#include "utils/exceptions.h"
#include "utils/filesystem.h"
#include "utils/locale.h"

namespace syncer {

namespace {

// The time start gives a finished run's thread to end.
constexpr std::chrono::milliseconds start_join_time{1};

// Serialises the search for a free temporary name among the tasks of this
// process; the exclusive creation keeps other processes apart.
std::mutex& temp_name_lock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

task::task(const binding& owner, int kind, const std::wstring& dir_remote,
           const std::wstring& dir_local, const std::wstring& filename,
           std::shared_ptr<task_environment> environment)
    : binding_(owner),
      kind_(kind),
      dir_remote_(dir_remote),
      dir_local_(dir_local),
      filename_(filename),
      temp_directory_(get_temp_directory()),
      environment_(environment ? std::move(environment) : real_task_environment()) {}

task::task(const task& other)
    : binding_(other.binding_),
      kind_(other.kind_),
      dir_remote_(other.dir_remote_),
      dir_local_(other.dir_local_),
      filename_(other.filename_),
      temp_directory_(get_temp_directory()),
      environment_(other.environment_),
      basis_(other.basis_),
      journal_(other.journal_),
      refusal_(other.refusal_) {
    std::lock_guard<std::mutex> guard(other.lock_);
    state_ = other.state_;
    progress_ = other.progress_;
    size_ = other.size_;
    fail_time_ = other.fail_time_;
    error_kind_ = other.error_kind_;
    message_ = other.message_;
    outdated_ = other.outdated_;
    synced_result_ = other.synced_result_;
}

task::~task() {
    try {
        stop();
    } catch (...) {
        // A destructor reports nothing.
    }
    try {
        std::lock_guard<std::mutex> control(control_);
        if (thread_.joinable()) thread_.join();
    } catch (...) {
        // As above.
    }
}

std::wstring task::get_description() const {
    return L"Sync task for " + filename_;
}

task::status task::get_state() const {
    std::lock_guard<std::mutex> guard(lock_);
    return status{state_, progress_, size_};
}

bool task::is_queued() const {
    return get_state().state == state_queued;
}

bool task::is_running() const {
    return get_state().state == state_running;
}

bool task::has_busy_thread() const {
    std::lock_guard<std::mutex> guard(lock_);
    return thread_running_;
}

bool task::is_done() const {
    return get_state().state == state_done;
}

bool task::is_stopped() const {
    return get_state().state == state_stopped;
}

bool task::is_failed() const {
    return get_state().state == state_failed;
}

std::wstring task::get_message() const {
    std::lock_guard<std::mutex> guard(lock_);
    return message_;
}

int task::get_error_kind() const {
    std::lock_guard<std::mutex> guard(lock_);
    return error_kind_;
}

std::int64_t task::get_fail_time() const {
    std::lock_guard<std::mutex> guard(lock_);
    return fail_time_;
}

bool task::less::operator()(const task& first, const task& second) const {
    const binding::less bindings;
    if (bindings(first.binding_, second.binding_)) return true;
    if (bindings(second.binding_, first.binding_)) return false;
    if (const int order = compare_paths(first.dir_local_, second.dir_local_); order != 0)
        return order < 0;
    if (const int order = compare_paths(first.dir_remote_, second.dir_remote_); order != 0)
        return order < 0;
    return first.filename_ < second.filename_;
}

void task::start(std::function<void()> ended) {
    std::lock_guard<std::mutex> control(control_);
    if (thread_.joinable()) {
        std::unique_lock<std::mutex> guard(lock_);
        if (!thread_ended_.wait_for(guard, environment_->real_length(start_join_time),
                                    [this] { return !thread_running_; }))
            return;
        guard.unlock();
        thread_.join();
    }
    stop_.clear();
    {
        std::lock_guard<std::mutex> guard(lock_);
        thread_running_ = true;
    }
    try {
        thread_ = std::thread([this, ended = std::move(ended)] {
            run();
            {
                std::lock_guard<std::mutex> guard(lock_);
                thread_running_ = false;
                thread_ended_.notify_all();
            }
            if (ended) ended();
        });
    } catch (...) {
        std::lock_guard<std::mutex> guard(lock_);
        thread_running_ = false;
        throw;
    }
}

void task::stop() {
    std::lock_guard<std::mutex> control(control_);
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ == state_stop_requested || state_ == state_stopped || state_ == state_done)
            return;
        if (thread_.joinable()) state_ = state_stop_requested;
    }
    if (thread_.joinable()) {
        stop_.raise();
        thread_.join();
    }
    set_state(state_stopped, 0);
}

void task::reset() {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ != state_stopped && state_ != state_failed) return;
    apply_state(state_queued, 0);
}

void task::set_state(int state, int progress) {
    std::lock_guard<std::mutex> guard(lock_);
    apply_state(state, progress);
}

void task::apply_state(int state, int progress) {
    if (state_ != state_stop_requested || state == state_stopped) state_ = state;
    progress_ = progress;
}

void task::set_progress(int progress) {
    std::lock_guard<std::mutex> guard(lock_);
    progress_ = progress;
}

void task::set_size(std::int64_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    size_ = size;
}

void task::record_failure(int error_kind, const std::wstring& message, bool outdated) {
    std::lock_guard<std::mutex> guard(lock_);
    error_kind_ = error_kind;
    message_ = message;
    outdated_ = outdated;
}

bool task::is_outdated() const {
    std::lock_guard<std::mutex> guard(lock_);
    return outdated_ && state_ == state_failed;
}

void task::set_basis(std::shared_ptr<const item_basis> basis) {
    basis_ = std::move(basis);
}

void task::set_journal(std::shared_ptr<const transfer_journal> journal) {
    journal_ = std::move(journal);
}

std::optional<task::transfer_result> task::get_synced_result() const {
    std::lock_guard<std::mutex> guard(lock_);
    if (state_ != state_done) return std::nullopt;
    return synced_result_;
}

std::optional<std::int64_t> task::get_synced_time() const {
    const auto result = get_synced_result();
    if (!result) return std::nullopt;
    return result->time;
}

void task::record_synced_result(const transfer_result& result) {
    std::lock_guard<std::mutex> guard(lock_);
    synced_result_ = result;
}

void task::refuse(const std::wstring& reason) {
    refusal_ = reason;
    record_failure(0, reason);
    record_final_state(runner::failed);
}

void task::run() {
    set_state(state_running, 0);
    {
        std::lock_guard<std::mutex> guard(lock_);
        synced_result_.reset();
    }
    runner::outcome outcome = runner::failed;
    try {
        outcome = runner(*this).perform();
    } catch (const runner::interrupted&) {
        outcome = runner::stopped;
    } catch (const runner::final_failure&) {
        outcome = runner::failed;
    } catch (...) {
        record_failure(0, L"Unknown error");
        outcome = runner::failed;
    }
    record_final_state(outcome);
    utils::shell_change_notify(dir_remote_);
}

void task::record_final_state(int outcome) {
    switch (outcome) {
        case runner::done:
            set_state(state_done, 100);
            break;
        case runner::stopped:
            set_state(state_stopped, 0);
            break;
        default: {
            std::int64_t now = -1;
            try {
                now = environment_->now();
            } catch (...) {
                // The failure stands without a time.
            }
            // Both at once, so nobody sees the failed state with an old time.
            std::lock_guard<std::mutex> guard(lock_);
            fail_time_ = now;
            apply_state(state_failed, 0);
            break;
        }
    }
}

boost::filesystem::path task::make_temp_path() const {
    std::lock_guard<std::mutex> guard(temp_name_lock());
    boost::filesystem::path created;
    ::close(create_unique_file(temp_directory_, "temp", ".tmp", created));
    return created;
}

boost::filesystem::path task::get_temp_directory() {
    utils::imbue_utf8_locale();
    boost::filesystem::path folder = L"Calvimora";
    try {
        folder = utils::filesystem::get_temp_directory() / L"Calvimora";
        // Every copy of a task asks (the progress window copies the whole
        // list on each refresh): a folder that is there costs one look.
        boost::system::error_code ignored;
        if (boost::filesystem::is_directory(folder, ignored)) return folder;
        boost::filesystem::create_directories(folder, ignored);
        if (boost::filesystem::is_directory(folder, ignored)) return folder;
    } catch (const utils::utils_exception&) {
        // Reported below, with the path as far as it is known.
    }
    throw create_directory_exception(__PRETTY_FUNCTION__, folder);
}

}  // namespace syncer
