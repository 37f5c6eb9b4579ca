// Keyboard focus, activation and the foreground window.

#include "user_internal.h"
#include "user_state.h"
#include "win/kernel.h"
#include "win/user_input.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

HWND activate(const queue_ptr& queue, HWND handle) {
    HWND old;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        old = queue->active;
        if (old == handle) return old;
        queue->active = handle;
        if (handle) state().foreground = handle;
    }
    if (old && IsWindow(old))
        SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0),
                     reinterpret_cast<LPARAM>(handle));
    if (handle)
        SendMessageW(handle, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
    return old;
}

}  // namespace

void activate_on_show(HWND handle) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w || w->parent || w->thread_id != GetCurrentThreadId() ||
            (w->ex_style & WS_EX_NOACTIVATE))
            return;
    }
    activate(current_queue(), handle);
}

void leave_focus_within(HWND handle) {
    HWND focus = nullptr, active = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w || w->thread_id != GetCurrentThreadId()) return;
        thread_queue& queue = *w->queue;
        if (queue.focus && is_descendant_locked(handle, queue.focus, true)) {
            focus = queue.focus;
            queue.focus = nullptr;
        }
        if (queue.active == handle) {
            active = handle;
            queue.active = nullptr;
            if (state().foreground == handle) state().foreground = nullptr;
        }
    }
    if (focus) SendMessageW(focus, WM_KILLFOCUS, 0, 0);
    if (active) SendMessageW(active, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
}

}  // namespace win_user

using namespace win_user;

HWND SetFocus(HWND handle) {
    const queue_ptr queue = current_queue();
    HWND top = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (handle) {
            const window_ptr w = find_locked(handle);
            if (!w) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            if (w->queue != queue || (w->style & WS_DISABLED)) return nullptr;
            top = top_level_of_locked(handle);
        }
    }
    HWND active;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        active = queue->active;
    }
    if (top && top != active) activate(queue, top);
    HWND old;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        old = queue->focus;
        if (old == handle) return old;
        queue->focus = handle;
    }
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    if (handle && IsWindow(handle))
        SendMessageW(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    const queue_ptr queue = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    return queue->focus;
}

HWND SetActiveWindow(HWND handle) {
    const queue_ptr queue = current_queue();
    if (handle) {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w || w->queue != queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        handle = top_level_of_locked(handle);
    }
    return activate(queue, handle);
}

HWND GetActiveWindow() {
    const queue_ptr queue = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    return queue->active;
}

BOOL SetForegroundWindow(HWND handle) {
    HWND top;
    bool own_thread;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        top = top_level_of_locked(handle);
        const window_ptr w = find_locked(top);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        own_thread = w->thread_id == GetCurrentThreadId();
        if (!own_thread) {
            // Another thread's window: it becomes that thread's active window
            // without waiting for the thread.
            w->queue->active = top;
            state().foreground = top;
        }
    }
    if (own_thread) activate(current_queue(), top);
    return TRUE;
}

HWND GetForegroundWindow() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().foreground;
}
