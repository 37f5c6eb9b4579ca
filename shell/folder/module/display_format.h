// Numbers, sizes and dates as the extension shows them.
#pragma once

#include <cstdint>
#include <string>

#include "win/oleauto.h"

namespace shell_utils {

// The decimal digits with the separator after every third digit from the
// right where more digits follow; no separator when it is 0.
std::wstring FormatGroupedNumber(std::uint64_t value, wchar_t separator);

// The integer part (grouped) and, when it is not 0, the decimal separator
// and the fraction: the first `decimals` digits of the value as written in
// decimal, truncated, with trailing zeros removed (2.3 is "2.3", never
// "2.29"). A negative value is its magnitude after "-" ("0" has none); a
// value that is not a finite number is "0".
std::wstring FormatDecimal(double value, int decimals, wchar_t decimal_separator,
                           wchar_t thousands_separator);

// The unit texts, indexes 0 to 4.
inline constexpr const wchar_t* size_units[] = {L"bytes", L"KB", L"MB", L"GB", L"TB"};

// The size in the first unit from first_unit to last_unit whose whole
// number is at most 999 (else the last): rounded up, or with fractional set
// (from KB on) with 2, 1 or no decimals below 10, 100 and from 100; then a
// space and the unit ("1.46 KB"). Unit indexes beyond 0 to 4 are taken as
// the nearest.
std::wstring FormatSize(std::uint64_t size, int first_unit, int last_unit, bool fractional);

// A UTC date as the local date and time in force on that date, in the
// text of the thread's locale; empty for a date outside the calendar.
std::wstring FormatUtcDateAsLocal(DATE utc);

}  // namespace shell_utils
