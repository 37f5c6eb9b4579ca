// What the login dialog keeps between its runs: the flags "SavePass" and
// "AutoLogin" under HKEY_CURRENT_USER "SOFTWARE\Calvimora", the saved login
// that the tray program's automatic log-in reads, and the signal that tells
// the tray program a login dialog has been open in this log-on session.
#pragma once

#include <string>

namespace login_settings {

// True when the value reads and is not 0; anything missing reads false.
bool read_login_flag(const wchar_t* name);
// Writes the value as a REG_DWORD 0 or 1, creating the key; failures are
// silent.
void write_login_flag(const wchar_t* name, bool on);

inline constexpr const wchar_t* save_pass_flag = L"SavePass";
inline constexpr const wchar_t* auto_login_flag = L"AutoLogin";

// Stores the login for the automatic log-in. A login that would not read
// back exactly (a character that scrambles to the zero unit that ends a
// field, a zero character, text that is no character) cannot be kept: the
// empty login is stored in its place, so no earlier login stays behind and
// the reader never meets a cut name or password, and the result is false.
// False too when the value cannot be written.
bool save_login_data(const std::wstring& user_name, const std::wstring& password);
// The saved login; false, with both left as they were, when there is none.
bool load_login_data(std::wstring& user_name, std::wstring& password);

// Sets "Local\CMV_LOGIN_DLG_EVENT" when the tray program made it, having
// started the session handler when it does not run: the handler holds the
// event until log-off, so the mark outlives the tray program.
void signal_login_dialog_event();

}  // namespace login_settings
