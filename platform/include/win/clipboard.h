// Clipboard formats: the predefined ones by number, and named formats that
// programs register. The table is one per process, in the platform library,
// so a host program and every module it loads agree on the numbers.
#pragma once

#include "win/base.h"

typedef WORD CLIPFORMAT;

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_OEMTEXT 7
#define CF_DIB 8
#define CF_UNICODETEXT 13
#define CF_HDROP 15
#define CF_LOCALE 16

// The number of a named format: the same name (compared without regard to
// case) always gets the same number, new names the next free number from
// 0xC000 on. 0 for a null or empty name (ERROR_INVALID_PARAMETER) and when
// every number up to 0xFFFF is taken (ERROR_NOT_ENOUGH_MEMORY).
UINT RegisterClipboardFormatW(LPCWSTR name);

// The name a format was registered with (as first registered), cut to
// max_count - 1 characters and terminated; returns its length. 0 for a
// predefined or unknown format (ERROR_INVALID_PARAMETER).
int GetClipboardFormatNameW(UINT format, LPWSTR name, int max_count);
