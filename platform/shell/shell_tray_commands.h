// Commands for the process's tray icons typed on the terminal of a person
// who runs a program, between the questions of its boxes and menus.
#pragma once

#include <string>

namespace win_shell {

// Starts, once per process, reading commands for the process's tray icons
// between questions: the person opens the icon's menu, clicks or
// double-clicks it, or clicks its balloon.
void read_tray_commands();

// What a tray command typed on the terminal does to the process's first
// icon; false for a line that is no command or when there is no icon.
bool run_tray_command(const std::string& line);

}  // namespace win_shell
