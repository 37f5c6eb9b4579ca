#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "win/base.h"

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen_by_other = 12345;
    std::thread([&] { seen_by_other = GetLastError(); }).join();
    EXPECT_EQ(seen_by_other, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(FormatMessage, GivesSystemTextWithLineBreakOrNothing) {
    char buffer[1024] = {};
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD n =
        FormatMessageA(flags, nullptr, ERROR_NOT_OWNER, 0x400, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, n), "Attempt to release mutex not owned by caller.\r\n");
    EXPECT_EQ(FormatMessageA(flags, nullptr, 0x7654321, 0x400, buffer, sizeof buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_NOT_OWNER, 0x400, buffer, 5, nullptr), 0u);
}
