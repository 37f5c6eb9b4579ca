// Locales: the identifiers and the calling thread's locale. One locale
// exists here, English (United States), which is the user's and the
// system's default.
#pragma once

#include "win/base.h"

typedef DWORD LCID;
typedef WORD LANGID;

#define LOCALE_NEUTRAL 0x0000u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LANG_ENGLISH_US 0x0409u

LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();

// Each thread starts with the user's default locale. SetThreadLocale keeps
// the identifier it is given (LOCALE_USER_DEFAULT and LOCALE_SYSTEM_DEFAULT
// as they are); FALSE with ERROR_INVALID_PARAMETER for 0.
LCID GetThreadLocale();
BOOL SetThreadLocale(LCID locale);
