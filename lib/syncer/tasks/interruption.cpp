#include "syncer/tasks/interruption.h"

namespace syncer {

void interruption_point(const stop_signal& stop) {
    if (stop.is_raised()) throw thread_interrupted{};
}

void interruptible_wait(task_environment& environment, std::chrono::milliseconds duration,
                        const stop_signal& stop) {
    interruption_point(stop);
    environment.wait(duration, stop);
    interruption_point(stop);
}

worker_thread::~worker_thread() {
    stop();
}

void worker_thread::start(body run) {
    stop();
    auto signal = std::make_unique<stop_signal>();
    stop_signal* const raw_signal = signal.get();
    {
        std::lock_guard<std::mutex> guard(signal_lock_);
        stop_ = std::move(signal);
    }
    thread_ = std::thread([signal = raw_signal, run = std::move(run)] {
        try {
            run(*signal);
        } catch (const thread_interrupted&) {
            // The requested way out.
        }
    });
}

void worker_thread::stop() {
    if (!thread_.joinable()) return;
    stop_->raise();
    thread_.join();
    std::lock_guard<std::mutex> guard(signal_lock_);
    stop_.reset();
}

void worker_thread::poke() {
    std::lock_guard<std::mutex> guard(signal_lock_);
    if (stop_) stop_->poke();
}

}  // namespace syncer
