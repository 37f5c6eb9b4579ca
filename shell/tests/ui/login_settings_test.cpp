// The login dialog's saved login as the tray program's reader sees it, and logins that cannot be
// kept whole.
#include <gtest/gtest.h>

#include "ui/login_settings.h"
#include "vfs/saved_login.h"
#include "win/machine.h"
#include "win/registry.h"

namespace {

const wchar_t* const saved_login_key = L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}";

void store_raw(const std::vector<char16_t>& units) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, saved_login_key, &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"Data1", 0, REG_BINARY, reinterpret_cast<const BYTE*>(units.data()),
                   static_cast<DWORD>(units.size() * 2));
    RegCloseKey(key);
}

std::vector<char16_t> stored_units() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, saved_login_key, &key) != ERROR_SUCCESS) return {};
    char16_t units[256];
    DWORD size = sizeof units;
    RegQueryValueExW(key, L"Data1", nullptr, nullptr, reinterpret_cast<BYTE*>(units), &size);
    RegCloseKey(key);
    return std::vector<char16_t>(units, units + size / 2);
}

char16_t scrambled(char16_t unit, unsigned index) {
    return static_cast<char16_t>(unit ^ static_cast<char16_t>(index - 0x3B71));
}

class LoginSettings : public ::testing::Test {
protected:
    win_machine::scoped_root root_;
};

TEST_F(LoginSettings, ThePasswordsFirstUnitIsScrambledWithTheIndexAfterTheTerminator) {
    ASSERT_TRUE(login_settings::save_login_data(L"bob", L"xy"));
    const std::vector<char16_t> units = stored_units();
    ASSERT_EQ(units.size(), 7u);
    EXPECT_EQ(units[0], scrambled(u'b', 0));
    EXPECT_EQ(units[3], 0);
    EXPECT_EQ(units[4], scrambled(u'x', 4));
    EXPECT_EQ(units[6], 0);
}

TEST_F(LoginSettings, AValueWithOnlyTheNameGivesAnEmptyPassword) {
    std::wstring user = L"untouched", password = L"untouched";
    EXPECT_FALSE(login_settings::load_login_data(user, password));
    EXPECT_EQ(user, L"untouched");

    store_raw({scrambled(u'a', 0), scrambled(u'l', 1), 0});
    ASSERT_TRUE(login_settings::load_login_data(user, password));
    EXPECT_EQ(user, L"al");
    EXPECT_EQ(password, L"");
}

TEST_F(LoginSettings, ALoginThatWouldBeCutIsNotKeptAndNoEarlierOneStays) {
    ASSERT_TRUE(login_settings::save_login_data(L"earlier", L"login"));
    // Index 5 of the whole value is the password's second unit (name of 3
    // units, its terminator, then the password): its mask is 5 - 0x3B71.
    const wchar_t cut = static_cast<wchar_t>(static_cast<char16_t>(5 - 0x3B71));
    EXPECT_FALSE(login_settings::save_login_data(L"kim", std::wstring(L"p") + cut + L"q"));
    EXPECT_EQ(stored_units(), std::vector<char16_t>(2, 0));
    vfs_calvimora::saved_login read;
    ASSERT_TRUE(vfs_calvimora::load_saved_login(read));
    EXPECT_EQ(read.user_name, L"");
    EXPECT_EQ(read.password, L"");

    // Hangul and characters beyond the BMP round-trip through the reader.
    const std::wstring name = L"\uAE40\uBBFC\uC900\U0001F600";
    ASSERT_TRUE(login_settings::save_login_data(name, L"\uBE44\uBC00"));
    ASSERT_TRUE(vfs_calvimora::load_saved_login(read));
    EXPECT_EQ(read.user_name, name);
    EXPECT_EQ(read.password, L"\uBE44\uBC00");
}

}  // namespace
