// What the windowing files share among themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "user_state.h"
#include "win/gdi.h"
#include "win/user_types.h"

#define WM_CANCELMODE 0x001Fu

namespace win_user {

// The far edge of a span from an origin, a negative extent counting as none;
// it stays within the coordinate range whatever a caller passes.
inline LONG far_edge(LONG origin, LONG extent) {
    const long long edge = static_cast<long long>(origin) + (extent > 0 ? extent : 0);
    return static_cast<LONG>(edge > 0x7FFFFFFF ? 0x7FFFFFFF : edge);
}

std::shared_ptr<const window_class> find_class_locked(LPCWSTR name, HINSTANCE module);

// Procedures of the predefined classes.
LRESULT CALLBACK dialog_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK button_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK static_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK edit_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK tooltip_procedure(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK tab_procedure(HWND, UINT, WPARAM, LPARAM);

// The frame's widths around the client area, caption included in top.
RECT frame_of(DWORD style, DWORD ex_style);

// Takes a window out of every table (it becomes destroyed, its handle
// invalid), its children with it, and completes what other threads sent it.
// Returns the window's region for the caller to release without the lock.
HRGN unlink_window_locked(window& w);
void release_region(HRGN region);

// Called on the creating thread right after the window exists and before
// its first message; used once, then cleared. The window classes of the
// framework attach their objects with it.
void set_creation_hook(std::function<void(HWND)> hook);

// The capture, when it is the window or inside it, is released (with
// WM_CAPTURECHANGED) as hiding or destroying requires.
void release_capture_within(HWND window);
// The focus and activation of this thread leave a window being hidden or
// destroyed.
void leave_focus_within(HWND window);
void activate_on_show(HWND window);

// Painting: an area of the window (client coordinates, null for all) and of
// the children under it becomes invalid; the window's frame too when asked.
void invalidate(HWND window, const RECT* area, bool erase, bool frame);
// A top-level window's picture follows its new size.
void surface_resized(HWND window);
// The snapshot folder, when set, gets a new picture of the window's
// top-level window.
void window_changed(HWND window);

// Input: the next input message of the queue, cooked (hit test and cursor
// messages sent) for the given filter; false when there is none.
bool cooked_input(const queue_ptr& queue, HWND filter, UINT first, UINT last, bool remove,
                  MSG* out);
// Message matching of a filter (window and its descendants, -1 for thread
// messages, null for all) and range.
bool matches_filter_locked(HWND message_window, UINT message, HWND filter, UINT first, UINT last);

// Delivers the messages other threads sent to this one; true when any was
// delivered.
bool deliver_sent_messages(const queue_ptr& queue);

// Dialogs: whether the window is a dialog of the dialog manager, and the
// keyboard handling of IsDialogMessageW for a message of it.
bool is_dialog_window(HWND window);

// A window's text as its record holds it, read without asking the window's
// thread; empty when the window is not there.
std::wstring stored_text(HWND window);
// A control of a dialog by id, searched through all its descendants; null
// when none has the id.
HWND descendant_control(HWND dialog, int id);

}  // namespace win_user

namespace win_user {

// A window of this thread that is visible and has an invalid area, parents
// before children, matching the filter; null when none.
HWND paint_candidate_locked(const thread_queue& queue, HWND filter);

// The earliest due timer of the queue matching the filter, and when the
// next one falls due (clock::time_point::max() when none).
timer* due_timer_locked(thread_queue& queue, HWND filter, clock::time_point now);
clock::time_point next_timer_due_locked(const thread_queue& queue, HWND filter);
// Makes a timer due now; false when there is no such timer.
bool fire_timer_now(HWND window, UINT_PTR id);
// While a class name is set, SetTimer fails for windows of that class
// (ERROR_NOT_ENOUGH_MEMORY); an empty name ends it.
void refuse_timers_for_class(const std::wstring& class_name);
// Whether a WM_TIMER's lParam is the callback of a live timer of the queue.
bool is_timer_callback_locked(const thread_queue& queue, HWND window, UINT_PTR id, LPARAM callback);

// One retrieval in the system's order (sent messages delivered first);
// false when nothing matches.
bool retrieve(const queue_ptr& queue, HWND filter, UINT first, UINT last, UINT remove, MSG* out);
// Whether anything for the filter waits in the queue (under the lock).
bool has_work_locked(thread_queue& queue, HWND filter, UINT first, UINT last);
// Waits until the queue may have something for the filter, or until the
// deadline.
void wait_for_work(const queue_ptr& queue, HWND filter, UINT first, UINT last,
                   clock::time_point deadline);
// Whether the thread of the window blocks for want of messages now, with
// the number of times it began to; false when there is no such window.
bool window_thread_idle(HWND window, std::uint64_t& spells);

}  // namespace win_user

namespace win_user {

// Whether a window-coordinate point lies inside a window region.
bool region_contains(HRGN region, int x, int y);

// The visible top-level window under a screen point (its region honoured),
// and the deepest visible child of a window under the point; disabled
// children are skipped when asked, as mouse input skips them.
HWND top_level_at_locked(POINT screen);
HWND deepest_child_at_locked(HWND window, POINT screen, bool skip_disabled);

// Puts a mouse or key event into the queue of the thread that gets it.
// Mouse events move the pointer and end mouse tracking when it leaves.
void inject_mouse(UINT message, POINT screen, WPARAM keys, short wheel_delta);
void inject_key(UINT message, WPARAM key);

// The id of a standard cursor handle, 0 for null or unknown handles.
int cursor_id(HCURSOR cursor);

}  // namespace win_user

namespace win_user {

// Default painting: the class brush under the client area, the frame and
// caption, and the colours of controls asking their parent (WM_CTLCOLOR*).
LRESULT erase_background(HWND window, HDC dc);
void paint_frame(HWND window);
LRESULT control_colors(UINT message, HDC dc);

// Default hit test of a screen point.
LRESULT default_hit_test(HWND window, POINT screen);

}  // namespace win_user

namespace win_user {

// The state a built-in control keeps beside its window, made on first use;
// null for a window that is not there.
template <typename T>
std::shared_ptr<T> control_state(HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) return nullptr;
    auto data = std::dynamic_pointer_cast<T>(w->control);
    if (!data) {
        data = std::make_shared<T>();
        w->control = data;
    }
    return data;
}

// The font a control was given with WM_SETFONT (the default GUI font when
// none), and WM_SETFONT/WM_GETFONT handling for controls.
HFONT control_font(HWND control);
LRESULT control_font_message(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace win_user
