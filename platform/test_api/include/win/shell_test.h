// What tests see of the shell's user-facing calls: the tray icons of this
// process with their balloons, a driver for the shell's side of them, and
// the journals of tray changes and of executions (kept under the machine
// root, so a test reads what another process did).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/shell.h"

namespace win_test {

struct tray_balloon {
    std::wstring title;
    std::wstring text;
    UINT timeout_ms = 0;  // as the balloon got it: 10000 to 30000
    DWORD flags = 0;      // NIIF_*
    bool operator==(const tray_balloon&) const = default;
};

// One icon of this process as the shell holds it.
struct tray_icon {
    HWND window = nullptr;
    UINT id = 0;
    UINT callback_message = 0;
    HICON icon = nullptr;
    int icon_id = 0;  // the icon's resource id (win_icons::resource_id), 0 for none
    std::wstring tip;
    UINT version = 0;
    std::optional<tray_balloon> balloon;       // shown now
    std::optional<tray_balloon> last_balloon;  // the last one shown, whether or not it is up
    int balloons_shown = 0;
    int modifications = 0;  // successful NIM_MODIFY calls
};

// In the order they were added.
std::vector<tray_icon> tray_icons();
std::optional<tray_icon> find_tray_icon(HWND window, UINT id);

// What the shell does when a person uses the icon: posts its callback
// message with the event (WM_LBUTTONDOWN, WM_RBUTTONUP, NIN_BALLOONUSERCLICK
// ...). A balloon event needs a balloon shown and ends it. False when there
// is no such icon, no balloon for a balloon event, or no callback message.
bool tray_icon_event(HWND window, UINT id, UINT event);

// While refused, every NIM_MODIFY fails and changes nothing.
void set_tray_modify_refused(bool refused);
// The shell forgets every icon of the process, as after its restart: the
// next NIM_MODIFY fails and NIM_ADD succeeds again.
void forget_tray_icons();

// One journalled tray call: operation "add", "modify", "delete", "version",
// "focus", or "event" (a driver event, its code in flags); the icon's state
// after it (a failed call: before it). Modifications that change nothing
// are not journalled.
struct tray_record {
    std::string operation;
    bool succeeded = false;
    UINT id = 0;
    UINT flags = 0;
    UINT callback_message = 0;
    int icon_id = 0;
    std::string tip;  // UTF-8, as the other texts
    std::string info;
    std::string info_title;
    UINT timeout_ms = 0;
    DWORD info_flags = 0;
};
std::vector<tray_record> tray_journal();
void clear_tray_journal();

// One ShellExecuteW or ShellExecuteExW call; texts as UTF-8, the item-id
// list as hexadecimal bytes without its terminator (empty for none), the
// result as the call answered it (42 for success). The class: the class
// key's full name ("HKEY_LOCAL_MACHINE\Software\Classes\...") or the class
// name, as fMask chose it; empty for none (and for ShellExecuteW, whose
// mask is 0).
struct shell_execution {
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    int show = 0;
    std::string id_list;
    int result = 0;
    unsigned mask = 0;
    std::string class_name;
};
std::vector<shell_execution> shell_executions();
void clear_shell_executions();

// One call that a drop handler of the tests got (the module
// test_drop_handler, registered by a test as a program's "DropTarget"
// class): "DragEnter" or "Drop", the handler instance that got it (a
// number), and the files the data object carried as dropped files.
struct handler_drop {
    std::string call;
    std::string instance;
    std::vector<std::wstring> files;
};
// The journal of such calls under the machine root, oldest first.
std::vector<handler_drop> handler_drops();
void clear_handler_drops();
// The handler's side: appends one record.
void note_handler_drop(const handler_drop& drop);

}  // namespace win_test
