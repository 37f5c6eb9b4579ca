// Message queues, one per thread, created on the thread's first windowing
// call. Retrieval follows the system's order: messages sent from other
// threads are delivered first (inside the retrieving call), then posted
// messages, then WM_QUIT once PostQuitMessage was called and nothing is
// posted, then input (mouse and keys), then WM_PAINT for a window with an
// invalid area, and WM_TIMER for a timer that is due only when nothing else
// is waiting.
#pragma once

#include "win/user_messages.h"
#include "win/user_types.h"

// filter: a window of this thread (its messages and its descendants'), null
// for all, or (HWND)-1 for messages posted to the thread itself. first and
// last bound the message numbers (both 0: all). GetMessageW waits; it
// answers 0 for WM_QUIT, -1 for a window of another thread as filter.
BOOL GetMessageW(LPMSG message, HWND filter, UINT first, UINT last);
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u
BOOL PeekMessageW(LPMSG message, HWND filter, UINT first, UINT last, UINT remove);

// Turns WM_KEYDOWN of a character key into WM_CHAR, posted after it.
BOOL TranslateMessage(const MSG* message);
// Calls the window's procedure, or the timer callback of a WM_TIMER whose
// lParam is one (only a callback of a live timer of this thread).
LRESULT DispatchMessageW(const MSG* message);

// A window of this thread: its procedure directly. A window of another
// thread: the call waits until that thread has handled the message and
// meanwhile delivers messages other threads send to this one, so two
// threads sending to each other do not block each other. A window that is
// or becomes destroyed, or whose thread ends, answers 0.
// A window of another process is not sent to: the call answers 0.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is not there. A
// null window posts to the calling thread. A window of another process of
// the session gets the message, its parameters as plain values, in its
// thread's queue there, after a short trip through that process's socket
// (see FindWindowW).
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// FALSE with ERROR_INVALID_THREAD_ID for a thread without a queue.
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);

// Timers run on a steady clock and come as WM_TIMER from the owning
// thread's retrieval calls: the window's thread for a window timer, the
// calling thread for a thread timer (window null, id chosen by the system).
// Setting an existing window timer again restarts it with the new period.
// Periods below USER_TIMER_MINIMUM are raised to it. The environment
// variable CALVIMORA_TIME_SCALE (a positive factor, read once) scales every
// period, so tests run the programs' timers quickly.
#define USER_TIMER_MINIMUM 0x0000000Au
#define USER_TIMER_MAXIMUM 0x7FFFFFFFu
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC callback);
BOOL KillTimer(HWND window, UINT_PTR id);

// What waits in the calling thread's queue, without taking anything out:
// the kinds present (QS_*) in the high word, and in the low word the same
// (the system's "arrived since the last look" is not tracked).
#define QS_KEY 0x0001u
#define QS_MOUSEMOVE 0x0002u
#define QS_MOUSEBUTTON 0x0004u
#define QS_POSTMESSAGE 0x0008u
#define QS_TIMER 0x0010u
#define QS_PAINT 0x0020u
#define QS_SENDMESSAGE 0x0040u
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY)
#define QS_ALLINPUT (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE)
DWORD GetQueueStatus(UINT flags);
