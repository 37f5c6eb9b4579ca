// The sibling programs the client relies on: the tray program, whose
// single-instance mutex tells that it runs, and the session handler, whose
// log-off event tells that it runs. Both are started from the folder of the
// calling module when missing.
#pragma once

#include <string>

#include "win/base.h"

namespace vfs_calvimora {

inline constexpr const wchar_t* tray_program = L"Calvimora_Tray.exe";
inline constexpr const wchar_t* session_program = L"Calvimora_Session.exe";
inline constexpr const wchar_t* tray_mutex_name = L"Local\\CMV_MUTEX_TRAY_ICON";
inline constexpr const wchar_t* logoff_event_name = L"Local\\Calvimora_Event_LogOff";

// A failure of the session glue (starting or awaiting a sibling, opening the
// shared record); the caller turns it into an exception with its own prefix.
struct glue_failure {
    std::wstring text;
};

// Starts the program of that name from the module's folder.
void start_sibling_process(HMODULE module, const std::wstring& executable);

// Whether the program runs. When it does not and start is set, starts it and
// polls for its object every 100 ms (time-scaled), at most 150 times.
bool ensure_tray_running(HMODULE module, bool start);
bool ensure_session_running(HMODULE module, bool start);

}  // namespace vfs_calvimora
