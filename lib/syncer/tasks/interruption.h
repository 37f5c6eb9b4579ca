// Stopping the manager's worker threads (the scan and the runner) promptly:
// a stop request that their interruption points and waits look at, and the
// thread object that raises it and waits for the end.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "syncer/tasks/task_environment.h"

namespace syncer {

// Thrown at an interruption point once the thread was asked to stop. Not a
// std::exception, so the handlers that abandon one binding or one cycle let
// it through to the thread body.
struct thread_interrupted {};

// Throws thread_interrupted when the stop request is raised.
void interruption_point(const stop_signal& stop);

// One wait of the given (unscaled) length through the environment, then an
// interruption point; a stop request ends the wait at once.
void interruptible_wait(task_environment& environment, std::chrono::milliseconds duration,
                        const stop_signal& stop);

// A thread with its own stop request. The body returns (or lets
// thread_interrupted out) when asked to stop.
class worker_thread {
public:
    using body = std::function<void(const stop_signal&)>;

    worker_thread() = default;
    // Stops the thread, waiting for its end.
    ~worker_thread();
    worker_thread(const worker_thread&) = delete;
    worker_thread& operator=(const worker_thread&) = delete;

    // Starts the body on a new thread; a thread still running is stopped
    // first.
    void start(body run);
    // Raises the stop request and waits for the thread to end; nothing when
    // no thread runs.
    void stop();
    bool exists() const { return thread_.joinable(); }
    // Ends the thread's current wait early, or its next one (see
    // stop_signal::poke); nothing when no thread runs. Any thread may call
    // it at any time.
    void poke();

private:
    // Guards stop_ for poke, which comes from other threads.
    std::mutex signal_lock_;
    std::unique_ptr<stop_signal> stop_;
    std::thread thread_;
};

}  // namespace syncer
