// 8-bit text in the ANSI code page and in UTF-8, and boxes given such text.
#include <gtest/gtest.h>

#include "win/code_page.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

std::wstring wide(UINT code_page, const std::string& bytes) {
    wchar_t out[32];
    const int n =
        MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), out, 32);
    return std::wstring(out, static_cast<size_t>(n));
}

std::string narrow(UINT code_page, const std::wstring& text, BOOL* used_default = nullptr) {
    char out[32];
    const int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out,
                                      32, nullptr, used_default);
    return std::string(out, static_cast<size_t>(n));
}

TEST(CodePages, TheAnsiCodePageIsWindows1252) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(wide(CP_ACP, "\x80 caf\xE9 \x81"), L"\u20AC caf\u00E9 \u0081");
    BOOL lost = FALSE;
    EXPECT_EQ(narrow(CP_ACP, L"\u20AC\u00E9", &lost), "\x80\xE9");
    EXPECT_FALSE(lost);
    EXPECT_EQ(narrow(CP_ACP, L"\u4E2D!", &lost), "?!");
    EXPECT_TRUE(lost);
    EXPECT_EQ(wide(CP_UTF8, "caf\xC3\xA9"), L"caf\u00E9");
    // Size first, then the text with its NUL.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    wchar_t small[2];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, small, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(437, 0, "abc", -1, nullptr, 0), 0);
}

TEST(CodePages, AnAnsiBoxShowsItsTextsInTheAnsiCodePage) {
    win_machine::scoped_root root;
    MessageBoxA(nullptr, "caf\xE9", "\x80 caption", MB_OK);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "caf\xC3\xA9");
    EXPECT_EQ(boxes[0].caption, "\xE2\x82\xAC caption");
}

}  // namespace
