// Counted strings, variants and automation dates.
#include "win/oleauto.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Before the characters: their count in bytes, padded to keep the
// characters aligned.
struct bstr_header {
    alignas(std::max_align_t) UINT bytes;
};

bstr_header* header_of(BSTR text) {
    return reinterpret_cast<bstr_header*>(reinterpret_cast<BYTE*>(text) - sizeof(bstr_header));
}

// Days from 1 January of year 1 (proleptic Gregorian) to the date.
long long days_from_civil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;  // days since 1970-01-01
}

void civil_from_days(long long days, int* year, unsigned* month, unsigned* day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    *day = day_of_year - (153 * mp + 2) / 5 + 1;
    *month = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(static_cast<long long>(year_of_era) + era * 400 + (*month <= 2));
}

// 1899-12-30 in days since 1970-01-01.
constexpr long long ole_epoch = -25569;
constexpr double first_date = -657434.0;     // 100-01-01
constexpr double last_date = 2958465.99999;  // 9999-12-31 23:59:59

// A whole number of VT_UI8's range from an integer or a real.
HRESULT unsigned_from(const VARIANT& source, ULONGLONG* value) {
    switch (source.vt) {
        case VT_I4:
            if (source.lVal < 0) return DISP_E_OVERFLOW;
            *value = static_cast<ULONGLONG>(source.lVal);
            return S_OK;
        case VT_UI4:
            *value = source.ulVal;
            return S_OK;
        case VT_I8:
            if (source.llVal < 0) return DISP_E_OVERFLOW;
            *value = static_cast<ULONGLONG>(source.llVal);
            return S_OK;
        case VT_UI8:
            *value = source.ullVal;
            return S_OK;
        case VT_R8: {
            const double rounded = std::nearbyint(source.dblVal);
            // 2^64 is the first value beyond the range.
            if (!(rounded >= 0.0 && rounded < 18446744073709551616.0)) return DISP_E_OVERFLOW;
            *value = static_cast<ULONGLONG>(rounded);
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(bstr_header) + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    reinterpret_cast<bstr_header*>(block)->bytes = static_cast<UINT>(bytes);
    auto* characters = reinterpret_cast<OLECHAR*>(block + sizeof(bstr_header));
    if (text)
        std::memcpy(characters, text, bytes);
    else
        std::memset(characters, 0, bytes);
    characters[length] = L'\0';
    return characters;
}

BSTR SysAllocString(const OLECHAR* text) {
    return text ? SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text))) : nullptr;
}

void SysFreeString(BSTR text) {
    if (text) CoTaskMemFree(header_of(text));
}

UINT SysStringLen(BSTR text) {
    return text ? header_of(text)->bytes / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR text) {
    return text ? header_of(text)->bytes : 0;
}

void VariantInit(VARIANTARG* variant) {
    if (!variant) return;
    std::memset(variant, 0, sizeof *variant);
    variant->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* variant) {
    if (!variant) return E_INVALIDARG;
    if (!(variant->vt & VT_BYREF)) {
        if (variant->vt == VT_BSTR) SysFreeString(variant->bstrVal);
        if (variant->vt == VT_UNKNOWN && variant->punkVal) variant->punkVal->Release();
    }
    VariantInit(variant);
    return S_OK;
}

INT VariantTimeToSystemTime(DATE date, LPSYSTEMTIME time) {
    if (!time || !(date >= first_date && date <= last_date)) return FALSE;
    double whole_days = std::trunc(date);
    // The time of day counts forward from midnight on either side of day 0.
    long long seconds = std::llround(std::fabs(date - whole_days) * 86400.0);
    if (seconds >= 86400) {  // rounded up into the next calendar day
        seconds -= 86400;
        whole_days += 1;
    }
    const long long days = static_cast<long long>(whole_days) + ole_epoch;
    int year = 0;
    unsigned month = 0, day = 0;
    civil_from_days(days, &year, &month, &day);
    time->wYear = static_cast<WORD>(year);
    time->wMonth = static_cast<WORD>(month);
    time->wDay = static_cast<WORD>(day);
    time->wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    time->wHour = static_cast<WORD>(seconds / 3600);
    time->wMinute = static_cast<WORD>(seconds / 60 % 60);
    time->wSecond = static_cast<WORD>(seconds % 60);
    time->wMilliseconds = 0;
    return TRUE;
}

INT SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* date) {
    if (!time || !date || time->wYear < 100 || time->wYear > 9999 || time->wMonth < 1 ||
        time->wMonth > 12 || time->wDay < 1 || time->wDay > 31 || time->wHour > 23 ||
        time->wMinute > 59 || time->wSecond > 59)
        return FALSE;
    const long long days = days_from_civil(time->wYear, time->wMonth, time->wDay) - ole_epoch;
    const double fraction = (time->wHour * 3600.0 + time->wMinute * 60.0 + time->wSecond) / 86400.0;
    *date = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return TRUE;
}

HRESULT VarBstrFromDate(DATE date, LCID, ULONG, BSTR* text) {
    if (!text) return E_INVALIDARG;
    *text = nullptr;
    SYSTEMTIME t{};
    if (!VariantTimeToSystemTime(date, &t)) return DISP_E_OVERFLOW;
    const bool has_date = !(t.wYear == 1899 && t.wMonth == 12 && t.wDay == 30);
    const bool has_time = t.wHour || t.wMinute || t.wSecond;
    wchar_t buffer[64];
    std::wstring out;
    if (has_date || !has_time) {
        std::swprintf(buffer, 64, L"%u/%u/%u", t.wMonth, t.wDay, t.wYear);
        out = buffer;
    }
    if (has_time) {
        const unsigned hour = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
        std::swprintf(buffer, 64, L"%u:%02u:%02u %ls", hour, t.wMinute, t.wSecond,
                      t.wHour < 12 ? L"AM" : L"PM");
        if (!out.empty()) out += L' ';
        out += buffer;
    }
    *text = SysAllocString(out.c_str());
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, WORD, VARTYPE type) {
    if (!destination || !source) return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    result.vt = type;
    HRESULT status = S_OK;
    if (type == VT_BSTR) {
        wchar_t buffer[64];
        switch (source->vt) {
            case VT_DATE:
                status = VarBstrFromDate(source->date, GetThreadLocale(), 0, &result.bstrVal);
                break;
            case VT_I4:
                std::swprintf(buffer, 64, L"%ld", static_cast<long>(source->lVal));
                result.bstrVal = SysAllocString(buffer);
                break;
            case VT_UI4:
                std::swprintf(buffer, 64, L"%lu", static_cast<unsigned long>(source->ulVal));
                result.bstrVal = SysAllocString(buffer);
                break;
            case VT_I8:
                std::swprintf(buffer, 64, L"%lld", static_cast<long long>(source->llVal));
                result.bstrVal = SysAllocString(buffer);
                break;
            case VT_UI8:
                std::swprintf(buffer, 64, L"%llu", static_cast<unsigned long long>(source->ullVal));
                result.bstrVal = SysAllocString(buffer);
                break;
            case VT_R8:
                std::swprintf(buffer, 64, L"%.15g", source->dblVal);
                result.bstrVal = SysAllocString(buffer);
                break;
            case VT_BSTR:
                result.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
                break;
            default:
                return DISP_E_TYPEMISMATCH;
        }
        if (SUCCEEDED(status) && !result.bstrVal) status = E_OUTOFMEMORY;
    } else if (type == VT_DATE) {
        switch (source->vt) {
            case VT_DATE:
            case VT_R8:
                result.date = source->dblVal;
                break;
            case VT_I4:
                result.date = source->lVal;
                break;
            default:
                return DISP_E_TYPEMISMATCH;
        }
        if (!(result.date >= first_date && result.date <= last_date)) status = DISP_E_OVERFLOW;
    } else if (type == VT_UI8) {
        status = unsigned_from(*source, &result.ullVal);
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    if (FAILED(status)) return status;
    VariantClear(destination);
    *destination = result;
    return S_OK;
}
