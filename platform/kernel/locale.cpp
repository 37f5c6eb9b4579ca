// The thread locale, kept per thread.
#include "win/locale.h"

namespace {

thread_local LCID thread_locale = LANG_ENGLISH_US;

}  // namespace

LCID GetUserDefaultLCID() {
    return LANG_ENGLISH_US;
}

LCID GetSystemDefaultLCID() {
    return LANG_ENGLISH_US;
}

LCID GetThreadLocale() {
    return thread_locale;
}

BOOL SetThreadLocale(LCID locale) {
    if (locale == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    thread_locale = locale;
    return TRUE;
}
