// The shell host as a person's file browser on the terminal: the folder's
// own columns, changing folder, reading a file out through its stream and
// renaming, one command a line.
#pragma once

#include <iosfwd>

#include "win/guid.h"

namespace shell_host {

// Browses the junction until "quit" or the end of input; the exit status
// of the program (0, or 1 when the junction cannot be opened).
int run_terminal_browser(REFCLSID junction, std::istream& in, std::ostream& out);

}  // namespace shell_host
