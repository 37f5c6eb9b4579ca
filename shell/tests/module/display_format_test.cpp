// Numbers, sizes and dates as the extension shows them.
#include "folder/module/display_format.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>
#include <cmath>

namespace {

using namespace shell_utils;

TEST(DisplayFormat, NumbersAreGroupedByThousands) {
    EXPECT_EQ(FormatGroupedNumber(1234567, L' '), L"1 234 567");
    EXPECT_EQ(FormatGroupedNumber(0, L' '), L"0");
    EXPECT_EQ(FormatGroupedNumber(999, L','), L"999");
    EXPECT_EQ(FormatGroupedNumber(1000, L','), L"1,000");
    EXPECT_EQ(FormatGroupedNumber(123456, 0), L"123456");
    EXPECT_EQ(FormatGroupedNumber(UINT64_MAX, L'.'), L"18.446.744.073.709.551.615");
}

TEST(DisplayFormat, DecimalsAreTruncatedAndTrailingZerosDropped) {
    EXPECT_EQ(FormatDecimal(1.05, 2, L'.', L' '), L"1.05");
    EXPECT_EQ(FormatDecimal(2.50, 2, L'.', L' '), L"2.5");
    EXPECT_EQ(FormatDecimal(3.0, 2, L'.', L' '), L"3");
    EXPECT_EQ(FormatDecimal(1234.567, 2, L',', L'.'), L"1.234,56");
    EXPECT_EQ(FormatDecimal(0.007, 2, L'.', L' '), L"0");
    EXPECT_EQ(FormatDecimal(0.0625, 3, L'.', L' '), L"0.062");
    EXPECT_EQ(FormatDecimal(-1.5, 1, L'.', L' '), L"-1.5");
    EXPECT_EQ(FormatDecimal(std::nan(""), 2, L'.', L' '), L"0");
    EXPECT_EQ(FormatDecimal(-0.001, 2, L'.', L' '), L"0");
    EXPECT_EQ(FormatDecimal(1e20, 0, L' ', L' '), L"100 000 000 000 000 000 000");
}

TEST(DisplayFormat, DecimalsAreCutFromTheDecimalTextNotTheBinaryExpansion) {
    // Each of these lies just below its decimal text in binary.
    EXPECT_EQ(FormatDecimal(2.3, 2, L'.', L' '), L"2.3");
    EXPECT_EQ(FormatDecimal(0.29, 2, L'.', L' '), L"0.29");
    EXPECT_EQ(FormatDecimal(4.35, 2, L'.', L' '), L"4.35");
    EXPECT_EQ(FormatDecimal(1.15, 1, L'.', L' '), L"1.1");
}

TEST(DisplayFormat, SizesTakeTheFirstUnitThatKeepsThemBelowAThousand) {
    EXPECT_EQ(FormatSize(0, 0, 4, false), L"0 bytes");
    EXPECT_EQ(FormatSize(999, 0, 4, true), L"999 bytes");
    EXPECT_EQ(FormatSize(1000, 0, 4, true), L"0.97 KB");
    EXPECT_EQ(FormatSize(1500, 1, 4, false), L"2 KB");
    EXPECT_EQ(FormatSize(1500, 1, 4, true), L"1.46 KB");
    EXPECT_EQ(FormatSize(1024, 1, 4, false), L"1 KB");
    EXPECT_EQ(FormatSize(20 * 1024 * 1024 + 512 * 1024, 0, 4, true), L"20.5 MB");
    EXPECT_EQ(FormatSize(150ull << 30, 0, 4, true), L"150 GB");
    // The last unit takes whatever is left; a rounded-up count may reach a thousand.
    EXPECT_EQ(FormatSize(5000ull << 40, 0, 4, false), L"5 000 TB");
    EXPECT_EQ(FormatSize(999 * 1024 + 1, 1, 1, false), L"1 000 KB");
    EXPECT_EQ(FormatSize(2048, 1, 0, false), L"2 048 bytes") << "the first unit clamps to the last";
}

class LocalDates : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = getenv("TZ");
        if (old) saved_ = old;
        had_ = old != nullptr;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool had_ = false;
};

TEST_F(LocalDates, EachDateUsesTheOffsetInForceOnIt) {
    // 2021-01-15 12:00 and 2021-07-15 12:00 UTC.
    const DATE winter = 44211.5, summer = 44392.5;
    EXPECT_EQ(FormatUtcDateAsLocal(winter), L"1/15/2021 1:00:00 PM");
    EXPECT_EQ(FormatUtcDateAsLocal(summer), L"7/15/2021 2:00:00 PM");
    EXPECT_EQ(FormatUtcDateAsLocal(1e9), L"");
}

}  // namespace
