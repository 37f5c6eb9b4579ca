// Mouse input: events queued for the thread under the pointer (or holding
// the capture), turned into window messages on retrieval with the hit test
// and cursor messages; capture, mouse tracking and cursors.

#include <algorithm>
#include <cstdlib>

#include "user_internal.h"
#include "user_state.h"
#include "win/kernel.h"
#include "win/user_input.h"
#include "win/user_queue.h"
#include "win/user_window.h"

namespace win_user {

namespace {

bool in_rect(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The point is inside the window's rectangle and region.
bool window_contains_locked(const window& w, POINT screen) {
    const RECT r = screen_rect_locked(w);
    if (!in_rect(r, screen)) return false;
    return !w.region || region_contains(w.region, screen.x - r.left, screen.y - r.top);
}

bool client_contains_locked(const window& w, POINT screen) {
    const RECT r = screen_rect_locked(w);
    RECT client = client_in_window_locked(w);
    client.left += r.left;
    client.right += r.left;
    client.top += r.top;
    client.bottom += r.top;
    return in_rect(client, screen) && window_contains_locked(w, screen);
}

void post_locked(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
    const window_ptr w = find_locked(target);
    if (!w || !w->queue->alive) return;
    w->queue->posted.push_back({target, message, wparam, lparam, tick_count(), state().cursor_pos});
    wake(*w->queue);
}

// Ends TME_LEAVE tracking with WM_MOUSELEAVE when the pointer is no longer
// over the tracked window's own client area (a window holding the capture
// keeps its tracking until it lets go).
void check_leave_locked() {
    mouse_tracking& tracking = state().tracking;
    if (!tracking.window || state().capture == tracking.window) return;
    const window_ptr w = find_locked(tracking.window);
    if (!w) {
        tracking = {};
        return;
    }
    const POINT at = state().cursor_pos;
    const HWND top = top_level_at_locked(at);
    const HWND under = top ? deepest_child_at_locked(top, at, false) : nullptr;
    if (under == tracking.window && client_contains_locked(*w, at)) return;
    const HWND left = tracking.window;
    tracking = {};
    post_locked(left, WM_MOUSELEAVE, 0, 0);
}

bool is_button_down(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

// Turns a second press at the same place within the double-click time into
// a double click for classes that ask for them.
UINT double_click_of_locked(thread_queue& queue, HWND target, const input_event& e) {
    if (!is_button_down(e.message)) return e.message;
    const window_ptr w = find_locked(target);
    const bool wants = w && (w->cls->style & CS_DBLCLKS);
    const bool second = queue.last_press_window == target &&
                        queue.last_press_message == e.message &&
                        e.time - queue.last_press_time <= GetDoubleClickTime() &&
                        std::abs(e.screen.x - queue.last_press_point.x) <= 2 &&
                        std::abs(e.screen.y - queue.last_press_point.y) <= 2;
    if (wants && second) {
        queue.last_press_window = nullptr;
        return e.message + (WM_LBUTTONDBLCLK - WM_LBUTTONDOWN);
    }
    queue.last_press_window = target;
    queue.last_press_message = e.message;
    queue.last_press_time = e.time;
    queue.last_press_point = e.screen;
    return e.message;
}

// The window a mouse event reaches and its hit code, asking WM_NCHITTEST
// and stepping to the parent past windows that answer HTTRANSPARENT.
HWND hit_window(HWND top, POINT screen, LRESULT* hit) {
    HWND candidate;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        candidate = deepest_child_at_locked(top, screen, true);
    }
    while (candidate) {
        *hit = SendMessageW(candidate, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (*hit != HTTRANSPARENT) return candidate;
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(candidate);
        candidate = w ? w->parent : nullptr;
    }
    return nullptr;
}

std::optional<MSG> cook_key(const queue_ptr& queue, const input_event& e) {
    HWND target;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        target = queue->focus ? queue->focus : queue->active;
        if (!find_locked(target)) return std::nullopt;
    }
    const LPARAM flags = e.message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001u) : 1;
    return MSG{target, e.message, e.keys, flags, e.time, e.screen};
}

std::optional<MSG> cook_mouse(const queue_ptr& queue, const input_event& e) {
    HWND capture;
    bool top_disabled = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        capture = state().capture;
        const window_ptr cw = find_locked(capture);
        if (!cw || cw->queue != queue) capture = nullptr;
        const window_ptr top = find_locked(e.target);
        if (!top) return std::nullopt;
        top_disabled = (top->style & WS_DISABLED) != 0;
    }
    HWND target = capture;
    LRESULT hit = HTCLIENT;
    if (!target) {
        target = hit_window(e.target, e.screen, &hit);
        if (!target) return std::nullopt;
        if (top_disabled) hit = HTERROR;
        if (e.message != WM_MOUSEWHEEL)
            SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                         MAKELPARAM(static_cast<WORD>(hit), e.message));
        if (top_disabled) return std::nullopt;
    }
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(target);
    if (!w) return std::nullopt;
    if (e.message == WM_MOUSEWHEEL) {
        return MSG{target,
                   WM_MOUSEWHEEL,
                   MAKEWPARAM(static_cast<WORD>(e.keys), static_cast<WORD>(e.wheel_delta)),
                   MAKELPARAM(e.screen.x, e.screen.y),
                   e.time,
                   e.screen};
    }
    const UINT message = double_click_of_locked(*queue, target, e);
    if (hit == HTCLIENT) {
        const POINT origin = client_origin_locked(*w);
        return MSG{target,
                   message,
                   e.keys,
                   MAKELPARAM(static_cast<WORD>(e.screen.x - origin.x),
                              static_cast<WORD>(e.screen.y - origin.y)),
                   e.time,
                   e.screen};
    }
    return MSG{target,
               message - WM_MOUSEMOVE + WM_NCMOUSEMOVE,
               static_cast<WPARAM>(hit),
               MAKELPARAM(e.screen.x, e.screen.y),
               e.time,
               e.screen};
}

}  // namespace

HWND top_level_at_locked(POINT screen) {
    for (HWND h : state().top_level) {
        const window_ptr w = find_locked(h);
        if (w && (w->style & WS_VISIBLE) && window_contains_locked(*w, screen)) return h;
    }
    return nullptr;
}

HWND deepest_child_at_locked(HWND handle, POINT screen, bool skip_disabled) {
    for (;;) {
        const window_ptr w = find_locked(handle);
        if (!w) return nullptr;
        HWND next = nullptr;
        for (HWND child : w->children) {
            const window_ptr c = find_locked(child);
            if (!c || !(c->style & WS_VISIBLE)) continue;
            if (skip_disabled && (c->style & WS_DISABLED)) continue;
            if (window_contains_locked(*c, screen)) {
                next = child;
                break;
            }
        }
        if (!next) return handle;
        handle = next;
    }
}

void inject_mouse(UINT message, POINT screen, WPARAM keys, short wheel_delta) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().cursor_pos = screen;
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            state().key_down[VK_LBUTTON] = message == WM_LBUTTONDOWN;
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            state().key_down[VK_RBUTTON] = message == WM_RBUTTONDOWN;
            break;
        default:
            break;
    }
    check_leave_locked();
    HWND target = state().capture;
    if (!find_locked(target)) target = top_level_at_locked(screen);
    const window_ptr w = find_locked(target);
    if (!w || !w->queue->alive) return;
    input_event e;
    e.message = message;
    e.screen = screen;
    e.keys = keys;
    e.wheel_delta = wheel_delta;
    e.time = tick_count();
    e.target = target;
    w->queue->input.push_back(e);
    wake(*w->queue);
}

void inject_key(UINT message, WPARAM key) {
    std::lock_guard<std::mutex> guard(state().lock);
    if (message == WM_KEYDOWN || message == WM_KEYUP)
        state().key_down[key & 0xFF] = message == WM_KEYDOWN;
    const window_ptr w = find_locked(state().foreground);
    if (!w || !w->queue->alive) return;
    input_event e;
    e.message = message;
    e.keys = key;
    e.time = tick_count();
    e.screen = state().cursor_pos;
    e.target = w->handle;
    w->queue->input.push_back(e);
    wake(*w->queue);
}

bool cooked_input(const queue_ptr& queue, HWND filter, UINT first, UINT last, bool remove,
                  MSG* out) {
    for (;;) {
        input_event e;
        {
            std::lock_guard<std::mutex> guard(state().lock);
            if (queue->input.empty()) return false;
            e = queue->input.front();
            if (e.cooked) {
                if (!matches_filter_locked(e.cooked->hwnd, e.cooked->message, filter, first, last))
                    return false;
                *out = *e.cooked;
                if (remove) queue->input.pop_front();
                return true;
            }
        }
        const bool key = e.message >= WM_KEYFIRST && e.message <= WM_KEYLAST;
        const std::optional<MSG> cooked = key ? cook_key(queue, e) : cook_mouse(queue, e);
        std::lock_guard<std::mutex> guard(state().lock);
        if (queue->input.empty()) return false;
        if (cooked)
            queue->input.front().cooked = cooked;
        else
            queue->input.pop_front();
    }
}

void release_capture_within(HWND handle) {
    HWND old = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (!state().capture || !is_descendant_locked(handle, state().capture, true)) return;
        old = state().capture;
        state().capture = nullptr;
    }
    SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    std::lock_guard<std::mutex> guard(state().lock);
    check_leave_locked();
}

}  // namespace win_user

using namespace win_user;

HWND SetCapture(HWND handle) {
    HWND old = nullptr;
    bool notify = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w || w->thread_id != GetCurrentThreadId()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        old = state().capture;
        const window_ptr ow = find_locked(old);
        notify = ow && old != handle;
        state().capture = handle;
        if (ow && ow->thread_id != GetCurrentThreadId()) old = nullptr;
    }
    if (notify) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(handle));
    return old;
}

BOOL ReleaseCapture() {
    HWND old = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(state().capture);
        if (!w || w->thread_id != GetCurrentThreadId()) return TRUE;
        old = state().capture;
        state().capture = nullptr;
    }
    SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    std::lock_guard<std::mutex> guard(state().lock);
    check_leave_locked();
    return TRUE;
}

HWND GetCapture() {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(state().capture);
    return w && w->thread_id == GetCurrentThreadId() ? state().capture : nullptr;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT event) {
    if (!event || event->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(state().lock);
    mouse_tracking& tracking = state().tracking;
    if (event->dwFlags & TME_QUERY) {
        event->dwFlags = tracking.window ? tracking.flags : 0;
        event->hwndTrack = tracking.window;
        event->dwHoverTime = 0;
        return TRUE;
    }
    if (event->dwFlags & ~(TME_LEAVE | TME_CANCEL)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    const window_ptr w = find_locked(event->hwndTrack);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (event->dwFlags & TME_CANCEL) {
        if (tracking.window == event->hwndTrack) tracking = {};
        return TRUE;
    }
    tracking = {event->hwndTrack, TME_LEAVE};
    check_leave_locked();
    return TRUE;
}

namespace {

struct cursor_shape {
    int id;
};

const cursor_shape standard_cursors[] = {{32512}, {32513}, {32514}, {32515}, {32516},
                                         {32642}, {32643}, {32644}, {32645}, {32646},
                                         {32648}, {32649}, {32650}, {32651}};

}  // namespace

namespace win_user {

int cursor_id(HCURSOR cursor) {
    for (const cursor_shape& shape : standard_cursors)
        if (reinterpret_cast<HCURSOR>(const_cast<cursor_shape*>(&shape)) == cursor) return shape.id;
    return 0;
}

}  // namespace win_user

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
        for (const cursor_shape& shape : standard_cursors)
            if (shape.id == id) return reinterpret_cast<HCURSOR>(const_cast<cursor_shape*>(&shape));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    std::lock_guard<std::mutex> guard(state().lock);
    const HCURSOR old = state().cursor;
    state().cursor = cursor;
    return old;
}

HCURSOR GetCursor() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().cursor;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    std::lock_guard<std::mutex> guard(state().lock);
    *point = state().cursor_pos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    inject_mouse(WM_MOUSEMOVE, {x, y}, 0, 0);
    return TRUE;
}

UINT GetDoubleClickTime() {
    return 500;
}

HWND WindowFromPoint(POINT point) {
    std::lock_guard<std::mutex> guard(state().lock);
    const HWND top = top_level_at_locked(point);
    return top ? deepest_child_at_locked(top, point, true) : nullptr;
}
