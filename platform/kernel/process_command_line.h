// How CreateProcessW reads its command line and finds its program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win_process {

// Splits a command line as the C runtime does: words end at spaces and tabs
// outside double quotes; 2n backslashes before a quote give n backslashes
// and the quote opens or closes a quoted part, 2n+1 give n and a literal
// quote; "" inside a quoted part is a literal quote; other backslashes stand
// for themselves. The first word (the program) knows no escapes: it runs to
// the next space, or from a quote to the next quote.
std::vector<std::wstring> split_command_line(std::wstring_view line);

// The native path of the program to run, or nullopt when there is none.
// Backslashes separate folders. A name without a folder is looked for, when
// search is set, in the folder of this executable, the current folder and
// PATH. At each place, "x.exe" that does not exist may be the built program
// "x".
std::optional<std::string> find_program(std::wstring_view program, bool search);

}  // namespace win_process
