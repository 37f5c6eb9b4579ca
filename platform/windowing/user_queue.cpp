// Posting and retrieving messages, in the system's order, and dispatching
// them.

#include <algorithm>

#include "user_internal.h"
#include "user_session_windows.h"
#include "user_state.h"
#include "user_surface.h"
#include "win/kernel.h"
#include "win/user_input.h"
#include "win/user_queue.h"

namespace win_user {

bool matches_filter_locked(HWND message_window, UINT message, HWND filter, UINT first, UINT last) {
    if (first || last) {
        if (message < first || message > last) return false;
    }
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return message_window == nullptr;
    return message_window && is_descendant_locked(filter, message_window, true);
}

bool deliver_sent_messages(const queue_ptr& queue) {
    std::shared_ptr<sent_message> message;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (queue->sent.empty()) return false;
        message = queue->sent.front();
        queue->sent.pop_front();
    }
    const LRESULT result =
        call_procedure(message->window, message->message, message->wparam, message->lparam);
    std::lock_guard<std::mutex> guard(state().lock);
    message->result = result;
    message->done = true;
    if (message->sender) wake(*message->sender);
    return true;
}

namespace {

bool quit_matches(UINT first, UINT last) {
    return (!first && !last) || (WM_QUIT >= first && WM_QUIT <= last);
}

MSG message_now(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG m{window, message, wparam, lparam, tick_count(), state().cursor_pos};
    return m;
}

}  // namespace

bool has_work_locked(thread_queue& queue, HWND filter, UINT first, UINT last) {
    if (!queue.sent.empty()) return true;
    for (const MSG& m : queue.posted)
        if (matches_filter_locked(m.hwnd, m.message, filter, first, last)) return true;
    if (queue.quit && quit_matches(first, last)) return true;
    // Input counts when its message could be for the filter: the filter and
    // the event's top-level window are in one tree.
    for (const input_event& e : queue.input)
        if (!filter || is_descendant_locked(filter, e.target, true) ||
            is_descendant_locked(e.target, filter, true))
            return true;
    if ((!first && !last) || (WM_PAINT >= first && WM_PAINT <= last))
        if (paint_candidate_locked(queue, filter)) return true;
    if ((!first && !last) || (WM_TIMER >= first && WM_TIMER <= last))
        if (due_timer_locked(queue, filter, clock::now())) return true;
    return false;
}

bool retrieve(const queue_ptr& queue, HWND filter, UINT first, UINT last, UINT remove, MSG* out) {
    while (deliver_sent_messages(queue)) {
    }
    const bool removing = (remove & PM_REMOVE) != 0;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        auto& posted = queue->posted;
        for (auto it = posted.begin(); it != posted.end(); ++it) {
            if (!matches_filter_locked(it->hwnd, it->message, filter, first, last)) continue;
            *out = *it;
            if (removing) posted.erase(it);
            return true;
        }
        if (queue->quit && quit_matches(first, last)) {
            *out = message_now(nullptr, WM_QUIT, static_cast<WPARAM>(queue->quit_code), 0);
            if (removing) queue->quit = false;
            return true;
        }
    }
    if (cooked_input(queue, filter, first, last, removing, out)) return true;
    std::lock_guard<std::mutex> guard(state().lock);
    if ((!first && !last) || (WM_PAINT >= first && WM_PAINT <= last)) {
        if (HWND window = paint_candidate_locked(*queue, filter)) {
            *out = message_now(window, WM_PAINT, 0, 0);
            return true;
        }
    }
    if ((!first && !last) || (WM_TIMER >= first && WM_TIMER <= last)) {
        const clock::time_point now = clock::now();
        if (timer* t = due_timer_locked(*queue, filter, now)) {
            *out = message_now(t->window, WM_TIMER, t->id, reinterpret_cast<LPARAM>(t->callback));
            if (removing) t->due = now + t->period;
            return true;
        }
    }
    return false;
}

void wait_for_work(const queue_ptr& queue, HWND filter, UINT first, UINT last,
                   clock::time_point deadline) {
    write_snapshots(queue);
    std::unique_lock<std::mutex> lock(state().lock);
    if (has_work_locked(*queue, filter, first, last)) return;
    const clock::time_point next = std::min(deadline, next_timer_due_locked(*queue, filter));
    queue->idle = true;
    ++queue->idle_spells;
    if (next == clock::time_point::max())
        queue->wake.wait(lock);
    else
        queue->wake.wait_until(lock, next);
    queue->idle = false;
}

bool window_thread_idle(HWND window, std::uint64_t& spells) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(window);
    if (!w || !w->queue) return false;
    spells = w->queue->idle_spells;
    // A message posted to a thread that has not woken yet is work.
    return w->queue->idle && !has_work_locked(*w->queue, nullptr, 0, 0);
}

}  // namespace win_user

using namespace win_user;

BOOL GetMessageW(LPMSG message, HWND filter, UINT first, UINT last) {
    if (!message) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const queue_ptr queue = current_queue();
    if (filter && filter != reinterpret_cast<HWND>(-1)) {
        const window_ptr w = find(filter);
        if (!w) return -1;
        if (w->queue != queue) {
            SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
            return -1;
        }
    }
    while (!retrieve(queue, filter, first, last, PM_REMOVE, message))
        wait_for_work(queue, filter, first, last, clock::time_point::max());
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG message, HWND filter, UINT first, UINT last, UINT remove) {
    if (!message) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const queue_ptr queue = current_queue();
    if (retrieve(queue, filter, first, last, remove, message)) return TRUE;
    write_snapshots(queue);
    return FALSE;
}

namespace {

// The character a key makes on a plain keyboard, 0 for none.
wchar_t character_of(UINT key, bool shift) {
    if (key >= 'A' && key <= 'Z') return static_cast<wchar_t>(shift ? key : key + ('a' - 'A'));
    if (key >= '0' && key <= '9' && !shift) return static_cast<wchar_t>(key);
    switch (key) {
        case VK_SPACE:
            return L' ';
        case VK_RETURN:
            return L'\r';
        case VK_ESCAPE:
            return 0x1B;
        case VK_BACK:
            return 0x08;
        case VK_TAB:
            return L'\t';
        default:
            return 0;
    }
}

}  // namespace

BOOL TranslateMessage(const MSG* message) {
    if (!message || message->message != WM_KEYDOWN) return FALSE;
    bool shift = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        shift = state().key_down[VK_SHIFT] != 0;
    }
    const wchar_t c = character_of(static_cast<UINT>(message->wParam), shift);
    if (!c) return FALSE;
    const queue_ptr queue = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    MSG character = *message;
    character.message = WM_CHAR;
    character.wParam = static_cast<WPARAM>(c);
    queue->posted.push_front(character);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (!message) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        bool live = false;
        {
            std::lock_guard<std::mutex> guard(state().lock);
            live = is_timer_callback_locked(*current_queue(), message->hwnd, message->wParam,
                                            message->lParam);
        }
        if (live) {
            reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam,
                                                         tick_count());
            return 0;
        }
    }
    if (!message->hwnd) return 0;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(message->hwnd);
        if (!w || w->thread_id != current_queue()->thread_id) return 0;
    }
    return call_procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window) return PostThreadMessageW(GetCurrentThreadId(), message, wparam, lparam);
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(window)) {
            if (!w->queue->alive) return FALSE;
            w->queue->posted.push_back(message_now(window, message, wparam, lparam));
            wake(*w->queue);
            return TRUE;
        }
    }
    if (post_to_remote_window(window, message, wparam, lparam)) return TRUE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
    if (thread_id == GetCurrentThreadId()) current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    const auto found = state().queues.find(thread_id);
    const queue_ptr queue = found == state().queues.end() ? nullptr : found->second.lock();
    if (!queue || !queue->alive) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    queue->posted.push_back(message_now(nullptr, message, wparam, lparam));
    wake(*queue);
    return TRUE;
}

void PostQuitMessage(int exit_code) {
    const queue_ptr queue = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    queue->quit = true;
    queue->quit_code = exit_code;
    wake(*queue);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const queue_ptr me = current_queue();
    auto record = std::make_shared<sent_message>();
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->queue != me) {
            if (!w->queue->alive) return 0;
            record->window = window;
            record->message = message;
            record->wparam = wparam;
            record->lparam = lparam;
            record->sender = me;
            w->queue->sent.push_back(record);
            wake(*w->queue);
        }
    }
    if (!record->sender) return call_procedure(window, message, wparam, lparam);
    std::unique_lock<std::mutex> lock(state().lock);
    while (!record->done) {
        if (!me->sent.empty()) {
            lock.unlock();
            deliver_sent_messages(me);
            lock.lock();
            continue;
        }
        me->wake.wait(lock);
    }
    return record->result;
}

DWORD GetQueueStatus(UINT flags) {
    const queue_ptr queue = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    UINT kinds = 0;
    if (!queue->sent.empty()) kinds |= QS_SENDMESSAGE;
    if (!queue->posted.empty() || queue->quit) kinds |= QS_POSTMESSAGE;
    for (const input_event& e : queue->input) {
        if (e.message >= WM_KEYFIRST && e.message <= WM_KEYLAST)
            kinds |= QS_KEY;
        else
            kinds |= e.message == WM_MOUSEMOVE ? QS_MOUSEMOVE : QS_MOUSEBUTTON;
    }
    if (paint_candidate_locked(*queue, nullptr)) kinds |= QS_PAINT;
    if (due_timer_locked(*queue, nullptr, clock::now())) kinds |= QS_TIMER;
    kinds &= flags;
    return static_cast<DWORD>(MAKELONG(kinds, kinds));
}
