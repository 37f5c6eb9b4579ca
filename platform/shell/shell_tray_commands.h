// Commands for the process's tray icons typed on the terminal of a person
// who runs a program, between the questions of its boxes and menus.
#pragma once

#include <string>

namespace win_shell {

// Starts, unless it reads already, reading commands for the process's tray
// icons between questions: the person opens the icon's menu, clicks or
// double-clicks it, or clicks its balloon. A command runs to its end (its
// menus, dialogs and boxes answered) before the next line is read for the
// icons, and no line is read for them while the icon's thread is busy: a
// line typed ahead for a question that is about to open is the question's.
void read_tray_commands();

// Once no icon of the process is left that anybody can use: the reader
// takes no further line and ends, and the next icon starts a reader of its
// own.
void stop_reading_tray_commands();

// What a tray command typed on the terminal does to the process's first
// icon whose window still exists; false for a line that is no command or
// when there is no such icon.
bool run_tray_command(const std::string& line);

}  // namespace win_shell
