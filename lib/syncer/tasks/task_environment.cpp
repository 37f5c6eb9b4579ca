#include "syncer/tasks/task_environment.h"

#include <chrono>

#include "utils/time_scale.h"
#include "vfs/session.h"
#include "win/process.h"

namespace syncer {

void stop_signal::raise() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        is_raised_ = true;
    }
    raised_.notify_all();
}

void stop_signal::clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    is_raised_ = false;
}

bool stop_signal::is_raised() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return is_raised_;
}

void stop_signal::poke() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        poked_ = true;
    }
    raised_.notify_all();
}

bool stop_signal::wait_for(std::chrono::microseconds duration) const {
    std::unique_lock<std::mutex> guard(mutex_);
    raised_.wait_for(guard, duration, [this] { return is_raised_ || poked_; });
    poked_ = false;
    return is_raised_;
}

namespace {

class real_environment : public task_environment {
public:
    std::int64_t now() override {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    void wait(std::chrono::milliseconds duration, const stop_signal& stop) override {
        stop.wait_for(real_length(duration));
    }

    std::chrono::microseconds real_length(std::chrono::milliseconds duration) override {
        return utils::scaled(duration);
    }

    // The library's own module: the sibling programs live beside it.
    vfs::client_ptr get_client() override {
        return vfs_calvimora::get_client(win_module::this_module());
    }
};

}  // namespace

std::shared_ptr<task_environment> real_task_environment() {
    static const auto shared = std::make_shared<real_environment>();
    return shared;
}

}  // namespace syncer
