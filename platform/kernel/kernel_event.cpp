// Events: a signalled flag and a change counter that waiters sleep on as a
// futex word, in the object's memory.

#include <new>

#include "handle_table.h"
#include "kernel_futex.h"
#include "kernel_memory.h"
#include "win/kernel.h"

namespace {

using win_kernel::object_kind;
using win_kernel::object_memory;

struct event_state {
    std::atomic<uint32_t> changes;
    std::atomic<uint32_t> signalled;
    uint32_t manual_reset;
};
static_assert(sizeof(event_state) <= object_memory::state_size);

class event_object : public win_detail::kernel_object {
public:
    explicit event_object(std::shared_ptr<object_memory> memory)
        : memory_(std::move(memory)), state_(static_cast<event_state*>(memory_->state())) {}

    bool waitable() const override { return true; }

    // An auto-reset event is consumed by the one waiter that sees it set.
    DWORD try_wait() override {
        const bool taken = state_->manual_reset ? state_->signalled.load() != 0
                                                : state_->signalled.exchange(0) != 0;
        return taken ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }

    wake_word watch() const override { return {&state_->changes, false}; }

    // Every sleeper wakes and tries; for an auto-reset event one of them
    // wins, the others sleep again. Waking only one could strand the
    // others when the woken one takes another object of a multiple wait.
    void set() {
        state_->signalled.store(1);
        state_->changes.fetch_add(1);
        win_kernel::wake_all(state_->changes);
    }

    void reset() { state_->signalled.store(0); }

private:
    std::shared_ptr<object_memory> memory_;
    event_state* state_;
};

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
    const win_kernel::created_object created = win_kernel::create_object(
        name, object_kind::event, 0, [manual_reset, initial_state](void* where) {
            auto* state = new (where) event_state{};
            state->manual_reset = manual_reset ? 1 : 0;
            state->signalled = initial_state ? 1 : 0;
        });
    if (!created.memory) return nullptr;
    HANDLE handle = win_detail::register_handle(std::make_shared<event_object>(created.memory));
    SetLastError(created.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    auto memory = win_kernel::open_object(name, object_kind::event);
    if (!memory) return nullptr;
    return win_detail::register_handle(std::make_shared<event_object>(std::move(memory)));
}

BOOL SetEvent(HANDLE event) {
    const auto object = win_detail::lookup_handle_as<event_object>(event);
    if (!object) return FALSE;
    object->set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    const auto object = win_detail::lookup_handle_as<event_object>(event);
    if (!object) return FALSE;
    object->reset();
    return TRUE;
}
