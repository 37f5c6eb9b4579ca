// Calendar times and the time zone. The time zone is the C library's (the
// TZ environment variable, else the system's), with its rules for every
// date: a conversion uses the offset that was in force on the date it
// converts, not today's.
#pragma once

#include "win/base.h"

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;  // 0 Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

// The time zone as the system describes it now: Bias is UTC minus local
// standard time in minutes; StandardBias is 0 and DaylightBias the further
// offset of daylight time (-60 for an hour ahead), or 0 when the zone has
// none now. The names and change dates are left empty.
#define TIME_ZONE_ID_UNKNOWN 0u
#define TIME_ZONE_ID_STANDARD 1u
#define TIME_ZONE_ID_DAYLIGHT 2u
#define TIME_ZONE_ID_INVALID 0xFFFFFFFFu
typedef struct _TIME_ZONE_INFORMATION {
    LONG Bias;
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
} TIME_ZONE_INFORMATION, *LPTIME_ZONE_INFORMATION;
// TIME_ZONE_ID_DAYLIGHT while daylight time is in force, else
// TIME_ZONE_ID_STANDARD (TIME_ZONE_ID_UNKNOWN for a zone without it).
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone);

void GetSystemTime(LPSYSTEMTIME time);

// A UTC time as local time with the offset in force at that moment. Only
// the current zone (a null zone) is supported: FALSE with
// ERROR_NOT_SUPPORTED otherwise; FALSE with ERROR_INVALID_PARAMETER for a
// time that is not one.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                     LPSYSTEMTIME local);
