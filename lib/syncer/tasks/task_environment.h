// What a sync task takes from its surroundings: the time, the waits between
// attempts and the service session. The real environment waits scaled by the
// process-wide time scale; tests put in one that scripts time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "vfs/client.h"

namespace syncer {

// A stop request for one run of a task: raised by another thread, seen by
// the task at its interruption points and ending its waits at once. A poke
// ends one wait early without asking to stop: the wait in progress, or the
// next one when nobody waits.
class stop_signal {
public:
    void raise();
    void clear();
    bool is_raised() const;
    void poke();
    // Waits up to the given real duration, less when raised or poked (the
    // poke is used up); true when the signal is raised.
    bool wait_for(std::chrono::microseconds duration) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable raised_;
    bool is_raised_ = false;
    mutable bool poked_ = false;
};

class task_environment {
public:
    virtual ~task_environment() = default;

    // Seconds since 1970-01-01 UTC.
    virtual std::int64_t now() = 0;
    // One wait of the given (unscaled) length between attempts of a step;
    // ends early when the stop signal is raised.
    virtual void wait(std::chrono::milliseconds duration, const stop_signal& stop) = 0;
    // The real length of a short wait the task makes on its own, such as
    // giving a finished run's thread time to end.
    virtual std::chrono::microseconds real_length(std::chrono::milliseconds duration) = 0;
    // The session of the logged-in user; throws vfs::exception when there is
    // none.
    virtual vfs::client_ptr get_client() = 0;
};

// The system clock, waits scaled by the process-wide time scale, and the
// process's current session.
std::shared_ptr<task_environment> real_task_environment();

}  // namespace syncer
