// The saved login: its scrambled form and its place in the registry.
#include "vfs/saved_login.h"

#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/registry.h"

namespace vfs_calvimora {
namespace {

char16_t unscrambled(char16_t unit, std::size_t index) {
    return static_cast<char16_t>(unit ^ static_cast<std::uint16_t>(index - 0x3B71));
}

TEST(SavedLogin, EachUnitIsScrambledByItsIndexAndZeroesStay) {
    const std::vector<char16_t> units = scramble_login({L"ab", L"x"});
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(unscrambled(units[0], 0), u'a');
    EXPECT_EQ(unscrambled(units[1], 1), u'b');
    EXPECT_EQ(units[2], 0);
    // The password's first unit has the index of the user name's length + 1.
    EXPECT_EQ(unscrambled(units[3], 3), u'x');
    EXPECT_EQ(units[4], 0);
    EXPECT_EQ(scramble_login({L"", L""}), (std::vector<char16_t>{0, 0}));
}

TEST(SavedLogin, WhatIsReadBackIsWhatWasWrittenAndPartialValuesStayInBounds) {
    const saved_login login{L"j\u00f6rg\U0001F600", L"p\u20acss"};
    const saved_login back = unscramble_login(scramble_login(login));
    EXPECT_EQ(back.user_name, login.user_name);
    EXPECT_EQ(back.password, login.password);

    // Only the user name, without its end: the name, an empty password.
    std::vector<char16_t> units = scramble_login({L"alice", L""});
    units.resize(5);
    EXPECT_EQ(unscramble_login(units).user_name, L"alice");
    EXPECT_EQ(unscramble_login(units).password, L"");
    EXPECT_EQ(unscramble_login({}).user_name, L"");

    // A lone half of a pair is no character.
    units = scramble_login({L"a", L""});
    units[0] = static_cast<char16_t>(0xD800 ^ static_cast<std::uint16_t>(0 - 0x3B71));
    EXPECT_EQ(unscramble_login(units).user_name, L"\uFFFD");
}

TEST(SavedLogin, TheValueLivesUnderTheCurrentUser) {
    win_machine::scoped_root root;
    saved_login read;
    EXPECT_FALSE(load_saved_login(read));
    ASSERT_TRUE(store_saved_login({L"bob", L"secret"}));
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.user_name, L"bob");
    EXPECT_EQ(read.password, L"secret");

    // An odd number of bytes: the last one is not read.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyW(HKEY_CURRENT_USER, L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}", &key),
        ERROR_SUCCESS);
    const BYTE odd[] = {0x10, 0x3B, 0x00};
    ASSERT_EQ(RegSetValueExW(key, L"Data1", 0, REG_BINARY, odd, 3), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(load_saved_login(read));
    EXPECT_EQ(read.password, L"");
}

}  // namespace
}  // namespace vfs_calvimora
