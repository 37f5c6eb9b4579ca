// Calendar times over the C library's time zone rules.
#include "win/system_time.h"

#include <time.h>

namespace {

SYSTEMTIME from_tm(const struct tm& t, WORD milliseconds) {
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(t.tm_year + 1900);
    out.wMonth = static_cast<WORD>(t.tm_mon + 1);
    out.wDayOfWeek = static_cast<WORD>(t.tm_wday);
    out.wDay = static_cast<WORD>(t.tm_mday);
    out.wHour = static_cast<WORD>(t.tm_hour);
    out.wMinute = static_cast<WORD>(t.tm_min);
    out.wSecond = static_cast<WORD>(t.tm_sec);
    out.wMilliseconds = milliseconds;
    return out;
}

bool valid(const SYSTEMTIME& t) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return t.wYear >= 1601 && t.wYear <= 30827 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= days[t.wMonth - 1] && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 &&
           t.wMilliseconds < 1000;
}

// The offset east of UTC, in seconds, in force at that moment.
long offset_at(time_t moment, bool* daylight) {
    tzset();
    struct tm local {};
    localtime_r(&moment, &local);
    if (daylight) *daylight = local.tm_isdst > 0;
    return local.tm_gmtoff;
}

}  // namespace

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone) {
    if (!zone) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return TIME_ZONE_ID_INVALID;
    }
    *zone = TIME_ZONE_INFORMATION{};
    bool daylight = false;
    const long now = offset_at(time(nullptr), &daylight);
    if (!daylight) {
        zone->Bias = static_cast<LONG>(-now / 60);
        return ::daylight ? TIME_ZONE_ID_STANDARD : TIME_ZONE_ID_UNKNOWN;
    }
    // timezone is the standard offset west of UTC, in seconds.
    zone->Bias = static_cast<LONG>(timezone / 60);
    zone->DaylightBias = static_cast<LONG>(-now / 60) - zone->Bias;
    return TIME_ZONE_ID_DAYLIGHT;
}

void GetSystemTime(LPSYSTEMTIME time_out) {
    if (!time_out) return;
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm utc {};
    gmtime_r(&now.tv_sec, &utc);
    *time_out = from_tm(utc, static_cast<WORD>(now.tv_nsec / 1000000));
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                     LPSYSTEMTIME local) {
    if (zone) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (!utc || !local || !valid(*utc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct tm broken {};
    broken.tm_year = utc->wYear - 1900;
    broken.tm_mon = utc->wMonth - 1;
    broken.tm_mday = utc->wDay;
    broken.tm_hour = utc->wHour;
    broken.tm_min = utc->wMinute;
    broken.tm_sec = utc->wSecond;
    const time_t moment = timegm(&broken);
    const time_t shifted = moment + offset_at(moment, nullptr);
    struct tm out {};
    gmtime_r(&shifted, &out);
    *local = from_tm(out, utc->wMilliseconds);
    return TRUE;
}
