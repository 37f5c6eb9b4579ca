// Top-level windows seen across the processes of the log-on session.
//
// Window handles carry their process's id in their upper 32 bits, so a
// handle names one window in the whole session. Each process publishes
// its top-level windows (class, caption, process and thread) as small
// record files in the session folder ("windows/<handle>.win") and removes
// them when the windows go. A record counts only while its process lives:
// every publishing process holds a shared lock on its own presence file
// ("windows/<pid>-<token>.alive") for as long as it has windows there, so a
// record whose presence file can be locked exclusively (or is gone) belongs
// to a dead process and is removed by whoever finds it. Messages posted to
// another process's window travel as datagrams to that process's socket in
// the same folder ("windows/<pid>-<token>.sock"); a listener thread there
// posts them into the window's queue.
#pragma once

#include <optional>
#include <string>

#include "win/user_types.h"

namespace win_user {

// A handle made from this process's id and a counter.
HWND make_window_handle(uintptr_t counter);
// Whether a handle names a window of another process.
bool of_other_process(HWND window);

// Publishing this process's top-level windows; the caption again when it
// changes; removal (safe to call under the windowing lock: it only touches
// files and this module's own state).
void publish_window(HWND window, const std::wstring& class_name, const std::wstring& caption,
                    DWORD thread_id);
void republish_caption(HWND window, const std::wstring& caption);
void unpublish_window(HWND window);

// A live window of another process.
struct remote_window {
    HWND handle = nullptr;
    DWORD process_id = 0;
    DWORD thread_id = 0;
};

// The first live window of another process with the class (compared
// without regard to case) and caption (null for any); nullopt when none.
std::optional<remote_window> find_remote_window(LPCWSTR class_name, LPCWSTR caption);
// The window behind a handle of another process, while it lives.
std::optional<remote_window> remote_window_of(HWND window);
// Posts the message into the window's queue in its process; false when
// the window or its process is gone.
bool post_to_remote_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace win_user
