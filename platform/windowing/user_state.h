// The windowing state of the process: window classes, windows, the
// per-thread message queues and what is global (capture, foreground, the
// pointer). One lock guards all of it; window procedures and callbacks are
// always called with the lock released, so they may call back into any
// windowing function.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "win/user_types.h"
#include "win/user_window.h"

namespace win_user {

using clock = std::chrono::steady_clock;

struct window_class {
    std::wstring name;
    ATOM atom = 0;
    HINSTANCE module = nullptr;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int class_extra = 0;
    int window_extra = 0;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool global = false;  // predefined or CS_GLOBALCLASS
};

struct thread_queue;

// What a built-in control class keeps beside the window.
struct control_data {
    virtual ~control_data() = default;
};

// What the painting side keeps of a top-level window.
struct window_surface;

enum class window_life { alive, destroying, destroyed };

struct window {
    HWND handle = nullptr;
    std::shared_ptr<const window_class> cls;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD ex_style = 0;
    HWND parent = nullptr;  // WS_CHILD windows only
    HWND owner = nullptr;   // top-level windows only
    LONG_PTR id = 0;        // control id of a child
    HINSTANCE instance = nullptr;
    RECT rect{};  // in the parent's client coordinates; screen for top-level windows
    std::wstring text;
    std::vector<HWND> children;  // z-order, topmost first
    std::shared_ptr<thread_queue> queue;
    DWORD thread_id = 0;
    LONG_PTR user_data = 0;
    std::vector<BYTE> extra;
    window_life life = window_life::alive;

    // Painting.
    RECT invalid{};  // client coordinates; empty when valid
    bool erase_pending = false;
    bool frame_pending = false;
    HRGN region = nullptr;
    HFONT font = nullptr;
    std::shared_ptr<window_surface> surface;  // top-level windows

    std::shared_ptr<control_data> control;
};

using window_ptr = std::shared_ptr<window>;

// A message another thread sent and waits for.
struct sent_message {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<thread_queue> sender;
};

// A mouse or key event on its way to a thread, turned into its window
// message when the thread retrieves it.
struct input_event {
    UINT message = 0;  // WM_MOUSEMOVE, WM_LBUTTONDOWN ..., WM_MOUSEWHEEL, WM_KEYDOWN, WM_KEYUP
    POINT screen{};
    WPARAM keys = 0;  // MK_* for the mouse, the virtual key for keys
    short wheel_delta = 0;
    DWORD time = 0;
    HWND target = nullptr;  // top-level window under the pointer, capture or focus
    std::optional<MSG> cooked;
};

struct timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    TIMERPROC callback = nullptr;
    clock::duration period{};
    clock::time_point due{};
};

struct thread_queue {
    DWORD thread_id = 0;
    bool alive = true;
    std::condition_variable wake;
    std::deque<std::shared_ptr<sent_message>> sent;
    std::deque<MSG> posted;
    std::deque<input_event> input;
    std::vector<timer> timers;
    bool quit = false;
    int quit_code = 0;
    // The thread blocks for want of messages: whatever it was given has
    // been handled. Counted, so another thread can wait until it gets
    // there.
    bool idle = false;
    std::uint64_t idle_spells = 0;
    HWND active = nullptr;
    HWND focus = nullptr;
    // The last button press, for double clicks.
    HWND last_press_window = nullptr;
    UINT last_press_message = 0;
    DWORD last_press_time = 0;
    POINT last_press_point{};
};

using queue_ptr = std::shared_ptr<thread_queue>;

struct mouse_tracking {
    HWND window = nullptr;
    DWORD flags = 0;
};

struct user_state {
    std::mutex lock;
    std::unordered_map<HWND, window_ptr> windows;
    std::vector<HWND> top_level;  // z-order, topmost first
    std::vector<std::shared_ptr<window_class>> classes;
    ATOM next_atom = 0xC000;
    uintptr_t next_handle = 0x10010;
    UINT_PTR next_thread_timer = 0x7F00;
    std::unordered_map<DWORD, std::weak_ptr<thread_queue>> queues;
    HWND capture = nullptr;
    HWND foreground = nullptr;
    POINT cursor_pos{960, 540};
    HCURSOR cursor = nullptr;
    mouse_tracking tracking;
    BYTE key_down[256] = {};
};

user_state& state();

// The calling thread's queue, made on first use; it ends with the thread,
// taking the thread's windows and timers with it.
queue_ptr current_queue();

// Lookups under the lock: null for a handle that is not a live window
// (destroying windows count as live until WM_NCDESTROY).
window_ptr find_locked(HWND handle);
// The same taking the lock, setting ERROR_INVALID_WINDOW_HANDLE when absent.
window_ptr find(HWND handle);

// Whether the window is the other's descendant (or the same when or_self).
bool is_descendant_locked(HWND ancestor, HWND handle, bool or_self);
HWND top_level_of_locked(HWND handle);
// WS_VISIBLE on the window and all its ancestors.
bool visible_locked(const window& w);

// Wakes the thread that owns the queue.
void wake(thread_queue& queue);

// The client area's origin in screen coordinates, and the window rectangle
// in screen coordinates.
POINT client_origin_locked(const window& w);
RECT screen_rect_locked(const window& w);
// The client rectangle in the window's own coordinates (from its top-left
// corner), from its styles.
RECT client_in_window_locked(const window& w);

// Calls the window's procedure (the lock must not be held); 0 for a window
// that is gone.
LRESULT call_procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);

// The process's clock for message times.
DWORD tick_count();

}  // namespace win_user
