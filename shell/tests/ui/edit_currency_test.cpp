// The currency edit: what typing lets through, and what a paste or a comma
// is read as.
#include "ui/edit_currency.h"

#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/win_test.h"

namespace {

class CurrencyEdit : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExW(0, WC_STATICW, L"page", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        HWND control = CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_VISIBLE, 5, 5, 80, 20,
                                       parent, nullptr, nullptr, nullptr);
        ASSERT_TRUE(edit.SubclassWindow(control));
    }
    void TearDown() override { DestroyWindow(parent); }

    std::wstring type(const std::wstring& characters) {
        for (wchar_t c : characters) SendMessageW(edit, WM_CHAR, c, 0);
        return win_test::text(edit);
    }
    void paste(const std::wstring& text) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    }

    win_machine::scoped_root root;
    HWND parent = nullptr;
    CEditCurrency edit;
};

TEST_F(CurrencyEdit, TypingKeepsAtMostTwoDecimalsAndOneSeparator) {
    EXPECT_EQ(type(L"12.345"), L"12.34");
    SetWindowTextW(edit, L"");
    EXPECT_EQ(type(L"1.5."), L"1.5");
    EXPECT_EQ(type(L","), L"1.5");
    SetWindowTextW(edit, L"");
    EXPECT_EQ(type(L"1,25"), L"1,25");
    EXPECT_EQ(type(L"x-+ e"), L"1,25");
    // Backspace passes, and a digit typed before the separator is fine.
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(win_test::text(edit), L"1,2");
    SendMessageW(edit, EM_SETSEL, 0, 0);
    EXPECT_EQ(type(L"9"), L"91,2");
}

TEST_F(CurrencyEdit, ADigitReplacesAWholeSelectionWithoutTheDecimalsCheck) {
    SetWindowTextW(edit, L"12.34");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    EXPECT_EQ(type(L"7"), L"7");
    // A selection inside the decimals is replaced too.
    SetWindowTextW(edit, L"12.34");
    SendMessageW(edit, EM_SETSEL, 4, 5);
    EXPECT_EQ(type(L"9"), L"12.39");
    // But a separator is refused while the text has one, selected or not.
    SendMessageW(edit, EM_SETSEL, 2, 3);
    EXPECT_EQ(type(L","), L"12.39");
}

TEST_F(CurrencyEdit, TheAmountIsWhatTheTextShowsOrNothing) {
    edit.SetAmount(12.5);
    EXPECT_EQ(win_test::text(edit), L"12.50");
    EXPECT_EQ(edit.GetAmount(), 12.5);
    edit.SetAmount(0.125);
    EXPECT_EQ(win_test::text(edit), L"0.13");

    paste(L"1,25");
    EXPECT_EQ(edit.GetAmount(), 1.25) << "a comma is the decimal point";
    paste(L" 7 ");
    EXPECT_EQ(edit.GetAmount(), 7.0);
    for (const wchar_t* pasted : {L"-5", L"1e3", L"12.345", L"1.2.3", L"abc", L"", L".", L"0x10",
                                  L"5-", L"inf", L"1 000"}) {
        paste(pasted);
        EXPECT_FALSE(edit.GetAmount().has_value()) << std::wstring(pasted).size();
    }
    paste(L"0,5");
    EXPECT_EQ(edit.GetAmount(), 0.5);
    paste(L"3.");
    EXPECT_EQ(edit.GetAmount(), 3.0);
}

}  // namespace
