// The journals the shell's calls write under the machine root
// (kernel/journal.h), one record per call, that tests and people read.
#pragma once

namespace win_shell {

inline constexpr const char* notifications_journal = "shell-notifications";  // SHChangeNotify
inline constexpr const char* execution_journal = "shell-executions";         // ShellExecute(Ex)W
inline constexpr const char* tray_journal = "tray-icons";                    // Shell_NotifyIconW

}  // namespace win_shell
