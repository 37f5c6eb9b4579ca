// The test driver of the windowing calls: pumping a thread's queue, mouse
// and keys as a person would use them (through the queues, with hit tests
// and cursor messages), timers fired at once, windows and controls found
// and read, scripts that answer modal dialogs from inside their loops, and
// pictures of windows.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "win/commctrl.h"
#include "win/gdi_test.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace win_test {

inline constexpr std::chrono::milliseconds default_patience{10000};

// Delivers the calling thread's messages until none is waiting (timers not
// yet due do not count); false when messages kept coming until the
// patience ran out. A WM_QUIT met on the way is put back and ends the pump.
bool pump(std::chrono::milliseconds patience = default_patience);
// Delivers the calling thread's messages, waiting for more, until the
// condition holds; false when the patience ran out first.
bool pump_until(const std::function<bool()>& condition,
                std::chrono::milliseconds patience = default_patience);

// The mouse at screen points. Each call queues the event for the thread of
// the window under the pointer (or holding the capture); that thread must
// pump to see it.
void move_mouse(POINT screen);
void press_mouse(POINT screen);  // left button
void release_mouse(POINT screen);
void click(POINT screen);
void double_click(POINT screen);
void wheel(POINT screen, int delta);
// The screen point in the middle of a window.
POINT center_of(HWND window);
void click(HWND window);
// Moves over the window's middle, then clicks it, then delivers what
// follows on the calling thread (the window's own thread).
void press(HWND dialog, int control_id);
// A key pressed and let go, for the focus window of the foreground window's
// thread, and characters typed (WM_CHAR each).
void press_key(UINT virtual_key);
void type_text(const std::wstring& text);

// Makes the timer due now; false when there is no such timer.
bool fire_timer(HWND window, UINT_PTR id);
// While a class name is set, SetTimer fails for windows of that class
// (ERROR_NOT_ENOUGH_MEMORY), as it does when the system runs out of
// timers; an empty name ends it.
void refuse_timers_for_class(const std::wstring& class_name);

// Top-level windows, topmost first; the first with the class and caption
// (null for any) and owner (null for any).
std::vector<HWND> top_level_windows();
HWND find_window(LPCWSTR class_name, LPCWSTR caption, HWND owner = nullptr);
// A control of a dialog by id, searched through all its descendants.
HWND control(HWND dialog, int id);

std::wstring text(HWND window);
std::wstring class_name(HWND window);
bool checked(HWND button);
bool enabled(HWND window);
bool visible(HWND window);
bool topmost(HWND window);
RECT window_rect(HWND window);
RECT client_rect(HWND window);
// The id of the cursor last set (IDC_* as a number), 0 for none.
int current_cursor_id();

// The tools of a tooltip control, in the order added.
struct tool {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT flags = 0;
    RECT rect{};
    std::wstring text;
};
std::vector<tool> tooltip_tools(HWND tooltip);
bool tooltip_active(HWND tooltip);
int tooltip_max_width(HWND tooltip);
// The text of the tip shown now, empty while none is.
std::wstring shown_tip(HWND tooltip);

// Answers every modal dialog of the process: called on the dialog's thread
// inside its modal loop, once the dialog is up and its thread has nothing
// else to do. The script may click, type and pump; if it leaves the dialog
// open, the dialog's default button answers it. An empty function restores
// the default answer.
using dialog_script = std::function<void(HWND dialog)>;
void set_dialog_responder(dialog_script script);

class scoped_dialog_responder {
public:
    explicit scoped_dialog_responder(dialog_script script) {
        set_dialog_responder(std::move(script));
    }
    ~scoped_dialog_responder() { set_dialog_responder(nullptr); }
    scoped_dialog_responder(const scoped_dialog_responder&) = delete;
    scoped_dialog_responder& operator=(const scoped_dialog_responder&) = delete;
};

// One modal dialog: its template (the id as a number, or the name), its
// caption at the end, its result and who answered it: "script", "file"
// (the answers file, below), "terminal", "default", or "program" when the
// program ended it before anyone was asked. Journalled under the machine root, oldest first.
struct dialog_record {
    std::string template_name;
    std::string caption;
    long long result = 0;
    std::string answered_by;
};
std::vector<dialog_record> dialogs();
void clear_dialogs();

// Whether unscripted boxes and dialogs ask the terminal now.
bool answers_on_terminal();

// Answers for a program that runs as its own process: the environment
// variable names a text file (UTF-8) of lines
//
//   KIND MATCH => ANSWER
//
// KIND is "box", "menu" or "dialog"; MATCH (may be empty) is a text that
// must appear in the box's text or caption, in one of the menu's item
// texts, or in the dialog's caption or one of its controls' texts (a
// dialog's template id, as a number, matches too). ANSWER is, for a box, a
// button ("yes", "no", "ok", "cancel", "retry", "abort", "ignore", "try
// again", "continue", with or without "ID", or its number) that the box
// has; for a menu, the id of the item to choose or "none"; for a dialog,
// actions separated by ";": "check ID", "uncheck ID", "press ID" (a number
// or a button name) and "text ID WORDS". A dialog left open by its actions
// gets its default answer. The ids name controls of the dialog or of a
// child dialog inside it; "text" replaces an edit's text as typing would,
// so a read-only or disabled edit keeps its own.
// Each line answers once, the first unused one
// that fits; lines starting with "#" are comments. A scripted responder of
// the process comes before the file, the file before the terminal. The file
// is read again when the variable names another file.
inline constexpr const char* answers_file_variable = "CALVIMORA_ANSWERS_FILE";

// Menus: the items of a menu as they are now, and who chooses in a tracked
// menu. The script runs on the menu's thread inside its modal loop, once
// the thread has nothing else to do, and returns the id to choose (0 for
// none; an id that cannot be chosen counts as none).
struct menu_entry {
    UINT type = 0;   // MFT_*
    UINT state = 0;  // MF_GRAYED, MF_DISABLED, MF_CHECKED ...
    UINT id = 0;
    std::wstring text;
    HMENU submenu = nullptr;
    HBITMAP bitmap = nullptr;
};
std::vector<menu_entry> menu_items(HMENU menu);

using menu_script = std::function<UINT(HMENU menu, HWND owner)>;
void set_menu_responder(menu_script script);

class scoped_menu_responder {
public:
    explicit scoped_menu_responder(menu_script script) { set_menu_responder(std::move(script)); }
    ~scoped_menu_responder() { set_menu_responder(nullptr); }
    scoped_menu_responder(const scoped_menu_responder&) = delete;
    scoped_menu_responder& operator=(const scoped_menu_responder&) = delete;
};

// One tracked menu as journalled under the machine root: its items, the
// sub-menus' items following their item one level deeper, the id chosen (0
// for none), who chose ("script", "file", "terminal", "nobody", or
// "program" when the program ended the menu first) and the TPM_* flags.
struct menu_line {
    int depth = 0;
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    std::string text;  // UTF-8
};
struct menu_record {
    std::vector<menu_line> items;
    UINT chosen = 0;
    std::string answered_by;
    UINT flags = 0;
};
std::vector<menu_record> menus();
void clear_menus();

// A PNG picture of the window: a layered window's last update, any other
// window painted afresh (by its thread, so that thread must be pumping or
// be the caller) with its children. False when the window is not there or
// the file cannot be written.
bool save_png(HWND window, const std::string& path);
// A PNG picture of an area of the screen as a person would see it: every
// visible top-level window of the process that meets the area, each as
// save_png draws it, the one in front over those behind it (a tooltip over
// the window it tells about); transparent where no window is. False for an
// empty area or a file that cannot be written.
bool save_screen_png(const RECT& area, const std::string& path);

}  // namespace win_test
