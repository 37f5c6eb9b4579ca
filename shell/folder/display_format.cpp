#include "folder/display_format.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace shell_utils {

std::wstring FormatGroupedNumber(std::uint64_t value, wchar_t separator) {
    const std::wstring digits = std::to_wstring(value);
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        out += digits[i];
        const size_t left = digits.size() - i - 1;
        if (separator && left > 0 && left % 3 == 0) out += separator;
    }
    return out;
}

std::wstring FormatDecimal(double value, int decimals, wchar_t decimal_separator,
                           wchar_t thousands_separator) {
    if (!std::isfinite(value)) return L"0";
    if (value < 0)
        return L"-" + FormatDecimal(-value, decimals, decimal_separator, thousands_separator);
    decimals = std::clamp(decimals, 0, 18);
    const double whole = std::floor(value);
    const auto integer = whole >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(whole);
    std::wstring out = FormatGroupedNumber(integer, thousands_separator);
    const auto fraction =
        static_cast<std::uint64_t>(std::trunc((value - whole) * std::pow(10.0, decimals)));
    if (fraction == 0 || decimals == 0) return out;
    std::wstring digits = std::to_wstring(fraction);
    digits.insert(0, static_cast<size_t>(decimals) - std::min<size_t>(digits.size(), decimals),
                  L'0');
    while (!digits.empty() && digits.back() == L'0') digits.pop_back();
    return out + decimal_separator + digits;
}

std::wstring FormatSize(std::uint64_t size, int first_unit, int last_unit, bool fractional) {
    const int last = std::clamp(last_unit, 0, static_cast<int>(std::size(size_units)) - 1);
    const int first = std::clamp(first_unit, 0, last);
    int unit = last;
    for (int candidate = first; candidate <= last; ++candidate) {
        if (size / (std::uint64_t{1} << (10 * candidate)) <= 999) {
            unit = candidate;
            break;
        }
    }
    const std::uint64_t divisor = std::uint64_t{1} << (10 * unit);
    std::wstring number;
    if (!fractional || divisor < 1024) {
        const std::uint64_t rounded_up = size / divisor + (size % divisor ? 1 : 0);
        number = FormatDecimal(static_cast<double>(rounded_up), 0, L'.', L' ');
    } else {
        const double x = static_cast<double>(size / (divisor / 1024)) * (1.0 / 1024.0);
        number = FormatDecimal(x, x < 10 ? 2 : x < 100 ? 1 : 0, L'.', L' ');
    }
    return number + L" " + size_units[unit];
}

std::wstring FormatUtcDateAsLocal(DATE utc) {
    SYSTEMTIME utc_time{}, local_time{};
    DATE local = 0;
    if (!VariantTimeToSystemTime(utc, &utc_time) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc_time, &local_time) ||
        !SystemTimeToVariantTime(&local_time, &local))
        return {};
    VARIANT date, text;
    VariantInit(&date);
    VariantInit(&text);
    date.vt = VT_DATE;
    date.date = local;
    if (FAILED(VariantChangeType(&text, &date, 0, VT_BSTR))) return {};
    std::wstring out(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    return out;
}

}  // namespace shell_utils
