// Timers: due times on a steady clock, turned into WM_TIMER by the owning
// thread's retrieval when nothing else waits.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>

#include "user_internal.h"
#include "user_state.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

// The programs' time scale (CALVIMORA_TIME_SCALE): a positive factor for
// every period, 1 when unset or not a positive number.
double time_scale() {
    static const double scale = [] {
        const char* text = std::getenv("CALVIMORA_TIME_SCALE");
        if (!text || !*text) return 1.0;
        char* end = nullptr;
        const double value = std::strtod(text, &end);
        return (*end || !std::isfinite(value) || value <= 0.0) ? 1.0 : value;
    }();
    return scale;
}

clock::duration period_of(UINT elapse_ms) {
    elapse_ms = std::clamp(elapse_ms, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const double scaled_us = static_cast<double>(elapse_ms) * 1000.0 * time_scale();
    return std::chrono::microseconds(std::max<long long>(1000, std::llround(scaled_us)));
}

// The class whose windows get no timers, as refuse_timers_for_class sets it.
struct refusal {
    std::mutex lock;
    std::wstring class_name;
};

refusal& refused_class() {
    static auto* r = new refusal;  // used until the process ends
    return *r;
}

bool timers_refused_for(HWND window) {
    std::wstring refused;
    {
        std::lock_guard<std::mutex> guard(refused_class().lock);
        refused = refused_class().class_name;
    }
    if (!window || refused.empty()) return false;
    wchar_t name[256];
    return GetClassNameW(window, name, 256) > 0 && refused == name;
}

bool timer_matches_locked(const timer& t, HWND filter) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return t.window == nullptr;
    return t.window && is_descendant_locked(filter, t.window, true);
}

queue_ptr queue_of_locked(HWND window, const queue_ptr& caller) {
    if (!window) return caller;
    const window_ptr w = find_locked(window);
    return w ? w->queue : nullptr;
}

}  // namespace

timer* due_timer_locked(thread_queue& queue, HWND filter, clock::time_point now) {
    timer* earliest = nullptr;
    for (timer& t : queue.timers) {
        if (t.due > now || !timer_matches_locked(t, filter)) continue;
        if (!earliest || t.due < earliest->due) earliest = &t;
    }
    return earliest;
}

clock::time_point next_timer_due_locked(const thread_queue& queue, HWND filter) {
    clock::time_point next = clock::time_point::max();
    for (const timer& t : queue.timers)
        if (timer_matches_locked(t, filter)) next = std::min(next, t.due);
    return next;
}

bool fire_timer_now(HWND window, UINT_PTR id) {
    const queue_ptr caller = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    const queue_ptr queue = queue_of_locked(window, caller);
    if (!queue) return false;
    for (timer& t : queue->timers) {
        if (t.window != window || t.id != id) continue;
        t.due = clock::now();
        wake(*queue);
        return true;
    }
    return false;
}

bool is_timer_callback_locked(const thread_queue& queue, HWND window, UINT_PTR id,
                              LPARAM callback) {
    return std::any_of(queue.timers.begin(), queue.timers.end(), [&](const timer& t) {
        return t.window == window && t.id == id && reinterpret_cast<LPARAM>(t.callback) == callback;
    });
}

}  // namespace win_user

using namespace win_user;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC callback) {
    if (timers_refused_for(window)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const queue_ptr caller = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    const queue_ptr queue = queue_of_locked(window, caller);
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const clock::duration period = period_of(elapse_ms);
    const auto existing =
        std::find_if(queue->timers.begin(), queue->timers.end(),
                     [&](const timer& t) { return t.window == window && t.id == id; });
    if (existing != queue->timers.end()) {
        existing->period = period;
        existing->callback = callback;
        existing->due = clock::now() + period;
    } else {
        if (!window) id = state().next_thread_timer++;
        queue->timers.push_back({window, id, callback, period, clock::now() + period});
    }
    wake(*queue);
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    const queue_ptr caller = current_queue();
    std::lock_guard<std::mutex> guard(state().lock);
    const queue_ptr queue = queue_of_locked(window, caller);
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto& timers = queue->timers;
    const auto before = timers.size();
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const timer& t) { return t.window == window && t.id == id; }),
                 timers.end());
    if (timers.size() == before) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

void win_user::refuse_timers_for_class(const std::wstring& class_name) {
    std::lock_guard<std::mutex> guard(refused_class().lock);
    refused_class().class_name = class_name;
}
