// The process's table of kernel-object handles. Every HANDLE the stand-in
// hands out (mutexes, events, mappings, threads, processes, files) is an index
// into this table; CloseHandle and the wait functions find the object here.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "win/base.h"

namespace win_detail {

// One object behind a handle. Several handles may share one object (a thread
// handle duplicated, say); the object lives while a handle or another owner
// holds it.
class kernel_object {
public:
    virtual ~kernel_object() = default;

    // Waitable objects override these. try_wait acquires the object when it
    // is signalled (takes a mutex, consumes an auto-reset event) and answers
    // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT without blocking.
    virtual bool waitable() const { return false; }
    virtual DWORD try_wait() { return WAIT_FAILED; }

    // A futex word through which waiters sleep until the object may have
    // become signalled: the object changes the word's value and wakes its
    // sleepers after every such change. Objects without one are polled;
    // also_poll marks objects that can become signalled without touching the
    // word (a mutex whose owner died), so sleepers look again now and then.
    struct wake_word {
        const std::atomic<uint32_t>* word = nullptr;
        bool also_poll = false;
    };
    virtual wake_word watch() const { return {}; }

    // Blocks up to timeout_ms (INFINITE for ever). The default sleeps on the
    // wake word, or polls try_wait with a short sleep when there is none;
    // objects with a better blocking wait override it.
    virtual DWORD wait(DWORD timeout_ms);
};

// Never NULL nor INVALID_HANDLE_VALUE.
HANDLE register_handle(std::shared_ptr<kernel_object> object);

// The object of a handle, or nullptr with ERROR_INVALID_HANDLE set.
std::shared_ptr<kernel_object> lookup_handle(HANDLE handle);

// Typed lookup: nullptr with ERROR_INVALID_HANDLE when the handle is unknown
// or names an object of another kind.
template <typename T>
std::shared_ptr<T> lookup_handle_as(HANDLE handle) {
    auto object = std::dynamic_pointer_cast<T>(lookup_handle(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Removes the handle; false with ERROR_INVALID_HANDLE when it is unknown.
bool unregister_handle(HANDLE handle);

}  // namespace win_detail
