// A mutex that the processes of one log-on session share by name ("Local\..."
// names). Ownership belongs to the locking thread and is recursive; a lock
// left by a process that ended counts as acquired by the next locker.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "win/base.h"

namespace utils {

class named_mutex {
public:
    // Creates the mutex, or opens it when the session already has one of that
    // name; not owned on return. Raises system_error_exception on failure.
    explicit named_mutex(const std::wstring& name);
    // Closes the handle; never throws. Holders unlock before destroying it
    // (named_mutex_lock does so on every path).
    virtual ~named_mutex();
    named_mutex(const named_mutex&) = delete;
    named_mutex& operator=(const named_mutex&) = delete;

    // Waits without time-out.
    void lock();
    // Waits at most the given time; false when the mutex stayed taken. A
    // caller that must stay interruptible waits in such steps.
    bool try_lock_for(std::chrono::milliseconds timeout);
    // Raises system_error_exception when the calling thread does not own it.
    void unlock();

private:
    HANDLE m_win_mutex;
};

// Holds a named mutex for the life of a scope, so that no error path leaves
// it locked for the other processes.
class named_mutex_lock {
public:
    explicit named_mutex_lock(named_mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    // Takes over a lock the calling thread already holds.
    named_mutex_lock(named_mutex& mutex, std::adopt_lock_t) : mutex_(mutex) {}
    ~named_mutex_lock();
    named_mutex_lock(const named_mutex_lock&) = delete;
    named_mutex_lock& operator=(const named_mutex_lock&) = delete;

private:
    named_mutex& mutex_;
};

}  // namespace utils
