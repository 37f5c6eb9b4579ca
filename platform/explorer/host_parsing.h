// Names parsed by the current folder as other programs parse them: a path
// typed into a dialog, and a Save-As dialog saving a new file "into" the
// folder (a bind context in STGM_CREATE mode), after which the session's
// Save-As list shows what the folder recorded.
#pragma once

#include <iosfwd>
#include <string>

#include "shell_browser.h"

namespace shell_host {

// Parses path with the browser's current folder (for Save-As with a bind
// context whose mode is STGM_CREATE) and prints the parsed id's levels,
// how much of the path was taken and the attributes; for Save-As then the
// Save-As list of the session. A missing item, a path through a file, a
// name the folder does not take or one too long to be made is told in words
// here; any other failure is returned for the caller to report.
HRESULT parse_in_folder(shell_browser& browser, const std::wstring& path, bool save_as,
                        std::ostream& out);

// The text of the session's Save-As list; false when the session has none.
bool read_save_as_list(std::wstring& text);

}  // namespace shell_host
