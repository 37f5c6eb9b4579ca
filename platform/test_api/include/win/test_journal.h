// What tests see of the stand-in's user-facing calls: the journals of shell
// notifications and message boxes (kept under the machine root, so a test can
// read what another process did), the in-process message-box script, and the
// COM runtime's counts.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/base.h"

namespace win_test {

// One SHChangeNotify call. An item is absent when its pointer was null;
// otherwise it is a path as UTF-8, an item-id list as lower-case hexadecimal
// bytes (without the closing zero size), or a DWORD item as a decimal number.
struct shell_notification {
    LONG event = 0;
    UINT flags = 0;
    std::optional<std::string> item1;
    std::optional<std::string> item2;
};

// The journal, oldest first; empty when nothing was notified.
std::vector<shell_notification> shell_notifications();
void clear_shell_notifications();

// One MessageBoxW call with the button it was answered with, and who
// answered: "script", "file" (the answers file, win/win_test.h),
// "terminal", "default", or "quit" when a WM_QUIT ended it first.
struct message_box {
    std::string text;  // UTF-8
    std::string caption;
    UINT type = 0;
    int answer = 0;
    std::string answered_by;
};

std::vector<message_box> message_boxes();
void clear_message_boxes();

// The button MessageBoxW returns when nobody scripts it: the box's default
// button (MB_DEFBUTTONn of its button set, the first when n is beyond it).
int default_button(UINT type);

// Answers every message box of this process, on the calling thread of
// MessageBoxW inside the box's modal loop, once the thread has no message
// waiting; it may pump to let more run under the box. An empty function
// restores the default answer.
using message_box_responder =
    std::function<int(const std::wstring& text, const std::wstring& caption, UINT type)>;
void set_message_box_responder(message_box_responder responder);

// Sets a responder for the life of the object and restores the default after.
class scoped_message_box_responder {
public:
    explicit scoped_message_box_responder(message_box_responder responder) {
        set_message_box_responder(std::move(responder));
    }
    ~scoped_message_box_responder() { set_message_box_responder(nullptr); }
    scoped_message_box_responder(const scoped_message_box_responder&) = delete;
    scoped_message_box_responder& operator=(const scoped_message_box_responder&) = delete;
};

// How many successful CoInitialize calls of the calling thread are not yet
// undone.
int com_initialize_count();

// Blocks of the task allocator not yet freed, in the whole process.
long live_task_allocations();

// The real paths of the in-process servers loaded now, in path order.
std::vector<std::string> loaded_com_servers();

}  // namespace win_test
