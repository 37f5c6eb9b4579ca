// The terminal of a person who runs a program: the lines they type and
// Ctrl+C. Boxes, dialogs and menus may ask on several threads at once, and
// between their questions the tray icons take commands, so every line goes
// whole to one reader. Ctrl+C, in a program that asked for it, answers
// every question open or asked later as No and ends the program's loop.
#pragma once

#include <functional>
#include <string>

#include "win/user_types.h"

namespace win_user {

enum class typed { line, end_of_input, interrupted, stopped };

struct terminal_line {
    typed status = typed::line;
    std::string text;  // the line without its end
};

// One line from standard input. serve() runs about every 50 ms meanwhile
// (the caller's messages); stop() ends the wait with typed::stopped unless
// the line has begun. A hidden line (a password) is not echoed by the
// terminal.
terminal_line read_terminal_line(const std::function<void()>& serve,
                                 const std::function<bool()>& stop, bool hidden = false);

// Whether Ctrl+C has been pressed in a program that asked for it.
bool terminal_interrupted();

// From now on Ctrl+C does not kill the process: open and later questions
// are answered No and the thread gets WM_QUIT. A second Ctrl+C kills it.
void quit_on_terminal_interrupt(DWORD thread_id);

// Starts, once per process, reading commands for the process's tray icons
// between questions: the person opens the icon's menu, clicks or
// double-clicks it, or clicks its balloon. A command runs to its end (its
// menus, dialogs and boxes answered) before the next line is read for the
// icons, and no line is read for them while the icon's thread is busy: a
// line typed ahead for a question that is about to open is the question's.
void read_tray_commands();

// What a tray command typed on the terminal does to the process's first
// icon; false for a line that is no command or when there is no icon.
bool run_tray_command(const std::string& line);

}  // namespace win_user
