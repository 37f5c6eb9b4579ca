// The tray program's values under HKEY_CURRENT_USER "SOFTWARE\Calvimora":
// "AutoLogin" (written by the login dialog, cleared by the session handler
// at log-off) and "AutoShowMgr" (show the progress window when new rows
// appear). Both are 4-byte values; one of another size counts as missing.
#pragma once

#include "win/base.h"

// "AutoLogin" holds a non-zero value.
bool IsAutoLoginEnabled();

// "AutoShowMgr" into value; false when the key or the value is missing or
// unreadable.
bool ReadAutoShowMgr(DWORD& value);
// Writes "AutoShowMgr" as REG_DWORD, creating the key; false on failure.
bool WriteAutoShowMgr(DWORD value);
// "AutoShowMgr" is non-zero or missing.
bool IsAutoShowEnabled();
