// Counted strings, variants, automation dates, the thread locale and the
// time zone's offset by date.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <thread>

#include "win/oleauto.h"
#include "win/test_journal.h"

namespace {

std::wstring text_of(DATE date) {
    BSTR text = nullptr;
    if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, &text))) return L"failed";
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
}

TEST(Automation, CountedStringsKeepTheirLengthAndComeFromTaskMemory) {
    const long before = win_test::live_task_allocations();
    BSTR text = SysAllocStringLen(L"a\0b", 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(SysStringByteLen(text), 3 * sizeof(wchar_t));
    EXPECT_EQ(text[3], L'\0');
    EXPECT_EQ(win_test::live_task_allocations(), before + 1);

    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text;
    VariantClear(&variant);
    EXPECT_EQ(variant.vt, VT_EMPTY);
    EXPECT_EQ(win_test::live_task_allocations(), before);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);

    // A reference is not the variant's to free.
    int kept = 5;
    variant.vt = VT_BYREF;
    variant.byref = &kept;
    EXPECT_EQ(VariantClear(&variant), S_OK);
    EXPECT_EQ(kept, 5);
}

TEST(Automation, DatesBecomeTheirCalendarTimeAndText) {
    SYSTEMTIME t{};
    ASSERT_TRUE(VariantTimeToSystemTime(25569.0, &t));
    EXPECT_EQ(t.wYear, 1970);
    EXPECT_EQ(t.wMonth, 1);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wDayOfWeek, 4);  // a Thursday
    // Before day 0 the fraction still counts forward from midnight.
    ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &t));
    EXPECT_EQ(t.wYear, 1899);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 29);
    EXPECT_EQ(t.wHour, 6);
    DATE back = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&t, &back));
    EXPECT_DOUBLE_EQ(back, -1.25);
    // Half a second before midnight rounds into the next day.
    ASSERT_TRUE(VariantTimeToSystemTime(25569.0 + 86399.6 / 86400.0, &t));
    EXPECT_EQ(t.wDay, 2);
    EXPECT_EQ(t.wHour, 0);
    EXPECT_FALSE(VariantTimeToSystemTime(3e6, &t));

    EXPECT_EQ(text_of(25569.0), L"1/1/1970");
    EXPECT_EQ(text_of(25569.5), L"1/1/1970 12:00:00 PM");
    EXPECT_EQ(text_of(25569.0 + (13 * 3600 + 4 * 60 + 5) / 86400.0), L"1/1/1970 1:04:05 PM");
    EXPECT_EQ(text_of(0.25), L"6:00:00 AM");
    EXPECT_EQ(text_of(0.0), L"12/30/1899");

    VARIANT date, text;
    VariantInit(&date);
    VariantInit(&text);
    date.vt = VT_DATE;
    date.date = 25569.5;
    ASSERT_EQ(VariantChangeType(&text, &date, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wstring(text.bstrVal), L"1/1/1970 12:00:00 PM");
    VariantClear(&text);
    date.date = -1e9;
    EXPECT_EQ(VariantChangeType(&text, &date, 0, VT_BSTR), DISP_E_OVERFLOW);
    EXPECT_EQ(text.vt, VT_EMPTY);
}

TEST(Automation, EachThreadHasItsOwnLocale) {
    EXPECT_EQ(GetThreadLocale(), LANG_ENGLISH_US);
    ASSERT_TRUE(SetThreadLocale(LOCALE_SYSTEM_DEFAULT));
    EXPECT_EQ(GetThreadLocale(), LOCALE_SYSTEM_DEFAULT);
    std::thread([] { EXPECT_EQ(GetThreadLocale(), LANG_ENGLISH_US); }).join();
    EXPECT_FALSE(SetThreadLocale(0));
    SetThreadLocale(LANG_ENGLISH_US);
}

// A zone one hour ahead of UTC in winter and two in summer.
class CentralEurope : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = getenv("TZ");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST_F(CentralEurope, LocalTimeUsesTheOffsetInForceOnThatDate) {
    SYSTEMTIME utc{2021, 1, 0, 15, 12, 0, 0, 0};
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(local.wHour, 13);
    utc.wMonth = 7;
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(local.wHour, 14);
    // An offset that crosses midnight moves the date, here into the next year.
    SYSTEMTIME late{2021, 12, 0, 31, 23, 30, 0, 0};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &late, &local));
    EXPECT_EQ(local.wYear, 2022);
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(local.wHour, 0);

    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    EXPECT_EQ(zone.Bias, -60);
    if (kind == TIME_ZONE_ID_DAYLIGHT)
        EXPECT_EQ(zone.DaylightBias, -60);
    else
        EXPECT_EQ(kind, TIME_ZONE_ID_STANDARD);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&zone, &utc, &local));
}

}  // namespace
