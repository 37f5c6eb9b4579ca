// The session handler: owns the named kernel objects that the tray program
// and the shell extension share during one log-on session, until log-off.
#pragma once

#include <cstddef>

namespace session {

// The objects of the session.
inline constexpr const wchar_t* user_record_mapping_name = L"Local\\Calvimora_MMF_UID";
inline constexpr const wchar_t* user_record_mutex_name = L"Local\\Calvimora_Mutex_UID";
inline constexpr const wchar_t* download_upload_mutex_name =
    L"Local\\Calvimora_Mutex_Download_Upload";
inline constexpr const wchar_t* sfd_access_mutex_name = L"Local\\Calvimora_Mutex_SFD_Access";
inline constexpr const wchar_t* log_off_event_name = L"Local\\Calvimora_Event_LogOff";
inline constexpr const wchar_t* sync_thread_event_name = L"Local\\Calvimora_Event_SyncThread";
inline constexpr const wchar_t* save_as_mapping_name = L"Local\\Calvimora_FileMapping_SaveAs";
// Set by a login dialog of the session; while it is set the tray program's
// automatic log-in stays away. The tray program makes it too, but a tray
// program may end and start again within the log-on session: held here, the
// mark outlives it (the dialog makes sure this program runs when it sets it).
inline constexpr const wchar_t* login_dialog_event_name = L"Local\\CMV_LOGIN_DLG_EVENT";

inline constexpr std::size_t user_record_mapping_size = 1024;
inline constexpr std::size_t save_as_mapping_size = 0x80000;

// The caption of every message box of the program.
inline constexpr const wchar_t* error_caption = L"Calvimora Session handler error!";

// Creates the objects, waits for log-off, clears the automatic login and
// releases everything. When another session handler already runs, leaves its
// objects as they are and returns at once. Errors are shown in a message box.
// Always returns 0.
int SessionHandlerMain();

// Sets the "AutoLogin" value under HKEY_CURRENT_USER "SOFTWARE\Calvimora" to
// 0; does nothing when the key cannot be opened or created.
void ClearAutoLogin();

}  // namespace session
