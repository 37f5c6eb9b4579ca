// The process's windowing state, the per-thread queues and their end.

#include "user_state.h"

#include <algorithm>

#include "user_internal.h"
#include "win/kernel.h"

namespace win_user {

user_state& state() {
    static auto* s = new user_state;  // used until the process ends
    return *s;
}

namespace {

// Completes a waiting sender's call with 0.
void abandon_locked(sent_message& message) {
    message.result = 0;
    message.done = true;
    if (message.sender) wake(*message.sender);
}

void end_thread(const queue_ptr& queue) {
    std::vector<HRGN> regions;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        queue->alive = false;
        state().queues.erase(queue->thread_id);
        std::vector<HWND> owned;
        for (const auto& [handle, w] : state().windows)
            if (w->queue == queue) owned.push_back(handle);
        for (HWND handle : owned) {
            const window_ptr w = find_locked(handle);
            if (!w) continue;
            if (HRGN region = unlink_window_locked(*w)) regions.push_back(region);
        }
        for (auto& message : queue->sent) abandon_locked(*message);
        queue->sent.clear();
        queue->timers.clear();
    }
    for (HRGN region : regions) release_region(region);
}

struct queue_holder {
    queue_ptr queue;
    ~queue_holder() {
        if (queue) end_thread(queue);
    }
};

thread_local queue_holder this_thread_queue;

}  // namespace

queue_ptr current_queue() {
    queue_holder& holder = this_thread_queue;
    if (!holder.queue) {
        auto queue = std::make_shared<thread_queue>();
        queue->thread_id = GetCurrentThreadId();
        std::lock_guard<std::mutex> guard(state().lock);
        state().queues[queue->thread_id] = queue;
        holder.queue = std::move(queue);
    }
    return holder.queue;
}

window_ptr find_locked(HWND handle) {
    const auto found = state().windows.find(handle);
    if (found == state().windows.end() || found->second->life == window_life::destroyed)
        return nullptr;
    return found->second;
}

window_ptr find(HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    window_ptr w = find_locked(handle);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

bool is_descendant_locked(HWND ancestor, HWND handle, bool or_self) {
    if (!or_self) {
        const window_ptr w = find_locked(handle);
        if (!w) return false;
        handle = w->parent;
    }
    while (handle) {
        if (handle == ancestor) return true;
        const window_ptr w = find_locked(handle);
        if (!w) return false;
        handle = w->parent;
    }
    return false;
}

HWND top_level_of_locked(HWND handle) {
    window_ptr w = find_locked(handle);
    while (w && w->parent) w = find_locked(w->parent);
    return w ? w->handle : nullptr;
}

bool visible_locked(const window& w) {
    if (!(w.style & WS_VISIBLE)) return false;
    for (HWND up = w.parent; up;) {
        const window_ptr p = find_locked(up);
        if (!p || !(p->style & WS_VISIBLE)) return false;
        up = p->parent;
    }
    return true;
}

void wake(thread_queue& queue) {
    queue.wake.notify_all();
}

RECT client_in_window_locked(const window& w) {
    const RECT frame = frame_of(w.style, w.ex_style);
    RECT client{frame.left, frame.top, (w.rect.right - w.rect.left) - frame.right,
                (w.rect.bottom - w.rect.top) - frame.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

POINT client_origin_locked(const window& w) {
    const RECT screen = screen_rect_locked(w);
    const RECT client = client_in_window_locked(w);
    return {screen.left + client.left, screen.top + client.top};
}

RECT screen_rect_locked(const window& w) {
    RECT r = w.rect;
    if (w.parent) {
        if (const window_ptr p = find_locked(w.parent)) {
            const POINT origin = client_origin_locked(*p);
            r.left += origin.x;
            r.right += origin.x;
            r.top += origin.y;
            r.bottom += origin.y;
        }
    }
    return r;
}

LRESULT call_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    WNDPROC procedure = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return 0;
        procedure = w->procedure;
    }
    return procedure ? procedure(handle, message, wparam, lparam) : 0;
}

DWORD tick_count() {
    static const clock::time_point start = clock::now();
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count());
}

}  // namespace win_user

DWORD GetTickCount() {
    return win_user::tick_count();
}
