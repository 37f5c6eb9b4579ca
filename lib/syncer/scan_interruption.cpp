#include "syncer/scan_interruption.h"

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
    stop_ = std::make_unique<stop_signal>();
    thread_ = std::thread([signal = stop_.get(), run = std::move(run)] {
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
    stop_.reset();
}

}  // namespace syncer
