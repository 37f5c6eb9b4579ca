#include "folder/module/display_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>

namespace shell_utils {

namespace {

// Decimal digits with the separator after every third digit from the right
// where more digits follow; none when the separator is 0.
std::wstring grouped(const std::string& digits, wchar_t separator) {
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        out += static_cast<wchar_t>(digits[i]);
        const size_t left = digits.size() - i - 1;
        if (separator && left > 0 && left % 3 == 0) out += separator;
    }
    return out;
}

}  // namespace

std::wstring FormatGroupedNumber(std::uint64_t value, wchar_t separator) {
    return grouped(std::to_string(value), separator);
}

std::wstring FormatDecimal(double value, int decimals, wchar_t decimal_separator,
                           wchar_t thousands_separator) {
    if (!std::isfinite(value)) return L"0";
    // The digits are cut from the shortest text that reads back as the
    // value, not from its binary expansion: 2.3 is 2.29999... in binary,
    // and truncating that would show "2.29".
    char text[1100];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::fixed);
    if (error != std::errc()) return L"0";
    const std::string written(text, end);
    const size_t point = written.find('.');
    const std::string integer = written.substr(0, point);
    std::string fraction =
        point == std::string::npos
            ? std::string()
            : written.substr(point + 1, static_cast<size_t>(std::max(decimals, 0)));
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::wstring out = grouped(integer, thousands_separator);
    if (!fraction.empty()) out += decimal_separator + grouped(fraction, 0);
    const bool shows_zero = integer == "0" && fraction.empty();
    return value < 0 && !shows_zero ? L"-" + out : out;
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
