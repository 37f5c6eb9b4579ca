// Mutexes: a robust, recursive, process-shared pthread mutex in the object's
// memory. The kernel marks it owner-died when the owning thread ends (or its
// process is killed); the next locker then gets it with WAIT_ABANDONED.

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "handle_table.h"
#include "kernel_futex.h"
#include "kernel_memory.h"
#include "win/kernel.h"

namespace {

using win_kernel::object_kind;
using win_kernel::object_memory;

struct mutex_state {
    pthread_mutex_t mutex;
    // Changes on every release, for waits on several objects.
    std::atomic<uint32_t> releases;
};
static_assert(sizeof(mutex_state) <= object_memory::state_size);

void initialize_mutex(void* where, bool owned) {
    auto* state = new (where) mutex_state{};
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&state->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (owned) pthread_mutex_lock(&state->mutex);
}

// Memory of mutexes whose owning thread ended without releasing them. The
// kernel marks such a mutex abandoned only after the thread is gone, through
// the thread's list of robust mutexes, so the memory must stay mapped for
// the rest of the process.
void keep_for_process_life(std::shared_ptr<object_memory> memory) {
    static std::mutex* lock = new std::mutex;
    static auto* kept = new std::vector<std::shared_ptr<object_memory>>;
    std::lock_guard<std::mutex> guard(*lock);
    kept->push_back(std::move(memory));
}

// The mutexes the calling thread owns, with its recursion counts. Owning a
// mutex keeps its memory mapped even when every handle is closed, because
// the thread's robust list points into it.
class owned_mutexes {
public:
    owned_mutexes() = default;
    owned_mutexes(const owned_mutexes&) = delete;
    owned_mutexes& operator=(const owned_mutexes&) = delete;

    ~owned_mutexes() {
        for (auto& [address, entry] : held_) keep_for_process_life(std::move(entry.memory));
    }

    void acquired(const std::shared_ptr<object_memory>& memory) {
        entry& held = held_[memory.get()];
        if (held.count++ == 0) held.memory = memory;
    }

    void released(const object_memory* memory) {
        auto it = held_.find(memory);
        if (it != held_.end() && --it->second.count == 0) held_.erase(it);
    }

private:
    struct entry {
        std::shared_ptr<object_memory> memory;
        unsigned count = 0;
    };
    std::unordered_map<const object_memory*, entry> held_;
};

thread_local owned_mutexes owned_by_this_thread;

class mutex_object : public win_detail::kernel_object {
public:
    explicit mutex_object(std::shared_ptr<object_memory> memory)
        : memory_(std::move(memory)), state_(static_cast<mutex_state*>(memory_->state())) {}

    bool waitable() const override { return true; }

    DWORD try_wait() override { return outcome(pthread_mutex_trylock(&state_->mutex)); }

    DWORD wait(DWORD timeout_ms) override {
        if (timeout_ms == INFINITE) return outcome(pthread_mutex_lock(&state_->mutex));
        if (timeout_ms == 0) return try_wait();
        const timespec at = *win_kernel::deadline(timeout_ms).monotonic();
        return outcome(pthread_mutex_clocklock(&state_->mutex, CLOCK_MONOTONIC, &at));
    }

    // Abandonment changes the pthread mutex only, so waits on several
    // objects look at a mutex now and then.
    wake_word watch() const override { return {&state_->releases, true}; }

    bool release() {
        const int result = pthread_mutex_unlock(&state_->mutex);
        if (result != 0) {
            SetLastError(result == EPERM ? ERROR_NOT_OWNER : ERROR_INVALID_FUNCTION);
            return false;
        }
        state_->releases.fetch_add(1);
        win_kernel::wake_all(state_->releases);
        owned_by_this_thread.released(memory_.get());
        return true;
    }

    // The creating thread took the mutex while setting it up.
    void note_initial_ownership() { owned_by_this_thread.acquired(memory_); }

private:
    DWORD outcome(int result) {
        switch (result) {
            case 0:
                owned_by_this_thread.acquired(memory_);
                return WAIT_OBJECT_0;
            case EOWNERDEAD:
                pthread_mutex_consistent(&state_->mutex);
                owned_by_this_thread.acquired(memory_);
                return WAIT_ABANDONED;
            case EBUSY:
            case ETIMEDOUT:
                return WAIT_TIMEOUT;
            case EAGAIN:  // recursion limit
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return WAIT_FAILED;
            default:
                SetLastError(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
        }
    }

    std::shared_ptr<object_memory> memory_;
    mutex_state* state_;
};

}  // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name) {
    const bool owned = initial_owner != FALSE;
    const win_kernel::created_object created = win_kernel::create_object(
        name, object_kind::mutex, 0, [owned](void* state) { initialize_mutex(state, owned); });
    if (!created.memory) return nullptr;
    auto object = std::make_shared<mutex_object>(created.memory);
    if (owned && !created.existed) object->note_initial_ownership();
    HANDLE handle = win_detail::register_handle(std::move(object));
    SetLastError(created.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    auto memory = win_kernel::open_object(name, object_kind::mutex);
    if (!memory) return nullptr;
    return win_detail::register_handle(std::make_shared<mutex_object>(std::move(memory)));
}

BOOL ReleaseMutex(HANDLE mutex) {
    const auto object = win_detail::lookup_handle_as<mutex_object>(mutex);
    return object && object->release() ? TRUE : FALSE;
}
